#include "crop/crop_marks.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Kept sizes split the cut with the odd pixel going to the second margin; typed margins are cut
// back against the opposite one, values of 16 bits and more included (never wrapped).
TEST(CropMarks, FieldRules) {
  struct Split {
    uint32_t side, kept, half, odd;
  } splits[] = {{15, 10, 2, 3}, {15, 20, 0, 0}, {15, 15, 0, 0}, {15, 0, 7, 8}, {300, 299, 0, 1}};
  for (const Split& s : splits) {
    const MarginSplit got = SplitKeptSize(s.side, s.kept);
    EXPECT_EQ(got.half, s.half) << s.side << " keeping " << s.kept;
    EXPECT_EQ(got.halfAndOdd, s.odd) << s.side << " keeping " << s.kept;
  }
  struct Edit {
    uint32_t side, typed;
    uint16_t opposite, margin;
    uint32_t kept;
    bool cut;
  } edits[] = {{300, 400, 20, 280, 0, true},       {300, 100, 0, 100, 200, false},
               {300, 280, 20, 280, 0, false},      {300, 65536, 0, 300, 0, true},
               {300, 0xFFFFFFFF, 5, 295, 0, true}, {300, 0, 300, 0, 0, false}};
  for (const Edit& e : edits) {
    const MarginEdit got = EditMargin(e.side, e.typed, e.opposite);
    EXPECT_EQ(got.margin, e.margin) << e.typed << " against " << e.opposite;
    EXPECT_EQ(got.kept, e.kept) << e.typed << " against " << e.opposite;
    EXPECT_EQ(got.cutBack, e.cut) << e.typed << " against " << e.opposite;
  }
  EXPECT_EQ(KeptSize(10, 6, 4), 0u);
  EXPECT_EQ(KeptSize(10, 6, 3), 1u);
}

// Marks at real size lie on the outermost removed column or row, one pixel in for the frame;
// scrolled off they wrap and are not drawn; fitted they scale with the client size.
TEST(CropMarks, PlacementAndDrawnLines) {
  const CropMargins m{10, 5, 3, 7}, none{};
  struct Case {
    PreviewGeometry g;
    CropMargins m;
    MarkPositions want;
    int lines;
  } cases[] = {
      {{100, 80, 231, 215, true, 0, 0}, m, {3, 94, 10, 76}, 4},
      {{100, 80, 231, 215, true, 5, 12}, m, {65534, 89, 65534, 64}, 2},
      {{400, 300, 200, 150, false, 0, 0}, m, {1, 196, 5, 147}, 4},
      {{229, 213, 231, 215, true, 0, 0}, m, {3, 223, 10, 209}, 4},
      {{100, 80, 231, 215, true, 0, 0}, none, {0, 101, 0, 81}, 2},  // right and bottom only
  };
  for (const Case& c : cases) {
    const MarkPositions p = PlaceMarks(c.g, c.m);
    const std::string what = std::to_string(c.g.imageWidth) + (c.g.realSize ? " real" : " fitted");
    EXPECT_EQ(p.left, c.want.left) << what;
    EXPECT_EQ(p.right, c.want.right) << what;
    EXPECT_EQ(p.top, c.want.top) << what;
    EXPECT_EQ(p.bottom, c.want.bottom) << what;
    EXPECT_EQ(MarkRectsFor(p, c.g.clientWidth, c.g.clientHeight).count, c.lines + 4) << what;
  }
  // A wrapped start still anchors what it begins: the top line and the top-left handle start
  // left of the client and reach into it.
  const MarkRects r = MarkRectsFor({65534, 89, 30, 64}, 231, 215);
  ASSERT_EQ(r.count, 7);
  EXPECT_EQ(r.rects[1].x, -2);
  EXPECT_EQ(r.rects[1].width, 90);
  EXPECT_EQ(r.rects[3].x, -7);
  EXPECT_FALSE(FitsInterior({230, 10, 231, 215}));
  EXPECT_TRUE(FitsInterior({229, 213, 231, 215}));
  EXPECT_EQ(ScrollRange(229, 231), 0);
  EXPECT_EQ(ScrollRange(230, 231), 1);  // the last column can still be scrolled into view
  EXPECT_EQ(ScrollRange(500, 231), 271);
}

TEST(CropMarks, HitZones) {
  const MarkPositions wide{50, 150, 40, 120}, narrow{50, 60, 40, 50};
  struct Case {
    MarkPositions p;
    int x, y;
    HitZone want;
  } cases[] = {
      {wide, 50, 80, kZoneLeft},          {wide, 60, 80, kZoneLeft},  // 10 away still hits
      {wide, 61, 80, kZoneInside},        {wide, 39, 80, kZoneNone},
      {wide, 160, 80, kZoneRight},        {wide, 100, 30, kZoneTop},
      {wide, 100, 130, kZoneBottom},      {wide, 100, 131, kZoneNone},
      {wide, 59, 49, kZoneTopLeft},       {wide, 60, 45, kZoneTop},  // corners need < 10
      {wide, 141, 31, kZoneTopRight},     {wide, 45, 125, kZoneBottomLeft},
      {wide, 155, 115, kZoneBottomRight}, {wide, 60, 50, kZoneLeft},  // tie: left before top
      {narrow, 55, 100, kZoneLeft},       {narrow, 200, 45, kZoneTop},
  };
  for (const Case& c : cases)
    EXPECT_EQ(HitTest(c.p, c.x, c.y), c.want) << c.x << "," << c.y;
}

TEST(CropMarks, ClientToImage) {
  const PreviewGeometry fitted{400, 60, 200, 150, false, 0, 0}, real{400, 60, 200, 150, true, 7,
                                                                     3};
  struct Case {
    PreviewGeometry g;
    Point32 in, want;
  } cases[] = {{fitted, {3, 5}, {6, 2}},
               {fitted, {-3, -5}, {-6, -2}},
               {fitted, {200, 150}, {400, 60}},
               {real, {-3, 5}, {4, 8}}};
  for (const Case& c : cases) {
    const Point32 got = ClientToImage(c.g, c.in);
    EXPECT_EQ(got.x, c.want.x) << c.in.x << "," << c.in.y;
    EXPECT_EQ(got.y, c.want.y) << c.in.x << "," << c.in.y;
  }
}

// One step from `previous` to `to` on a 100 x 80 image; limits are taken at the press.
TEST(CropMarks, DragSteps) {
  struct Case {
    const char* what;
    HitZone zone;
    CropMargins start;
    Point32 previous, to;
    CropMargins want;
  } cases[] = {
      {"left past the preview", kZoneLeft, {0, 0, 20, 0}, {20, 9}, {-40, 9}, {0, 0, 0, 0}},
      {"left past the right line", kZoneLeft, {0, 0, 0, 30}, {0, 9}, {95, 9}, {0, 0, 70, 30}},
      {"right past the image", kZoneRight, {0, 0, 0, 10}, {90, 9}, {400, 9}, {0, 0, 0, 0}},
      {"top to the bottom line", kZoneTop, {0, 20, 0, 0}, {0, 0}, {0, 99}, {60, 20, 0, 0}},
      {"bottom upwards", kZoneBottom, {10, 0, 0, 0}, {0, 80}, {0, -5}, {10, 70, 0, 0}},
      {"bottom-right corner to the top-left",
       kZoneBottomRight,
       {5, 0, 10, 0},
       {100, 80},
       {-50, -50},
       {5, 74, 10, 89}},
      {"top-left corner with the right margin taking the width",
       kZoneTopLeft,
       {0, 0, 0, 100},
       {0, 0},
       {50, 50},
       {50, 0, 0, 100}},
      {"top-right corner past the image", kZoneTopRight, {5, 0, 0, 5}, {95, 5}, {150, -9},
       {0, 0, 0, 0}},
      {"inside pushed past the right and top edges",
       kZoneInside,
       {10, 10, 10, 10},
       {50, 50},
       {80, 30},
       {0, 20, 20, 0}},
      {"inside pushed past the left and bottom edges",
       kZoneInside,
       {10, 10, 10, 10},
       {50, 50},
       {-80, 300},
       {20, 0, 0, 20}},
  };
  for (const Case& c : cases) {
    CropMargins m = c.start;
    const DragLimits limits = LimitsFor(c.zone, m, 100, 80);
    DragStep(c.zone, limits, c.to, c.previous, m, 100, 80);
    EXPECT_EQ(m.top, c.want.top) << c.what;
    EXPECT_EQ(m.bottom, c.want.bottom) << c.what;
    EXPECT_EQ(m.left, c.want.left) << c.what;
    EXPECT_EQ(m.right, c.want.right) << c.what;
  }
  // The constrained point is the next step's start: after hitting the edge, moving back moves
  // the rectangle back at once.
  CropMargins m{10, 10, 10, 10};
  Point32 at = DragStep(kZoneInside, {}, {90, 50}, {50, 50}, m, 100, 80);
  DragStep(kZoneInside, {}, {55, 50}, at, m, 100, 80);
  EXPECT_EQ(m.left, 15);
  EXPECT_EQ(m.right, 5);
}

TEST(CropMarks, Scrolling) {
  struct Case {
    int request, current, thumb, want;
  } cases[] = {{kLineBack, 5, 0, 0},          {kLineForward, 95, 0, 100}, {kLineForward, 20, 0, 30},
               {kPageForward, 0, 0, 100},     {kPageBack, 100, 0, 0},
               {kThumbPosition, 10, 42, 42},  {kThumbPosition, 10, 500, 100},
               {kThumbTrack, 10, 42, 10},     {8, 10, 42, 10}};
  for (const Case& c : cases)
    EXPECT_EQ(ScrollTo(c.request, c.current, 229, c.thumb, 100), c.want) << c.request;
  EXPECT_EQ(ScrollTo(kPageForward, 0, 60, 0, 100), 60);
}

}  // namespace
