// Invert, flip and mirror against per-pixel references, at every depth and many widths, and the
// vector row mirror against the portable one.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

#include "dib/row_mirror.h"
#include "dib/transforms.h"
#include "tests/support/result_checks.h"

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
// rows wide enough for the vector kernels with ragged ends; each result against its rule, then the
// operation once more gives back the very same bytes. A malformed image is refused and kept.
TEST(Transforms, FollowTheirRulesAndUndoThemselves) {
  std::vector<std::array<uint32_t, 3>> shapes = {{8, 7, 40}};
  for (unsigned bits : testimg::kDepths) {
    for (uint32_t w = 1; w <= 33; ++w) shapes.push_back({bits, w, w % 5 + 1});
    for (uint32_t w : {129u, 200u, 263u}) shapes.push_back({bits, w, 2});
  }
  for (const Op& op : kOps)
    for (const auto& [bits, width, height] : shapes) {
      SCOPED_TRACE(testimg::Cat(op.name, ", ", testimg::Describe(bits, width, height)));
      OwnedBlock before(testimg::Make(bits, width, height, width));
      OwnedBlock image(testimg::Make(bits, width, height, width));
      const int live = recorder::LiveBlocks();
      ASSERT_TRUE(op.run(image.get()));
      EXPECT_EQ(recorder::LiveBlocks(), live);
      EXPECT_EQ(recorder::OpenLocks(), 0);
      {
        testimg::View a(before.get());
        if (op.run == Invert && (bits == 4 || bits == 8))  // the colour table inverted instead
          for (RgbQuad* q = a.v.colors; q < a.v.colors + a.v.colorCount; ++q)
            *q = {uint8_t(~q->rgbBlue), uint8_t(~q->rgbGreen), uint8_t(~q->rgbRed), q->rgbReserved};
        // Padding stays zero (a mirrored row starts at its first bit), except that inverting 1 and
        // 24 bits complements whole rows, padding included.
        checks::ExpectResult(
            a.v, image.get(), width, height, "",
            [&](uint32_t x, uint32_t y) { return op.pixel(a.v, x, y); },
            op.run == Invert && (bits == 1 || bits == 24));
      }
      ASSERT_TRUE(op.run(image.get()));
      OwnedBlock original(testimg::Make(bits, width, height, width));
      ASSERT_EQ(testimg::Bytes(image.get()), testimg::Bytes(original.get())) << "applied twice";
    }
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
      {8, 40, {}},  // the colour table is inverted instead
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

// The vector row mirror against the portable one, byte for byte, at every depth and at widths
// around each word and register boundary (128 1-bit pixels). Source padding is random (the 1- and
// 4-bit kernels carry it along); destinations start as a sentinel; rows are exactly one stride
// long, so a read or write past them trips the sanitizer.
TEST(RowMirror, VectorKernelsMatchThePortableOnes) {
#if IMAGE_SSE2
  std::mt19937 random(11);
  for (unsigned bits : testimg::kDepths)
    for (uint32_t width = 1; width <= 300; ++width) {
      const auto stride = static_cast<size_t>(RowStride(bits, width));
      std::vector<uint8_t> from(stride), portable(stride, 0xAA), vector(stride, 0xAA);
      for (uint8_t& b : from) b = static_cast<uint8_t>(random());
      MirrorRowPortable(from.data(), portable.data(), bits, width, stride, from.data());
      MirrorRowSse2(from.data(), vector.data(), bits, width, stride, from.data());
      ASSERT_EQ(portable, vector) << bits << " bits, width " << width;
    }
#else
  GTEST_SKIP() << "this build has the portable kernels only";
#endif
}

}  // namespace
