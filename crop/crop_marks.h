// Arithmetic of the Crop dialog: the margin field rules, where the crop marks lie over the
// preview, which of them the mouse is over, how a drag moves them, and scrolling. Portable: the
// dialog and the preview control only read controls, call these and write the results back.
#pragma once

#include <cstdint>

// Pixels to cut off at each edge of the picture as shown. 32-bit like the image's sides, so that
// a margin of a very wide image is kept as typed.
struct CropMargins {
  uint32_t top = 0, bottom = 0, left = 0, right = 0;
};

constexpr bool NoMargins(const CropMargins& m) {
  return m.top == 0 && m.bottom == 0 && m.left == 0 && m.right == 0;
}

// The two margins of one direction that keep `kept` of `side` pixels centred: the first takes
// half of the cut, the second the odd pixel. A kept size larger than the side (or equal to it)
// cuts nothing. Width gives {right, left}, Height gives {top, bottom}.
struct MarginSplit {
  uint32_t half, halfAndOdd;
};
MarginSplit SplitKeptSize(uint32_t side, uint32_t kept);

// A margin typed into its field, against the opposite margin of the same direction. A margin
// that would leave less than nothing is cut back to what the opposite one allows, and the kept
// size becomes 0; the field then shows the cut-back value.
struct MarginEdit {
  uint32_t margin;
  uint32_t kept;  // side - margin - opposite
  bool cutBack;   // the typed value was changed
};
MarginEdit EditMargin(uint32_t side, uint32_t typed, uint32_t opposite);

// The preview as the marks see it: image size, client size of the control (frame included),
// display mode and, at real size, the scroll positions of the visible bars.
struct PreviewGeometry {
  uint32_t imageWidth = 0, imageHeight = 0;
  int clientWidth = 0, clientHeight = 0;
  bool realSize = false;
  int hpos = 0, vpos = 0;
};

// The fitted image fills the interior inside the one-pixel frame; an image that already fits
// there is shown at real size and never fitted.
constexpr int kFrame = 1;
constexpr bool FitsInterior(const PreviewGeometry& g) {
  return int64_t{g.clientWidth} - 2 * kFrame >= g.imageWidth &&
         int64_t{g.clientHeight} - 2 * kFrame >= g.imageHeight;
}

// Largest scroll position along one axis at real size: 0 when the image fits the interior.
// A bar is shown exactly when this is above 0, so the last column or row of an image one pixel
// wider than the interior can still be scrolled into view.
int ScrollRange(uint32_t imageSide, int clientSide);

// Client positions of the four crop lines, 16-bit: a line scrolled off to the left or top wraps
// to a large value and is neither drawn nor hit. At real size each line lies on the outermost
// removed column or row (the image starts one pixel in); fitted, the margins are scaled to the
// client size.
struct MarkPositions {
  uint16_t left = 0, right = 0, top = 0, bottom = 0;
};
MarkPositions PlaceMarks(const PreviewGeometry& g, const CropMargins& m);

// The rectangles whose pixels are inverted to draw the marks, in drawing order: the four lines
// that are on the client, then the four 10 x 10 handles. Extents may be zero or negative (kept
// size 0, fitted rounding) and are passed to the device as they are; overlapping inversions
// cancel, which keeps drawing twice an exact erase. Lines and handles start at the signed value
// of a wrapped position, so they stay visible up to the edge when their start is scrolled off.
struct MarkRect {
  int x, y, width, height;
};
struct MarkRects {
  MarkRect rects[8];
  int count = 0;
};
MarkRects MarkRectsFor(const MarkPositions& p, int clientWidth, int clientHeight);

// What the mouse at client (x, y) is over: 0 nothing, 1 top line, 2 bottom, 3 left, 4 right,
// 5 inside the marks, 6 top-left corner, 7 top-right, 8 bottom-left, 9 bottom-right. A line is
// hit up to 10 pixels away, a corner needs less than 10 both ways; ties go left, right, top,
// bottom.
enum HitZone : uint16_t {
  kZoneNone = 0,
  kZoneTop = 1,
  kZoneBottom = 2,
  kZoneLeft = 3,
  kZoneRight = 4,
  kZoneInside = 5,
  kZoneTopLeft = 6,
  kZoneTopRight = 7,
  kZoneBottomLeft = 8,
  kZoneBottomRight = 9,
};
HitZone HitTest(const MarkPositions& p, int x, int y);

struct Point32 {
  int32_t x = 0, y = 0;
};

// A client position in image pixels: shifted by the scroll positions at real size, scaled by
// image / client size when fitted (rounding towards zero, so points left of or above the
// preview stay negative).
Point32 ClientToImage(const PreviewGeometry& g, Point32 client);

// The range an edge drag may move its line in, in image pixels: up to the opposite line.
struct DragLimits {
  int64_t low = 0, high = 0;
};
DragLimits LimitsFor(HitZone zone, const CropMargins& m, uint32_t width, uint32_t height);

// One step of a drag to image point `point` from `previous`: constrains the point, moves the
// margins of `zone` and returns the constrained point, which is the next step's previous point.
// The inside moves all four margins together without crossing the image's edges; an edge stays
// within its limits (the kept size may reach 0); a corner keeps at least one pixel each way
// unless the opposite margin already takes the whole side, where the moved margin stops at 0.
Point32 DragStep(HitZone zone, const DragLimits& limits, Point32 point, Point32 previous,
                 CropMargins& m, uint32_t width, uint32_t height);

// The kept width and height the fields show for margins `m`, 0 when the margins leave nothing.
uint32_t KeptSize(uint32_t side, uint32_t low, uint32_t high);

// A scroll bar request; the values are those of the system's scroll codes.
enum ScrollRequest : int {
  kLineBack = 0,
  kLineForward = 1,
  kPageBack = 2,
  kPageForward = 3,
  kThumbPosition = 4,
  kThumbTrack = 5,
};
constexpr int kScrollLine = 10;

// The bar position after `request` from `current`, clamped to 0 … `range`; `page` is the
// client size along the bar, `thumb` the position a thumb message carries. Tracking the thumb
// and unknown requests leave the position.
int ScrollTo(int request, int current, int page, int thumb, int range);
