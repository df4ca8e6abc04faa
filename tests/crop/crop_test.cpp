#include "crop/crop.h"

#include <gtest/gtest.h>

#include "crop/crop_marks.h"
#include "resources/text_ids.h"
#include "tests/support/result_checks.h"

namespace {

struct Margins {
  uint32_t left, right, top, bottom;
};

// The crop against the rule, y counted from the top: result(x, y) = source(left + x, top + y).
void CheckCrop(HostBlock source, const Margins& m, const std::string& what) {
  OwnedBlock result(CRP_CropDIB(source, m.left, m.right, m.top, m.bottom));
  ASSERT_TRUE(result) << what;
  testimg::View in(source);
  checks::ExpectResult(
      in.v, result.get(), in.v.width - m.left - m.right, in.v.height - m.top - m.bottom, what,
      [&](uint32_t x, uint32_t y) { return testimg::GetPixel(in.v, m.left + x, m.top + y); });
}

class CropAtDepth : public testing::TestWithParam<unsigned> {};

// Kept widths 1 to 17 from every offset inside a byte, on random images, and rows long enough for
// the sixteen-byte loop at every offset; one pixel kept. Margins that leave no pixel are refused
// before anything is allocated. Out of memory leaves nothing behind.
TEST_P(CropAtDepth, KeepsExactlyTheRectangleAndRefusesEmptyOnes) {
  const unsigned bits = GetParam();
  for (uint32_t width = 1; width <= 17; ++width)
    for (uint32_t left = 0; left < 8 && left < width; ++left) {
      OwnedBlock source(testimg::Make(bits, width, 5, width * 8 + left));
      for (uint32_t right : {0u, (width - left - 1) % 3})
        CheckCrop(source.get(), {left, right, width % 3, (left + 1) % 2},
                  testimg::Cat(bits, " bits, width ", width, ", left ", left, ", right ", right));
    }
  OwnedBlock wide(testimg::Make(bits, 301, 3, 99));
  for (uint32_t left : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 9u, 64u})
    CheckCrop(wide.get(), {left, 11, 1, 0}, testimg::Cat(bits, " bits, wide, left ", left));

  OwnedBlock source(testimg::Make(bits, 9, 6, 3));
  CheckCrop(source.get(), {4, 4, 2, 3}, "one pixel left");
  for (const Margins& m :
       {Margins{4, 5, 0, 0}, {9, 0, 0, 0}, {0, 0, 3, 3}, {0, 0, 0, 60000}, {0xFFFFFFFF, 1, 0, 0}}) {
    recorder::Reset();
    EXPECT_EQ(CRP_CropDIB(source.get(), m.left, m.right, m.top, m.bottom), nullptr);
    EXPECT_EQ(recorder::Messages(), std::vector<unsigned>{IDS_CROP_EMPTY_RESULT});
    EXPECT_EQ(recorder::AllocationCount(), 0);
  }
  checks::ExpectCleanFailures(
      source.get(), [&] { return CRP_CropDIB(source.get(), 3, 1, 1, 0); }, IDS_CROP_NO_MEMORY, 1);
}

INSTANTIATE_TEST_SUITE_P(Depths, CropAtDepth, testing::ValuesIn(testimg::kDepths),
                         testimg::DepthName);

// The Crop dialog's rules where the dialog tests under Wine cannot reach easily: values past 16
// bits, marks scrolled off, fitted mapping left of the preview, ties, and drags that would wrap.
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
  // A side over 65535: margins and sizes keep all their bits, typed or dragged.
  const MarginEdit wide = EditMargin(100000, 70000, 1);
  EXPECT_EQ(Four(wide.margin, wide.kept, wide.cutBack, 0), "70000,29999,0,0");
  EXPECT_EQ(EditMargin(100000, 99999, 70000).margin, 30000u);
  EXPECT_EQ(KeptSize(100000, 70000, 1), 29999u);
  CropMargins m{0, 0, 0, 70000};
  DragStep(kZoneLeft, LimitsFor(kZoneLeft, m, 100000, 2), {80000, 0}, {0, 0}, m, 100000, 2);
  EXPECT_EQ(Text(m), "0,0,30000,70000");
  DragStep(kZoneBottomRight, {}, {69999, 2}, {0, 0}, m, 100000, 2);
  EXPECT_EQ(Text(m), "0,0,30000,30001");
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
  // From 50 with a page (the client size) of 60 and the thumb at 9, within 0 to 90: a line is 10
  // pixels, and the thumb moves the view when it is let go, not while it is dragged.
  const int wants[] = {40, 60, 0, 90, 9, 50};  // by request
  for (int request = kLineBack; request <= kThumbTrack; ++request)
    EXPECT_EQ(ScrollTo(request, 50, 60, 9, 90), wants[request]) << request;
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
      {"top-left, no width", kZoneTopLeft, {0, 0, 0, 100}, {0, 0}, {50, 50}, {50, 0, 0, 100}},
      {"top-right past the image", kZoneTopRight, {5, 0, 0, 5}, {95, 5}, {150, -9}, {0, 0, 0, 0}},
      {"inside past edges", kZoneInside, {10, 10, 10, 10}, {50, 50}, {-80, 300}, {20, 0, 0, 20}},
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
