#include "frame/frame.h"

#include <gtest/gtest.h>

#include <cstring>

#include "frame/margins.h"
#include "resources/text_ids.h"
#include "tests/support/images.h"
#include "tests/support/recorder.h"

namespace {

using testimg::GetPixel;

// The colour table's bytes (none above 8 bits).
std::vector<uint8_t> Table(const DibView& v) {
  const auto* p = reinterpret_cast<const uint8_t*>(v.colors);
  return p ? std::vector<uint8_t>(p, p + v.colorCount * 4) : std::vector<uint8_t>{};
}

// A colour as GetPixel reports it at `bits` per pixel.
uint32_t Expected(const FrameColor& c, unsigned bits) {
  if (bits <= 8) return static_cast<uint16_t>(c.index) & ((1u << bits) - 1);
  return c.blue | c.green << 8 | c.red << 16;  // a 32-bit margin pixel has a fourth byte 0
}

// Colours whose channels and indices all differ, so that swapping them shows.
FrameSpec SpecWith(uint16_t style, unsigned bits) {
  FrameSpec spec;
  spec.style = style;
  spec.fill = {static_cast<int16_t>(bits == 1 ? 1 : 5), 10, 20, 30};
  spec.outline = {static_cast<int16_t>(bits == 1 ? 0 : 3), 200, 150, 100};
  return spec;
}

// The framed image compared pixel by pixel with the rule: the source at column left, top margin
// H' - h - bottom rows; around it the outline border (Outline style) or the fill. Bits after the
// last pixel of each row repeat the row's background byte at 1, 4 and 8 bits and are zero above.
void CheckFrame(HostBlock source, const FrameSpec& spec, const std::string& what) {
  OwnedBlock result(FRM_ComposeFrame(source, spec));
  ASSERT_TRUE(result) << what;
  testimg::View in(source), out(result.get());
  ASSERT_NE(out.v.header, nullptr) << what << ": not a well-formed image";
  const DibView &s = in.v, &d = out.v;
  ASSERT_EQ(d.width, s.width + spec.addWidth) << what;
  ASSERT_EQ(d.height, s.height + spec.addHeight) << what;
  EXPECT_EQ(d.header->biClrUsed, s.header->biClrUsed) << what;
  EXPECT_EQ(d.header->biXPelsPerMeter, s.header->biXPelsPerMeter) << what;
  EXPECT_EQ(Table(d), Table(s)) << what;
  const uint32_t top = d.height - s.height - spec.bottom;
  const bool margins = spec.addWidth || spec.addHeight;
  for (uint32_t y = 0; y < d.height; ++y) {
    const bool edgeRow = y == 0 || y == d.height - 1;
    for (uint32_t x = 0; x < d.width; ++x) {
      uint32_t want;
      if (x >= spec.left && x - spec.left < s.width && y >= top && y - top < s.height)
        want = GetPixel(s, x - spec.left, y - top);
      else if (spec.style == kFrameOutline && (edgeRow || x == 0 || x == d.width - 1))
        want = Expected(spec.outline, d.bits);
      else
        want = Expected(spec.fill, d.bits);
      ASSERT_EQ(GetPixel(d, x, y), want) << what << " at " << x << "," << y;
    }
    if (!margins) continue;
    const FrameColor& background =
        spec.style == kFrameOutline && edgeRow ? spec.outline : spec.fill;
    const uint32_t value = Expected(background, d.bits);
    const uint8_t* row = d.RowFromTop(y);
    for (size_t bit = size_t{d.width} * d.bits; bit < d.stride * 8; ++bit) {
      const unsigned expected = d.bits > 8 ? 0 : (value >> (d.bits - 1 - bit % d.bits)) & 1;
      ASSERT_EQ((row[bit / 8] >> (7 - bit % 8)) & 1, expected)
          << what << ", row " << y << " bit " << bit;
    }
  }
}

class FrameAtDepth : public testing::TestWithParam<unsigned> {};

// Images 1 to 17 wide placed at columns 0 to 7 (every bit and nibble offset), in both styles,
// with margins on every side, none on some, and one-row results.
TEST_P(FrameAtDepth, PlacesTheImageInsideItsMargins) {
  const unsigned bits = GetParam();
  for (uint16_t style : {kFrameFilled, kFrameOutline})
    for (uint32_t width = 1; width <= 17; ++width)
      for (uint16_t left = 0; left < 8; ++left) {
        const uint32_t height = 1 + width % 3;
        OwnedBlock source(testimg::Make(bits, width, height, width * 16 + left));
        FrameSpec spec = SpecWith(style, bits);
        const uint16_t bottom = left % 3,
                       addHeight = width % 2 ? bottom : static_cast<uint16_t>(bottom + 2);
        ASSERT_TRUE(FRM_SetMargins(spec, width, height, addHeight - bottom, bottom, left,
                                   (width + left) % 4));
        CheckFrame(source.get(), spec,
                   std::to_string(bits) + " bits, style " + std::to_string(style) + ", width " +
                       std::to_string(width) + ", left " + std::to_string(left) + ", bottom " +
                       std::to_string(bottom));
      }
  OwnedBlock wide(testimg::Make(bits, 203, 2, 77));
  FrameSpec spec = SpecWith(kFrameOutline, bits);
  ASSERT_TRUE(FRM_SetMargins(spec, 203, 2, 1, 2, 5, 70));
  CheckFrame(wide.get(), spec, std::to_string(bits) + " bits, 203 wide");
}

// Without margins the result is the image itself, byte for byte.
TEST_P(FrameAtDepth, NoMarginsCopiesTheImage) {
  OwnedBlock source(testimg::Make(GetParam(), 11, 3, 4));
  OwnedBlock result(FRM_ComposeFrame(source.get(), SpecWith(kFrameOutline, GetParam())));
  ASSERT_TRUE(result);
  EXPECT_EQ(testimg::Bytes(result.get()), testimg::Bytes(source.get()));
}

// The building blocks used one after the other give the composed image.
TEST_P(FrameAtDepth, BackgroundThenPlacementIsTheComposition) {
  OwnedBlock source(testimg::Make(GetParam(), 13, 3, 8));
  for (uint16_t style : {kFrameFilled, kFrameOutline}) {
    FrameSpec spec = SpecWith(style, GetParam());
    ASSERT_TRUE(FRM_SetMargins(spec, 13, 3, 2, 1, 3, 6));
    OwnedBlock composed(FRM_ComposeFrame(source.get(), spec));
    ASSERT_TRUE(composed);
    testimg::View in(source.get());
    std::vector<uint8_t> bytes(HP_Size(composed.get()), 0xAA);
    const DibView d = StartImageLike(in.v, bytes.data(), 22, 6);
    FRM_DrawBackground(spec, d);
    FRM_PlaceImage(in.v, d, spec.left, spec.bottom);
    EXPECT_EQ(bytes, testimg::Bytes(composed.get())) << "style " << style;
  }
}

TEST_P(FrameAtDepth, OutOfMemoryLeavesNothingBehind) {
  OwnedBlock source(testimg::Make(GetParam(), 9, 4, 5));
  FrameSpec spec = SpecWith(kFrameOutline, GetParam());
  ASSERT_TRUE(FRM_SetMargins(spec, 9, 4, 1, 2, 3, 4));
  const auto before = testimg::Bytes(source.get());
  const int live = recorder::LiveBlocks();
  HostBlock result = nullptr;
  const int points = testimg::ForEachAllocationFailure(
      [&] { result = FRM_ComposeFrame(source.get(), spec); },
      [&](int) {
        EXPECT_EQ(result, nullptr);
        EXPECT_EQ(recorder::Messages(), std::vector<unsigned>{IDS_FRAME_NO_MEMORY});
        EXPECT_EQ(recorder::LiveBlocks(), live);
        EXPECT_EQ(recorder::OpenLocks(), 0);
      });
  EXPECT_EQ(points, 1);
  EXPECT_NE(result, nullptr);
  HP_Free(result);
  EXPECT_EQ(testimg::Bytes(source.get()), before);
}

INSTANTIATE_TEST_SUITE_P(Depths, FrameAtDepth, testing::ValuesIn(testimg::kDepths),
                         [](const auto& info) { return std::to_string(info.param) + "bit"; });

// The worked example: a 10 x 10 image with addWidth 6, left 2, addHeight 4, bottom 1.
TEST(Frame, TenByTenExample) {
  OwnedBlock source(testimg::Make(8, 10, 10, 1));
  FrameSpec spec = SpecWith(kFrameFilled, 8);
  spec.addWidth = 6;
  spec.left = 2;
  spec.addHeight = 4;
  spec.bottom = 1;
  OwnedBlock result(FRM_ComposeFrame(source.get(), spec));
  ASSERT_TRUE(result);
  testimg::View in(source.get()), out(result.get());
  ASSERT_EQ(out.v.width, 16u);
  ASSERT_EQ(out.v.height, 14u);
  // The bottom-left pixel lands in column 2 of the second stored row, the top-right one 3 rows
  // below the top and 4 columns in from the right.
  EXPECT_EQ(out.v.Row(1)[2], in.v.Row(0)[0]);
  EXPECT_EQ(out.v.Row(10)[11], in.v.Row(9)[9]);
  EXPECT_EQ(out.v.Row(11)[11], 5);
  EXPECT_EQ(out.v.Row(10)[12], 5);
}

// Styles other than Filled and Outline paint as Filled rather than leaving memory as allocated.
TEST(Frame, UnknownStylePaintsAsFilled) {
  OwnedBlock source(testimg::Make(24, 5, 4, 2));
  FrameSpec spec = SpecWith(7, 24);
  ASSERT_TRUE(FRM_SetMargins(spec, 5, 4, 2, 1, 3, 2));
  OwnedBlock odd(FRM_ComposeFrame(source.get(), spec));
  spec.style = kFrameFilled;
  OwnedBlock filled(FRM_ComposeFrame(source.get(), spec));
  ASSERT_TRUE(odd && filled);
  EXPECT_EQ(testimg::Bytes(odd.get()), testimg::Bytes(filled.get()));
}

// Sizes past 16 bits and an image that would stick out of the new one are refused before any
// allocation.
TEST(Frame, RefusesParametersThatDoNotFit) {
  OwnedBlock source(testimg::Make(1, 40, 3, 2));
  struct Case {
    const char* what;
    uint16_t addWidth, left, addHeight, bottom;
  } cases[] = {{"width past 65535", 65500, 0, 0, 0},
               {"height past 65535", 0, 0, 65533, 0},
               {"left past the margins", 2, 3, 0, 0},
               {"bottom past the margins", 0, 0, 4, 5}};
  for (const Case& c : cases) {
    FrameSpec spec;
    spec.addWidth = c.addWidth;
    spec.left = c.left;
    spec.addHeight = c.addHeight;
    spec.bottom = c.bottom;
    recorder::Reset();
    EXPECT_EQ(FRM_ComposeFrame(source.get(), spec), nullptr) << c.what;
    EXPECT_EQ(recorder::Messages(), std::vector<unsigned>{IDS_IMAGE_TOO_LARGE}) << c.what;
    EXPECT_EQ(recorder::AllocationCount(), 0) << c.what;
    EXPECT_EQ(recorder::OpenLocks(), 0) << c.what;
  }
}

TEST(FrameMargins, SplitLikeTheDialog) {
  struct Case {
    uint16_t image, typed, added, first, second;
  } cases[] = {{100, 105, 5, 2, 3},
               {80, 81, 1, 0, 1},
               {80, 84, 4, 2, 2},
               {100, 100, 0, 0, 0},
               {100, 0, 0, 0, 0},
               {100, 99, 0, 0, 0},
               {1, 65535, 65534, 32767, 32767}};
  for (const Case& c : cases) {
    const MarginSplit m = FRM_SplitMargins(c.image, c.typed);
    EXPECT_EQ(m.added, c.added) << c.image << " -> " << c.typed;
    EXPECT_EQ(m.first, c.first) << c.image << " -> " << c.typed;
    EXPECT_EQ(m.second, c.second) << c.image << " -> " << c.typed;
  }
}

TEST(FrameMargins, SetMarginsKeepsTheSumsAndTheLimit) {
  FrameSpec spec;
  ASSERT_TRUE(FRM_SetMargins(spec, 100, 80, 10, 4, 7, 9));
  EXPECT_EQ(spec.top, 10);
  EXPECT_EQ(spec.bottom, 4);
  EXPECT_EQ(spec.left, 7);
  EXPECT_EQ(spec.right, 9);
  EXPECT_EQ(spec.addWidth, 16);
  EXPECT_EQ(spec.addHeight, 14);
  EXPECT_TRUE(FRM_SetMargins(spec, 100, 80, 0, 65455, 65435, 0));  // exactly 65535 each way
  EXPECT_FALSE(FRM_SetMargins(spec, 100, 80, 0, 0, 65436, 0));
  EXPECT_FALSE(FRM_SetMargins(spec, 100, 80, 40000, 40000, 0, 0));
  EXPECT_EQ(spec.addWidth, 65435);  // a refused call changes nothing
  EXPECT_EQ(spec.bottom, 65455);
}

}  // namespace
