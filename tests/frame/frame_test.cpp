#include "frame/frame.h"

#include <gtest/gtest.h>

#include "frame/margins.h"
#include "resources/text_ids.h"
#include "tests/support/result_checks.h"

namespace {

// A colour as GetPixel reports it; a 32-bit margin pixel has a fourth byte 0.
uint32_t Expected(const FrameColor& c, unsigned bits) {
  return bits <= 8 ? static_cast<uint16_t>(c.index) & ((1u << bits) - 1)
                   : c.blue | c.green << 8 | c.red << 16;
}

// The framed image against the rule, y counted from the top: the source at column left with a
// top margin of H' - h - bottom rows, around it the outline border (Outline) or the fill. The
// bits after each row's last pixel repeat the row's background byte below 24 bits, are 0 above.
void CheckFrame(HostBlock source, const FrameSpec& params, const std::string& what) {
  OwnedBlock result(FRM_ComposeFrame(source, params));
  ASSERT_TRUE(result) << what;
  testimg::View in(source), out(result.get());
  const DibView &s = in.v, &d = out.v;
  checks::ExpectMadeFrom(s, result.get(), s.width + params.addWidth, s.height + params.addHeight,
                         what);
  const uint32_t top = d.height - s.height - params.bottom;
  for (uint32_t y = 0; y < d.height; ++y) {
    const bool edgeRow = y == 0 || y == d.height - 1, outline = params.style == kFrameOutline;
    for (uint32_t x = 0; x < d.width; ++x) {
      uint32_t want = Expected(params.fill, d.bits);
      if (x >= params.left && x - params.left < s.width && y >= top && y - top < s.height)
        want = testimg::GetPixel(s, x - params.left, y - top);
      else if (outline && (edgeRow || x == 0 || x == d.width - 1))
        want = Expected(params.outline, d.bits);
      ASSERT_EQ(testimg::GetPixel(d, x, y), want) << what << " at " << x << "," << y;
    }
    const uint32_t background = Expected(outline && edgeRow ? params.outline : params.fill, d.bits);
    for (size_t bit = size_t{d.width} * d.bits; bit < d.stride * 8; ++bit)
      ASSERT_EQ(checks::Bit(d, d.height - 1 - y, bit),
                d.bits > 8 ? 0 : (background >> (d.bits - 1 - bit % d.bits)) & 1)
          << what << ", row " << y << " bit " << bit;
  }
}

class FrameAtDepth : public testing::TestWithParam<unsigned> {};

// Images 1 to 17 wide placed at columns 0 to 7 (every bit and nibble offset) in both styles
// (and an unknown style, painted as Filled), with and without vertical margins, one-row results
// included; and a wide image at every offset, for the sixteen-byte loop. Without margins the
// result is the image, byte for byte; out of memory leaves nothing behind.
TEST_P(FrameAtDepth, PlacesTheImageInsideItsMarginsAndFailsCleanly) {
  const unsigned bits = GetParam();
  FrameSpec params;  // colours whose indices and channels all differ, so that a swap shows
  params.fill = {static_cast<int16_t>(bits == 1 ? 1 : 5), 10, 20, 30};
  params.outline = {static_cast<int16_t>(bits == 1 ? 0 : 3), 200, 150, 100};
  for (uint16_t style : {uint16_t{kFrameFilled}, uint16_t{kFrameOutline}, uint16_t{7}})
    for (uint32_t width = 1; width <= 17; ++width)
      for (uint32_t left = 0; left < 8; ++left) {
        const uint32_t height = 1 + width % 3, top = width % 2 ? 0 : 2, bottom = left % 3;
        OwnedBlock source(testimg::Make(bits, width, height, width * 16 + left));
        params.style = style;
        ASSERT_TRUE(FRM_SetMargins(params, width, height, top, bottom, left, (width + left) % 4));
        CheckFrame(source.get(), params,
                   testimg::Cat(bits, " bits, style ", style, ", width ", width, ", left ", left));
      }
  OwnedBlock wide(testimg::Make(bits, 203, 2, 77));
  params.style = kFrameOutline;
  for (uint32_t left = 0; left < 8; ++left) {
    ASSERT_TRUE(FRM_SetMargins(params, 203, 2, 1, 2, left, 70));
    CheckFrame(wide.get(), params, testimg::Cat(bits, " bits, wide, left ", left));
  }

  OwnedBlock source(testimg::Make(bits, 9, 4, 5));
  ASSERT_TRUE(FRM_SetMargins(params, 9, 4, 0, 0, 0, 0));
  OwnedBlock same(FRM_ComposeFrame(source.get(), params));
  EXPECT_EQ(testimg::Bytes(same.get()), testimg::Bytes(source.get()));
  ASSERT_TRUE(FRM_SetMargins(params, 9, 4, 1, 2, 3, 4));
  checks::ExpectCleanFailures(
      source.get(), [&] { return FRM_ComposeFrame(source.get(), params); }, IDS_FRAME_NO_MEMORY, 1);
}

INSTANTIATE_TEST_SUITE_P(Depths, FrameAtDepth, testing::ValuesIn(testimg::kDepths),
                         testimg::DepthName);

// Sizes past 16 bits or past the pixel-byte limit, an image that would stick out of the new one,
// and 16-bit images are refused before any allocation.
TEST(Frame, RefusesWhatDoesNotFit) {
  struct Case {
    uint16_t bits, addWidth, left, addHeight, bottom;
    unsigned message;
  } cases[] = {
      {1, 65500, 0, 0, 0, IDS_IMAGE_TOO_LARGE},      {1, 0, 0, 65533, 0, IDS_IMAGE_TOO_LARGE},
      {1, 2, 3, 0, 0, IDS_IMAGE_TOO_LARGE},          {1, 0, 0, 4, 5, IDS_IMAGE_TOO_LARGE},
      {32, 65000, 0, 65000, 0, IDS_IMAGE_TOO_LARGE},  // 17 GB
      {16, 2, 1, 2, 1, IDS_UNSUPPORTED_IMAGE}};
  for (const Case& c : cases) {
    OwnedBlock source(testimg::Make(c.bits == 16 ? 1 : c.bits, 40, 3, 2));
    BlockLock(source.get()).get()[14] = static_cast<uint8_t>(c.bits);  // biBitCount
    const FrameSpec params{
        .addWidth = c.addWidth, .addHeight = c.addHeight, .left = c.left, .bottom = c.bottom};
    recorder::Reset();
    EXPECT_EQ(FRM_ComposeFrame(source.get(), params), nullptr) << "case " << &c - cases;
    EXPECT_EQ(recorder::Messages(), std::vector<unsigned>{c.message}) << "case " << &c - cases;
    EXPECT_EQ(recorder::AllocationCount(), 0);
  }
}

}  // namespace
