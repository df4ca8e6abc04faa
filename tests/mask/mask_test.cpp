#include "mask/mask.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "resources/text_ids.h"
#include "tests/support/images.h"
#include "tests/support/recorder.h"

namespace {

// A drawing given pixel by pixel (y from the top), rendered as the renderer contract says, with
// 0xAA left in the padding so that the engine has to clean it up.
bool Painted(uint32_t x, uint32_t y, uint32_t seed) { return (x * 7 + y * 13 + seed) % 5 < 2; }

MaskRenderer PatternRenderer(uint32_t seed) {
  return [seed](const MaskRaster& r) {
    for (uint32_t y = 0; y < r.height; ++y) {
      uint8_t* row = r.rows + (r.height - 1 - y) * r.stride;
      std::memset(row, 0xAA, r.stride);
      DibView v;
      v.rows = row, v.stride = r.stride, v.height = 1, v.bits = r.bits;
      for (uint32_t x = 0; x < r.width; ++x)
        testimg::SetPixel(v, x, 0, Painted(x, y, seed) ? 0 : 0xFFFFFFFFu);
    }
    return true;
  };
}

struct Params {
  unsigned bits;
  uint32_t displayBits;
};

class MaskMerge : public ::testing::TestWithParam<Params> {};

// Every pixel against the keep rule, both ways of inverting, widths 1 to 9 (odd widths put the last
// 4-bit pixel in a high nibble), and the header, colour table and padding of the result.
TEST_P(MaskMerge, FollowsTheKeepRulePerPixel) {
  const auto [bits, displayBits] = GetParam();
  const int32_t index = bits == 1 ? 5 : bits == 4 ? 9 : 200;  // any non-zero index is 1 for 1 bit
  MAS_SetMaskColor(index, 10, 20, 30);
  for (uint32_t width = 1; width <= 9; ++width) {
    for (int32_t invert : {0, 1}) {
      recorder::Reset();
      OwnedBlock source(testimg::Make(bits, width, 3, width));
      const std::vector<uint8_t> before = testimg::Bytes(source.get());
      OwnedBlock result(MAS_ApplyMask(source.get(), PatternRenderer(width), invert, 1, 1, displayBits));
      ASSERT_TRUE(result) << bits << " bits, width " << width;
      EXPECT_EQ(testimg::Bytes(source.get()), before) << "the source must not change";
      testimg::View s(source.get()), d(result.get());
      ASSERT_EQ(HP_Size(result.get()), before.size());
      EXPECT_EQ(0, std::memcmp(s.lock.get(), d.lock.get(), s.v.rows - s.lock.get()))
          << "header and colour table";
      const uint32_t replaced = bits == 1 ? 1 : bits == 4 ? 9 : bits == 8 ? 200 : 0xFF0A141Eu;
      for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < width; ++x) {
          const bool keep = !Painted(x, y, width) == (invert != 0);
          const uint32_t src = testimg::GetPixel(s.v, x, y);
          const uint32_t want = keep ? src : bits == 24 ? 0x0A141E : replaced;
          ASSERT_EQ(testimg::GetPixel(d.v, x, y), want)
              << bits << " bits, width " << width << ", invert " << invert << " at " << x << "," << y;
        }
      for (uint32_t k = 0; k < 3; ++k) {
        const uint8_t* row = d.v.Row(k);
        const size_t used = d.v.UsedBytes();
        for (size_t i = used; i < d.v.stride; ++i) EXPECT_EQ(row[i], 0) << "padding byte " << i;
        const unsigned spare = (8 - (uint64_t{bits} * width) % 8) % 8;
        EXPECT_EQ(row[used - 1] & ((1u << spare) - 1), 0u) << "padding bits, width " << width;
      }
    }
  }
  EXPECT_EQ(recorder::LiveBlocks(), 0);
  EXPECT_EQ(recorder::OpenLocks(), 0);
}

INSTANTIATE_TEST_SUITE_P(DepthsAndLayouts, MaskMerge,
                         ::testing::Values(Params{1, 32}, Params{4, 32}, Params{4, 8}, Params{8, 8},
                                           Params{24, 32}, Params{24, 8}, Params{32, 32}),
                         [](const auto& info) {
                           return std::to_string(info.param.bits) + "bit_display" +
                                  std::to_string(info.param.displayBits);
                         });

TEST(MaskLayout, SeparateOnlyFor32BitsAndFor4Or24BitsOnAnEightBitDisplay) {
  for (uint32_t display : {8u, 16u, 24u, 32u})
    for (uint32_t bits : {1u, 4u, 8u, 24u, 32u}) {
      const bool separate = bits == 32 || (display == 8 && (bits == 4 || bits == 24));
      EXPECT_EQ(ChooseMaskLayout(bits, display) == MaskLayout::Separate, separate) << bits << "/" << display;
    }
}

// A 2 × 1 image whose left pixel is painted and right one is not: the right one shows each flag.
TEST(MaskMerge32, FlagsChooseColourAndAlphaOfReplacedPixels) {
  struct Case {
    int32_t alphaMask, alphaColor;
    uint32_t right;  // 0xAABBGGRR as GetPixel reads it
  } cases[] = {{0, 0, 0x44332211}, {0, 1, 0x441E140A}, {1, 0, 0xFF332211}, {1, 1, 0xFF1E140A}};
  MAS_SetMaskColor(0, 30, 20, 10);
  MaskRenderer leftPainted = [](const MaskRaster& r) {
    EXPECT_EQ(r.bits, 8u);  // 32-bit images always go through the separate 8-bit mask
    r.rows[0] = 0;
    r.rows[1] = 0xFF;
    return true;
  };
  for (const Case& c : cases) {
    OwnedBlock source(testimg::Make(32, 2, 1, 1));
    {
      testimg::View s(source.get());
      testimg::SetPixel(s.v, 0, 0, 0x88776655);
      testimg::SetPixel(s.v, 1, 0, 0x44332211);
    }
    OwnedBlock result(MAS_ApplyMask(source.get(), leftPainted, 0, c.alphaMask, c.alphaColor, 32));
    ASSERT_TRUE(result);
    testimg::View d(result.get());
    EXPECT_EQ(testimg::GetPixel(d.v, 0, 0), 0x88776655u);
    EXPECT_EQ(testimg::GetPixel(d.v, 1, 0), c.right) << c.alphaMask << c.alphaColor;
  }
}

TEST(MaskApply, ReportsEachAllocationFailureAndFreesEverything) {
  for (unsigned bits : {8u, 32u}) {
    OwnedBlock source(testimg::Make(bits, 5, 4, 3));
    std::vector<unsigned> messages;
    const int points = testimg::ForEachAllocationFailure(
        [&] { HP_Free(MAS_ApplyMask(source.get(), PatternRenderer(1), 0, 1, 1, 32)); },
        [&](int) {
          messages.push_back(recorder::Messages().at(0));
          EXPECT_EQ(recorder::LiveBlocks(), 1);  // the source only
          EXPECT_EQ(recorder::OpenLocks(), 0);
        });
    const std::vector<unsigned> expected =
        bits == 32 ? std::vector<unsigned>{IDS_MASK_NO_MEMORY_IMAGE, IDS_MASK_NO_MEMORY_MASK}
                   : std::vector<unsigned>{IDS_MASK_NO_MEMORY_IMAGE};
    EXPECT_EQ(points, static_cast<int>(expected.size())) << bits;
    EXPECT_EQ(messages, expected) << bits;
  }
}

TEST(MaskApply, GivesUpCleanlyWhenTheRendererFails) {
  for (uint32_t display : {8u, 32u}) {
    OwnedBlock source(testimg::Make(24, 5, 4, 3));
    const int live = recorder::LiveBlocks();
    EXPECT_EQ(MAS_ApplyMask(source.get(), [](const MaskRaster&) { return false; }, 0, 1, 1, display), nullptr);
    EXPECT_EQ(recorder::LiveBlocks(), live);
    EXPECT_EQ(recorder::OpenLocks(), 0);
  }
}

TEST(MaskApply, RefusesAnImageTheEnginesDoNotHandle) {
  OwnedBlock source(testimg::Make(8, 4, 2, 1));
  {
    testimg::View s(source.get());
    s.v.header->biBitCount = 16;
  }
  recorder::Reset();
  EXPECT_EQ(MAS_ApplyMask(source.get(), PatternRenderer(0), 0, 1, 1, 32), nullptr);
  EXPECT_EQ(recorder::Messages(), std::vector<unsigned>{IDS_UNSUPPORTED_IMAGE});
}

}  // namespace
