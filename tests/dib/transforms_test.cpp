// Invert, flip and mirror against per-pixel references, at every depth and many widths.
#include <gtest/gtest.h>

#include <cstring>

#include "dib/transforms.h"
#include "resources/text_ids.h"
#include "tests/support/images.h"
#include "tests/support/recorder.h"

namespace {

using testimg::GetPixel;

struct Shape {
  unsigned bits;
  uint32_t width;
  uint32_t height;
};

std::string Describe(const Shape& s) {
  return std::to_string(s.bits) + " bits, " + std::to_string(s.width) + " x " + std::to_string(s.height);
}

// Every depth with widths 1..33 (all bit and nibble offsets, strides with and without padding).
std::vector<Shape> Sweep() {
  std::vector<Shape> shapes;
  for (unsigned bits : testimg::kDepths)
    for (uint32_t w = 1; w <= 33; ++w) shapes.push_back({bits, w, w % 5 + 1});
  shapes.push_back({8, 7, 40});
  return shapes;
}

// Pixel values with the padding after them, for checking whole rows.
void ExpectSameHeaderAndTable(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b,
                              const DibView& v, const Shape& s) {
  ASSERT_EQ(a.size(), b.size());
  EXPECT_EQ(0, std::memcmp(a.data(), b.data(), 40 + v.colorCount * 4)) << Describe(s);
}

class TransformSweep : public ::testing::Test {
 protected:
  void SetUp() override { recorder::Reset(); }
  void TearDown() override {
    EXPECT_EQ(recorder::LiveBlocks(), 0);
    EXPECT_EQ(recorder::OpenLocks(), 0);
  }
};

TEST_F(TransformSweep, MirrorReversesEveryRowAndKeepsPaddingZero) {
  for (const Shape& s : Sweep()) {
    OwnedBlock before(testimg::Make(s.bits, s.width, s.height, s.width));
    OwnedBlock image(testimg::Make(s.bits, s.width, s.height, s.width));
    ASSERT_TRUE(MirrorDib(image.get())) << Describe(s);
    testimg::View a(before.get()), b(image.get());
    ExpectSameHeaderAndTable(testimg::Bytes(before.get()), testimg::Bytes(image.get()), a.v, s);
    for (uint32_t y = 0; y < s.height; ++y) {
      for (uint32_t x = 0; x < s.width; ++x)
        ASSERT_EQ(GetPixel(b.v, x, y), GetPixel(a.v, s.width - 1 - x, y)) << Describe(s) << " at " << x << "," << y;
      // Padding was zero and stays zero: a mirrored row must start at its first bit.
      const uint8_t* row = b.v.RowFromTop(y);
      const uint64_t usedBits = uint64_t{s.bits} * s.width;
      for (uint64_t bit = usedBits; bit < b.v.stride * 8; ++bit)
        ASSERT_EQ((row[bit / 8] >> (7 - bit % 8)) & 1, 0) << Describe(s) << " padding bit " << bit;
    }
  }
}

TEST_F(TransformSweep, FlipReversesTheRowOrder) {
  for (const Shape& s : Sweep()) {
    OwnedBlock before(testimg::Make(s.bits, s.width, s.height, 99));
    OwnedBlock image(testimg::Make(s.bits, s.width, s.height, 99));
    ASSERT_TRUE(FlipDib(image.get()));
    testimg::View a(before.get()), b(image.get());
    ExpectSameHeaderAndTable(testimg::Bytes(before.get()), testimg::Bytes(image.get()), a.v, s);
    for (uint32_t y = 0; y < s.height; ++y)
      ASSERT_EQ(0, std::memcmp(b.v.RowFromTop(y), a.v.RowFromTop(s.height - 1 - y), a.v.stride)) << Describe(s);
  }
}

TEST_F(TransformSweep, InvertComplementsColoursByDepth) {
  for (const Shape& s : Sweep()) {
    OwnedBlock before(testimg::Make(s.bits, s.width, s.height, 5));
    OwnedBlock image(testimg::Make(s.bits, s.width, s.height, 5));
    ASSERT_TRUE(InvertDib(image.get(), nullptr));
    testimg::View a(before.get()), b(image.get());
    EXPECT_EQ(0, std::memcmp(a.v.header, b.v.header, 40));
    if (s.bits == 4 || s.bits == 8) {
      for (uint32_t i = 0; i < a.v.colorCount; ++i) {
        EXPECT_EQ(b.v.colors[i].rgbBlue, 255 - a.v.colors[i].rgbBlue);
        EXPECT_EQ(b.v.colors[i].rgbGreen, 255 - a.v.colors[i].rgbGreen);
        EXPECT_EQ(b.v.colors[i].rgbRed, 255 - a.v.colors[i].rgbRed);
        EXPECT_EQ(b.v.colors[i].rgbReserved, a.v.colors[i].rgbReserved);
      }
      EXPECT_EQ(0, std::memcmp(a.v.rows, b.v.rows, a.v.stride * s.height)) << "pixels untouched";
      continue;
    }
    if (a.v.colorCount) {
      EXPECT_EQ(0, std::memcmp(a.v.colors, b.v.colors, a.v.colorCount * 4)) << "table untouched";
    }
    for (uint32_t y = 0; y < s.height; ++y) {
      if (s.bits == 32) {
        for (uint32_t x = 0; x < s.width; ++x)
          ASSERT_EQ(GetPixel(b.v, x, y), GetPixel(a.v, x, y) ^ 0x00FFFFFFu) << Describe(s);
      } else {
        // 1 and 24 bits: every byte of the row, padding included.
        for (size_t i = 0; i < a.v.stride; ++i)
          ASSERT_EQ(b.v.RowFromTop(y)[i], static_cast<uint8_t>(~a.v.RowFromTop(y)[i])) << Describe(s);
      }
    }
  }
}

// Each operation applied twice gives back the very same bytes, padding and table included.
TEST_F(TransformSweep, TwiceRestoresTheImage) {
  struct Op {
    const char* name;
    bool (*run)(HostBlock);
  } ops[] = {{"invert", [](HostBlock b) { return InvertDib(b, nullptr); }},
             {"flip", FlipDib},
             {"mirror", MirrorDib}};
  for (const Op& op : ops)
    for (const Shape& s : Sweep()) {
      OwnedBlock image(testimg::Make(s.bits, s.width, s.height, 3));
      const auto original = testimg::Bytes(image.get());
      ASSERT_TRUE(op.run(image.get()));
      ASSERT_TRUE(op.run(image.get()));
      ASSERT_EQ(testimg::Bytes(image.get()), original) << op.name << ", " << Describe(s);
    }
}

TEST(Mirror, WorkedRows) {
  // 1 bit, 10 pixels 1100100011 -> 1100010011; 4 bits, pixels 1 2 3 -> 3 2 1.
  struct Case {
    unsigned bits;
    uint32_t width;
    std::vector<uint8_t> row, mirrored;
  } cases[] = {{1, 10, {0xC8, 0xC0, 0, 0}, {0xC4, 0xC0, 0, 0}},
               {4, 3, {0x12, 0x30, 0, 0}, {0x32, 0x10, 0, 0}},
               {24, 2, {1, 2, 3, 4, 5, 6, 0, 0}, {4, 5, 6, 1, 2, 3, 0, 0}},
               {32, 2, {1, 2, 3, 4, 5, 6, 7, 8}, {5, 6, 7, 8, 1, 2, 3, 4}}};
  for (const Case& c : cases) {
    OwnedBlock image(testimg::Make(c.bits, c.width, 1, 1));
    testimg::View v(image.get());
    std::memcpy(v.v.rows, c.row.data(), c.row.size());
    ASSERT_TRUE(MirrorDib(image.get()));
    EXPECT_EQ(std::vector<uint8_t>(v.v.rows, v.v.rows + c.row.size()), c.mirrored) << c.bits << " bits";
  }
}

TEST(Invert, ProgressReportsRowsEverySixteenTheLastAndTheHeight) {
  struct Case {
    unsigned bits;
    uint32_t height;
    std::vector<std::string> calls;
  } cases[] = {
      {24, 40, {"open 4128", "range 40", "step 0", "step 16", "step 32", "step 39", "step 40", "close"}},
      {1, 1, {"open 4128", "range 1", "step 0", "step 1", "close"}},
      {32, 17, {"open 4128", "range 17", "step 0", "step 16", "step 17", "close"}},
      {4, 40, {}},
      {8, 40, {}},
  };
  int owner = 0;
  for (const Case& c : cases) {
    OwnedBlock image(testimg::Make(c.bits, 3, c.height, 1));
    recorder::Reset();
    ASSERT_TRUE(InvertDib(image.get(), &owner));
    EXPECT_EQ(recorder::ProgressAndMessages(), c.calls) << c.bits << " bits, height " << c.height;
    if (!c.calls.empty()) {
      EXPECT_EQ(recorder::LastProgressOwner(), &owner);
    }
  }
}

// The scratch row is the only allocation; when it fails the command's own message is shown, the
// image is untouched and nothing stays allocated or locked.
TEST(FlipAndMirror, ScratchRowFailure) {
  struct Op {
    bool (*run)(HostBlock);
    unsigned message;
  } ops[] = {{FlipDib, IDS_FLIP_NO_MEMORY}, {MirrorDib, IDS_MIRROR_NO_MEMORY}};
  for (const Op& op : ops)
    for (unsigned bits : testimg::kDepths) {
      OwnedBlock image(testimg::Make(bits, 13, 4, 2));
      const auto original = testimg::Bytes(image.get());
      const int live = recorder::LiveBlocks();
      bool ok = true;
      const int points = testimg::ForEachAllocationFailure(
          [&] { ok = op.run(image.get()); },
          [&](int) {
            EXPECT_FALSE(ok);
            EXPECT_EQ(recorder::Messages(), std::vector<unsigned>{op.message});
            EXPECT_EQ(testimg::Bytes(image.get()), original);
            EXPECT_EQ(recorder::LiveBlocks(), live);
            EXPECT_EQ(recorder::OpenLocks(), 0);
          });
      EXPECT_EQ(points, 1) << bits << " bits";
      EXPECT_TRUE(ok) << "the run without a failure succeeds";
    }
}

TEST(Transforms, RefuseMalformedImagesUntouched) {
  for (bool (*op)(HostBlock) : {FlipDib, MirrorDib, +[](HostBlock b) { return InvertDib(b, nullptr); }}) {
    OwnedBlock image(testimg::Make(24, 5, 5, 1));
    {
      BlockLock lock(image.get());
      reinterpret_cast<BitmapInfoHeader*>(lock.get())->biCompression = 1;
    }
    const auto original = testimg::Bytes(image.get());
    recorder::Reset();
    EXPECT_FALSE(op(image.get()));
    EXPECT_EQ(recorder::Calls(), std::vector<std::string>{"message 3840"});
    EXPECT_EQ(testimg::Bytes(image.get()), original);
  }
}

}  // namespace
