// The Crop dialog's rules where the dialog tests under Wine cannot reach easily: values past 16
// bits, marks scrolled off, fitted mapping left of the preview, ties, and drags that would wrap.
#include "crop/crop_marks.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Four values as "a,b,c,d", so that a failure shows them all.
std::string Four(int a, int b, int c, int d) {
  return std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) + "," +
         std::to_string(d);
}
std::string Text(const MarkPositions& p) { return Four(p.left, p.right, p.top, p.bottom); }
std::string Text(const CropMargins& m) { return Four(m.top, m.bottom, m.left, m.right); }

TEST(CropMarks, FieldValuesPast16BitsNeverWrap) {
  EXPECT_EQ(SplitKeptSize(300, 65536 + 10).halfAndOdd, 0u);
  EXPECT_EQ(SplitKeptSize(300, 299).halfAndOdd, 1u);
  const MarginEdit edit = EditMargin(300, 0xFFFFFFFF, 5);
  EXPECT_EQ(edit.margin, 295);
  EXPECT_TRUE(edit.cutBack);
  EXPECT_EQ(EditMargin(300, 280, 20).kept, 0u);
  EXPECT_FALSE(EditMargin(300, 280, 20).cutBack) << "exactly nothing left is not cut back";
}

// Real size: the lines lie one pixel in; scrolled off they wrap, are not drawn, but the lines and
// handles that start at them still reach into the client. Fitted: scaled, rounding down.
TEST(CropMarks, PlacementScrolledOffAndFitted) {
  const CropMargins m{10, 5, 3, 7};
  const struct {
    PreviewGeometry g;
    MarkPositions want;
    int lines;
  } cases[] = {
      {{100, 80, 231, 215, true, 0, 0}, {3, 94, 10, 76}, 4},
      {{100, 80, 231, 215, true, 5, 12}, {65534, 89, 65534, 64}, 2},
      {{400, 300, 200, 150, false, 0, 0}, {1, 196, 5, 147}, 4},
  };
  for (const auto& c : cases) {
    const MarkPositions p = PlaceMarks(c.g, m);
    const std::string what = std::to_string(c.g.hpos) + (c.g.realSize ? " real" : " fitted");
    EXPECT_EQ(Text(p), Text(c.want)) << what;
    EXPECT_EQ(MarkRectsFor(p, c.g.clientWidth, c.g.clientHeight).count, c.lines + 4) << what;
  }
  const MarkRects r = MarkRectsFor({65534, 89, 30, 64}, 231, 215);
  ASSERT_EQ(r.count, 7);
  EXPECT_EQ(r.rects[1].x, -2) << "top line";
  EXPECT_EQ(r.rects[1].width, 90) << "top line";
  EXPECT_EQ(r.rects[3].x, -7) << "top-left handle";
  EXPECT_EQ(ScrollRange(229, 231), 0);
  EXPECT_EQ(ScrollRange(230, 231), 1) << "one column under the frame can be scrolled to";
  const PreviewGeometry fitted{400, 60, 200, 150, false, 0, 0};
  EXPECT_EQ(ClientToImage(fitted, {-3, -5}).x, -6);
  EXPECT_EQ(ClientToImage(fitted, {-3, -5}).y, -2);
}

TEST(CropMarks, TiesGoLeftRightTopBottom) {
  EXPECT_EQ(HitTest({50, 60, 40, 50}, 55, 100), kZoneLeft);
  EXPECT_EQ(HitTest({50, 60, 40, 50}, 200, 45), kZoneTop);
  EXPECT_EQ(HitTest({50, 150, 40, 120}, 60, 50), kZoneLeft);
}

// One step from `previous` to `to` on a 100 x 80 image; limits are taken at the press.
TEST(CropMarks, DragStepsStopAtTheirLimits) {
  const struct {
    const char* what;
    HitZone zone;
    CropMargins start;
    Point32 previous, to;
    CropMargins want;  // top, bottom, left, right
  } cases[] = {
      {"left past the right line", kZoneLeft, {0, 0, 0, 30}, {0, 9}, {95, 9}, {0, 0, 70, 30}},
      {"top to the bottom line", kZoneTop, {0, 20, 0, 0}, {0, 0}, {0, 99}, {60, 20, 0, 0}},
      {"top-left corner, the right margin taking the width", kZoneTopLeft, {0, 0, 0, 100},
       {0, 0}, {50, 50}, {50, 0, 0, 100}},
      {"top-right corner past the image", kZoneTopRight, {5, 0, 0, 5}, {95, 5}, {150, -9},
       {0, 0, 0, 0}},
      {"inside past the left and bottom", kZoneInside, {10, 10, 10, 10}, {50, 50}, {-80, 300},
       {20, 0, 0, 20}},
  };
  for (const auto& c : cases) {
    CropMargins m = c.start;
    DragStep(c.zone, LimitsFor(c.zone, m, 100, 80), c.to, c.previous, m, 100, 80);
    EXPECT_EQ(Text(m), Text(c.want)) << c.what;
  }
  // The constrained point is the next step's start: moving back after hitting the edge moves the
  // rectangle back at once.
  CropMargins m{10, 10, 10, 10};
  const Point32 at = DragStep(kZoneInside, {}, {90, 50}, {50, 50}, m, 100, 80);
  DragStep(kZoneInside, {}, {55, 50}, at, m, 100, 80);
  EXPECT_EQ(Text(m), "10,10,15,5");
}

}  // namespace
