#include "mask/mask.h"

#include <gtest/gtest.h>

#include <cstring>

#include "resources/text_ids.h"
#include "tests/support/result_checks.h"

namespace {

// A drawing given pixel by pixel (y from the top), rendered as the renderer contract says, with
// 0xAA left in the padding so that the engine has to clean it up.
bool Painted(uint32_t x, uint32_t y, uint32_t seed) { return (x * 7 + y * 13 + seed) % 5 < 2; }

MaskRenderer PatternRenderer(uint32_t seed) {
  return [seed](const MaskRaster& r) {
    std::memset(r.rows, 0xAA, r.stride * r.height);
    DibView v;
    v.rows = r.rows, v.stride = r.stride, v.height = r.height, v.bits = r.bits;
    for (uint32_t y = 0; y < r.height; ++y)
      for (uint32_t x = 0; x < r.width; ++x)
        testimg::SetPixel(v, x, y, Painted(x, y, seed) ? 0 : 0xFFFFFFFFu);
    return true;
  };
}

class MaskMerge : public ::testing::TestWithParam<std::pair<unsigned, uint32_t>> {};

// Every pixel against the keep rule, both ways of inverting, widths 1 to 9 (odd widths put the last
// 4-bit pixel in a high nibble), and the header, colour table and padding of the result.
TEST_P(MaskMerge, FollowsTheKeepRulePerPixel) {
  const auto [bits, displayBits] = GetParam();
  EXPECT_EQ(ChooseMaskLayout(bits, displayBits) == MaskLayout::Separate,
            bits == 32 || (displayBits == 8 && (bits == 4 || bits == 24)));
  MAS_SetMaskColor(bits == 1 ? 5 : bits == 4 ? 9 : 200, 10, 20, 30);  // 1 bit: non-zero is 1
  const uint32_t replaced = bits == 1    ? 1
                            : bits == 4  ? 9
                            : bits == 8  ? 200
                            : bits == 24 ? 0x0A141E
                                         : 0xFF0A141Eu;
  recorder::Reset();
  for (uint32_t width = 1; width <= 9; ++width)
    for (int32_t invert : {0, 1}) {
      const std::string what = testimg::Cat(width, " wide, invert ", invert);
      OwnedBlock source(testimg::Make(bits, width, 3, width));
      const std::vector<uint8_t> before = testimg::Bytes(source.get());
      OwnedBlock result(
          MAS_ApplyMask(source.get(), PatternRenderer(width), invert, 1, 1, displayBits));
      ASSERT_TRUE(result) << what;
      EXPECT_EQ(testimg::Bytes(source.get()), before) << "the source must not change";
      testimg::View s(source.get());
      checks::ExpectResult(s.v, result.get(), width, 3, what, [&](uint32_t x, uint32_t y) {
        return !Painted(x, y, width) == (invert != 0) ? testimg::GetPixel(s.v, x, y) : replaced;
      });
    }
  EXPECT_EQ(recorder::LiveBlocks(), 0);
  EXPECT_EQ(recorder::OpenLocks(), 0);
}

INSTANTIATE_TEST_SUITE_P(BitsAndDisplayBits, MaskMerge,
                         ::testing::Values(std::pair{1u, 32u}, std::pair{4u, 32u},
                                           std::pair{4u, 8u}, std::pair{8u, 8u}, std::pair{8u, 16u},
                                           std::pair{24u, 32u}, std::pair{24u, 8u},
                                           std::pair{32u, 32u}));

// A 2 × 1 image whose left pixel is painted and right one is not: the right one shows each flag.
TEST(MaskMerge32, FlagsChooseColourAndAlphaOfReplacedPixels) {
  const struct {
    int32_t alphaMask, alphaColor;
    uint32_t right;  // 0xAABBGGRR as GetPixel reads it
  } cases[] = {{0, 0, 0x44332211}, {0, 1, 0x441E140A}, {1, 0, 0xFF332211}, {1, 1, 0xFF1E140A}};
  MAS_SetMaskColor(0, 30, 20, 10);
  MaskRenderer leftPainted = [](const MaskRaster& r) {
    EXPECT_EQ(r.bits, 8u);  // 32-bit images always go through the separate 8-bit mask
    r.rows[0] = 0, r.rows[1] = 0xFF;
    return true;
  };
  OwnedBlock source(testimg::Make(32, 2, 1, 1));
  testimg::SetPixel(testimg::View(source.get()).v, 0, 0, 0x88776655);
  testimg::SetPixel(testimg::View(source.get()).v, 1, 0, 0x44332211);
  for (const auto& c : cases) {
    OwnedBlock result(MAS_ApplyMask(source.get(), leftPainted, 0, c.alphaMask, c.alphaColor, 32));
    ASSERT_TRUE(result);
    testimg::View d(result.get());
    EXPECT_EQ(testimg::GetPixel(d.v, 0, 0), 0x88776655u);
    EXPECT_EQ(testimg::GetPixel(d.v, 1, 0), c.right) << c.alphaMask << c.alphaColor;
  }
}

// Each allocation failure is reported with its own message; a failing renderer and an image of a
// depth the engines do not handle give up too. Nothing is left allocated or locked.
TEST(MaskApply, GivesUpCleanly) {
  for (unsigned bits : {8u, 32u}) {
    OwnedBlock source(testimg::Make(bits, 5, 4, 3));
    std::vector<unsigned> messages;  // of all failed runs together
    testimg::ForEachAllocationFailure(
        [&] { HP_Free(MAS_ApplyMask(source.get(), PatternRenderer(1), 0, 1, 1, 32)); },
        [&](int) {
          const std::vector<unsigned> shown = recorder::Messages();
          messages.insert(messages.end(), shown.begin(), shown.end());
          EXPECT_EQ(recorder::LiveBlocks(), 1);  // the source only
          EXPECT_EQ(recorder::OpenLocks(), 0);
        });
    EXPECT_EQ(messages,
              (bits == 32 ? std::vector<unsigned>{IDS_MASK_NO_MEMORY_IMAGE, IDS_MASK_NO_MEMORY_MASK}
                          : std::vector<unsigned>{IDS_MASK_NO_MEMORY_IMAGE}))
        << bits;
  }
  OwnedBlock source(testimg::Make(24, 5, 4, 3));
  for (uint32_t display : {8u, 32u}) {
    EXPECT_EQ(MAS_ApplyMask(
                  source.get(), [](const MaskRaster&) { return false; }, 0, 1, 1, display),
              nullptr);
    EXPECT_EQ(recorder::LiveBlocks(), 1);
    EXPECT_EQ(recorder::OpenLocks(), 0);
  }
  testimg::View(source.get()).v.header->biBitCount = 16;
  recorder::Reset();
  EXPECT_EQ(MAS_ApplyMask(source.get(), PatternRenderer(0), 0, 1, 1, 32), nullptr);
  EXPECT_EQ(recorder::Messages(), std::vector<unsigned>{IDS_UNSUPPORTED_IMAGE});
}

}  // namespace
