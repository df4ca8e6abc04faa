#include "frame/frame_fields.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

// A 100 x 80 image with margins 7 / 8 / 9 / 10 (top, bottom, left, right). A typed size beyond
// 65535 counts as 65535; typed margins show their true sum, and a sum too large keeps the margins.
TEST(FrameFields, SaturateSizesAndKeepMarginsThatFit) {
  constexpr auto kAcross = FrameDirection::kAcross, kDown = FrameDirection::kDown;
  // Two margins typed (`shown`: the size they give) or, with `shown` 0, a size.
  const std::tuple<FrameDirection, int64_t, int64_t, uint32_t, std::tuple<int, int, int, int>>
      cases[] = {{kAcross, 70000, 0, 0, {7, 8, 32717, 32718}},
                 {kAcross, 99, 0, 0, {7, 8, 0, 0}},
                 {kDown, 4294967295, 0, 0, {32727, 32728, 9, 10}},
                 {kAcross, 65000, 435, 65535, {7, 8, 65000, 435}},
                 {kAcross, 65000, 436, 65536, {7, 8, 9, 10}},
                 {kDown, 70000, 5, 65620, {7, 8, 9, 10}},
                 {kDown, 65000, 456, 65536, {7, 8, 9, 10}}};
  for (const auto& [direction, first, second, shown, margins] : cases) {
    FrameSpec p;
    ASSERT_TRUE(FRM_SetMargins(p, 100, 80, 7, 8, 9, 10));
    if (shown)
      EXPECT_EQ(FRM_MarginsChanged(p, 100, 80, direction, first, second), shown);
    else
      FRM_DimensionChanged(p, 100, 80, direction, first);
    const auto [top, bottom, left, right] = margins;
    EXPECT_EQ(std::tuple(p.top, p.bottom, p.left, p.right, p.addWidth, p.addHeight),
              std::tuple(top, bottom, left, right, left + right, top + bottom))
        << first << " " << second;
  }
}

// OK on a 100 x 80 image: the caption's length first (254 characters pass), then each size too
// small, width before height, and only then too large (above 65535), width before height.
TEST(FrameFields, RefuseOkInTheOrderTheUserReadsTheFields) {
  using enum FrameRefusal;
  const std::tuple<size_t, int64_t, int64_t, FrameRefusal> cases[] = {
      {255, 99, 79, kCaptionTooLong},   {254, 100, 80, kNone},
      {0, 99, 79, kWidthTooSmall},      {0, 70000, 79, kHeightTooSmall},
      {0, 65536, 80, kWidthTooLarge},   {0, 65535, 65535, kNone},
      {0, 100, 65536, kHeightTooLarge}, {0, 70000, 70000, kWidthTooLarge}};
  for (const auto& [caption, width, height, refusal] : cases)
    EXPECT_EQ(FRM_CheckOk(caption, width, height, 100, 80), refusal) << width << " x " << height;
}

// The preview box, centred down for a wide frame and across for a tall one; a frame far wider or
// taller than the control still lands inside it.
TEST(FrameFields, FitThePreviewInsideTheControl) {
  // clang-format off
  const std::tuple<PreviewBox, uint32_t, uint32_t, PreviewBox> cases[] = {
      {{0, 0, 100, 100}, 400, 100, {0, 37, 100, 62}}, {{0, 0, 100, 100}, 100, 400, {37, 0, 62, 100}},
      {{0, 0, 120, 100}, 50, 50, {10, 0, 110, 100}}, {{2, 3, 102, 103}, 9, 9, {2, 3, 102, 103}},
      {{0, 0, 100, 100}, 65535, 1, {0, 50, 100, 50}}, {{0, 0, 100, 101}, 1, 65535, {50, 0, 50, 101}}};
  // clang-format on
  for (const auto& [client, width, height, box] : cases) {
    const PreviewBox b = FRM_FitPreview(client, width, height);
    EXPECT_EQ(std::tie(b.left, b.top, b.right, b.bottom),
              std::tie(box.left, box.top, box.right, box.bottom))
        << width << " x " << height;
  }
}

}  // namespace
