#include "frame/caption.h"

#include <gtest/gtest.h>

#include <vector>

#include "resources/text_ids.h"
#include "tests/support/result_checks.h"

namespace {

TEST(CaptionOrigin, PlacesTheCaptionByItsAlignmentFlags) {
  struct Case {
    uint32_t width, height;
    int32_t cx, cy;
    uint16_t alignment;
    int32_t x, y;
  } cases[] = {
      {100, 50, 30, 10, 9, 0, 0},     // top left
      {100, 50, 30, 10, 20, 35, 40},  // bottom, centred across
      {100, 50, 30, 10, 36, 70, 40},  // bottom right
      {100, 50, 30, 10, 18, 35, 20},  // centred both ways
      {100, 50, 30, 10, 0, 0, 0},     // no flags: top left
      {100, 50, 31, 11, 18, 34, 19},  // odd remainders round toward zero
      {21, 9, 30, 16, 18, -4, -3},    // wider and taller: truncated toward zero, not floored
      {21, 9, 30, 16, 36, -9, -7},    // right and bottom of a larger caption
      {100, 50, 30, 10, 16 | 32 | 2 | 4, 35, 20},  // centre wins over right, middle over bottom
      {100, 50, 30, 10, 1 | 4 | 8 | 32, 70, 40},   // top and left are position 0: the others win
  };
  for (const Case& c : cases) {
    const CaptionOrigin at = FRM_CaptionOrigin(c.width, c.height, c.cx, c.cy, c.alignment);
    EXPECT_EQ(at.x, c.x) << "alignment " << c.alignment << ", " << c.width << " x " << c.height;
    EXPECT_EQ(at.y, c.y) << "alignment " << c.alignment << ", " << c.width << " x " << c.height;
  }
}

// A glyph renderer that paints the block of columns [2, 7) and rows [1, 3) from the top, drawn at
// one bit per pixel as the real renderers draw.
constexpr uint32_t kW = 11, kH = 5;
bool Painted(uint32_t x, uint32_t y) { return x >= 2 && x < 7 && y >= 1 && y < 3; }
bool PaintBlock(const MaskRaster& raster) {
  const size_t stride = (raster.width + 31) / 32 * 4;
  std::vector<uint8_t> mono(stride * raster.height, 0);
  for (uint32_t y = 0; y < raster.height; ++y)
    for (uint32_t x = 0; x < raster.width; ++x)
      if (!Painted(x, y)) mono[(raster.height - 1 - y) * stride + x / 8] |= 0x80 >> x % 8;
  MAS_RasterFromMono(mono.data(), stride, raster);
  return true;
}

// The caption is the mask engine's merge (its layouts, depths and flags are proven natively) with
// the glyphs as the painted pixels: a pixel takes the text colour when it is a glyph pixel and
// Invert is clear, or not a glyph pixel and Invert is set; Alpha reaches the engine apart from
// Color; a 1-bit image takes index 1 for index -1. The framed image is freed.
TEST(AddCaption, ColoursTheGlyphsOrEverythingElse) {
  for (unsigned bits : {1u, 24u, 32u})
    for (uint16_t invert : {0, 1}) {
      const FrameColor text{static_cast<int16_t>(bits == 1 ? -1 : 3), 0x11, 0x22, 0x33};
      OwnedBlock source(testimg::Make(bits, kW, kH, 5));
      HostBlock framed = testimg::Make(bits, kW, kH, 5);
      recorder::Reset();
      OwnedBlock result(FRM_AddCaption(framed, text, invert, bits == 32, 0, PaintBlock, 24));
      const std::string what = testimg::Cat(bits, " bits, invert ", invert);
      ASSERT_NE(result.get(), framed) << what;
      EXPECT_EQ(recorder::LiveBlocks(), 2) << what << ": the framed image is freed";
      testimg::View in(source.get());
      checks::ExpectResult(in.v, result.get(), kW, kH, what, [&](uint32_t x, uint32_t y) {
        const uint32_t own = testimg::GetPixel(in.v, x, y);
        if (Painted(x, y) != (invert == 0)) return own;
        return bits == 1 ? 1 : bits == 24 ? 0x332211u : own | 0xFF000000;  // red 0x33, blue 0x11
      });
    }
}

// Out of memory in the mask step: its own message, then the caption's; the framed image comes
// back untouched and nothing else stays allocated.
TEST(AddCaption, ReturnsTheFramedImageWhenTheMaskStepFails) {
  for (unsigned bits : {8u, 32u}) {
    HostBlock framed = testimg::Make(bits, kW, kH, 9);
    const auto before = testimg::Bytes(framed);
    recorder::Reset();
    HostBlock result = nullptr;
    const int points = testimg::ForEachAllocationFailure(
        [&] {
          result = FRM_AddCaption(framed, {1, 1, 2, 3}, 0, 1, 1, PaintBlock, 8);
        },
        [&](int n) {
          const unsigned first = n == 1 ? IDS_MASK_NO_MEMORY_IMAGE : IDS_MASK_NO_MEMORY_MASK;
          EXPECT_EQ(recorder::Messages(), (std::vector<unsigned>{first, IDS_FRAME_CAPTION_FAILED}))
              << bits << " bits, failure " << n;
          EXPECT_EQ(result, framed);
          EXPECT_EQ(testimg::Bytes(framed), before);
          EXPECT_EQ(recorder::LiveBlocks(), 1);
          EXPECT_EQ(recorder::OpenLocks(), 0);
        });
    EXPECT_EQ(points, bits == 32 ? 2 : 1) << bits << " bits";
    HP_Free(result);
  }
}

}  // namespace
