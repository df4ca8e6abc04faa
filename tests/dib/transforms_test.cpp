// Invert, flip and mirror against per-pixel references, at every depth and many widths.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "dib/transforms.h"
#include "resources/text_ids.h"
#include "tests/support/images.h"
#include "tests/support/recorder.h"

namespace {

using testimg::GetPixel;

bool Invert(HostBlock b) { return InvertDib(b, nullptr); }

// Each operation with the rule for result pixel (x, y) of source `a`.
struct Op {
  const char* name;
  bool (*run)(HostBlock);
  uint32_t (*pixel)(const DibView& a, uint32_t x, uint32_t y);
} const kOps[] = {
    {"mirror", MirrorDib,
     [](const DibView& a, uint32_t x, uint32_t y) { return GetPixel(a, a.width - 1 - x, y); }},
    {"flip", FlipDib,
     [](const DibView& a, uint32_t x, uint32_t y) { return GetPixel(a, x, a.height - 1 - y); }},
    // 4 and 8 bits invert the colour table instead; 32 bits keep the fourth byte.
    {"invert", Invert, [](const DibView& a, uint32_t x, uint32_t y) {
       return GetPixel(a, x, y) ^ (a.bits == 1 ? 1 : a.bits > 8 ? 0xFFFFFF : 0);
     }}};

// Every depth with widths 1..33 (all bit and nibble offsets, strides with and without padding) and
// a few rows wide enough for the vector kernels with ragged ends;
// each result against its rule, then the operation once more gives back the very same bytes.
TEST(Transforms, FollowTheirRulesAndUndoThemselves) {
  std::vector<std::array<uint32_t, 3>> shapes = {{8, 7, 40}};
  for (unsigned bits : testimg::kDepths) {
    for (uint32_t w = 1; w <= 33; ++w) shapes.push_back({bits, w, w % 5 + 1});
    for (uint32_t w : {129u, 200u, 263u}) shapes.push_back({bits, w, 2});
  }
  for (const Op& op : kOps)
    for (const auto& [bits, width, height] : shapes) {
      SCOPED_TRACE(std::string(op.name) + ", " + std::to_string(bits) + " bits, " +
                   std::to_string(width) + " x " + std::to_string(height));
      OwnedBlock before(testimg::Make(bits, width, height, width));
      OwnedBlock image(testimg::Make(bits, width, height, width));
      const int live = recorder::LiveBlocks();
      ASSERT_TRUE(op.run(image.get()));
      EXPECT_EQ(recorder::LiveBlocks(), live);
      EXPECT_EQ(recorder::OpenLocks(), 0);
      {
        testimg::View a(before.get()), b(image.get());
        EXPECT_EQ(0, std::memcmp(a.v.header, b.v.header, 40));
        const bool table = op.run == Invert && (bits == 4 || bits == 8);
        for (uint32_t i = 0; i < a.v.colorCount; ++i) {
          const RgbQuad q = a.v.colors[i];
          const RgbQuad inverse = {uint8_t(~q.rgbBlue), uint8_t(~q.rgbGreen), uint8_t(~q.rgbRed),
                                   q.rgbReserved};
          const RgbQuad want = table ? inverse : q;
          ASSERT_EQ(0, std::memcmp(&b.v.colors[i], &want, 4)) << "entry " << i;
        }
        for (uint32_t y = 0; y < height; ++y)
          for (uint32_t x = 0; x < width; ++x)
            ASSERT_EQ(GetPixel(b.v, x, y), op.pixel(a.v, x, y)) << x << ", " << y;
        // Padding stays zero (a mirrored row starts at its first bit), except that inverting 1 and
        // 24 bits complements whole rows, padding included.
        const bool ones = op.run == Invert && (bits == 1 || bits == 24);
        EXPECT_EQ(testimg::StrayPadding(b.v, ones), "");
      }
      ASSERT_TRUE(op.run(image.get()));
      ASSERT_EQ(testimg::Bytes(image.get()), testimg::Bytes(before.get())) << "applied twice";
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
    EXPECT_EQ(std::vector<uint8_t>(v.v.rows, v.v.rows + c.row.size()), c.mirrored)
        << c.bits << " bits";
  }
}

TEST(Invert, ProgressReportsRowsEverySixteenTheLastAndTheHeight) {
  struct Case {
    unsigned bits;
    uint32_t height;
    std::vector<std::string> calls;
  } cases[] = {
      {24,
       40,
       {"open 4128", "range 40", "step 0", "step 16", "step 32", "step 39", "step 40", "close"}},
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
    EXPECT_TRUE(c.calls.empty() || recorder::LastProgressOwner() == &owner);
  }
}

// The scratch row is the only allocation; when it fails the command's own message is shown, the
// image is untouched and nothing stays allocated or locked.
TEST(FlipAndMirror, ScratchRowFailure) {
  const std::pair<bool (*)(HostBlock), unsigned> ops[] = {{FlipDib, IDS_FLIP_NO_MEMORY},
                                                          {MirrorDib, IDS_MIRROR_NO_MEMORY}};
  for (const auto& [op, message] : ops)
    for (unsigned bits : testimg::kDepths) {
      OwnedBlock image(testimg::Make(bits, 13, 4, 2));
      const auto original = testimg::Bytes(image.get());
      const int live = recorder::LiveBlocks();
      bool ok = true;
      const int points = testimg::ForEachAllocationFailure(
          [&] { ok = op(image.get()); },
          [&](int) {
            EXPECT_FALSE(ok);
            EXPECT_EQ(recorder::Messages(), std::vector<unsigned>{message});
            EXPECT_EQ(testimg::Bytes(image.get()), original);
            EXPECT_EQ(recorder::LiveBlocks(), live);
            EXPECT_EQ(recorder::OpenLocks(), 0);
          });
      EXPECT_EQ(points, 1) << bits << " bits";
      EXPECT_TRUE(ok) << "the run without a failure succeeds";
    }
}

TEST(Transforms, RefuseMalformedImagesUntouched) {
  for (const Op& op : kOps) {
    OwnedBlock image(testimg::Make(24, 5, 5, 1));
    BlockLock(image.get()).get()[16] = 1;  // biCompression: RLE
    const auto original = testimg::Bytes(image.get());
    recorder::Reset();
    EXPECT_FALSE(op.run(image.get())) << op.name;
    EXPECT_EQ(recorder::Calls(), std::vector<std::string>{"message 3840"});
    EXPECT_EQ(testimg::Bytes(image.get()), original);
  }
}

}  // namespace
