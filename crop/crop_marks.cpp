#include "crop/crop_marks.h"

#include <algorithm>
#include <cstdlib>

namespace {

uint32_t Clamp32(int64_t v) { return static_cast<uint32_t>(std::clamp<int64_t>(v, 0, 0xFFFFFFFF)); }

}  // namespace

MarginSplit SplitKeptSize(uint32_t side, uint32_t kept) {
  const uint32_t cut = kept <= side ? side - kept : 0;
  return {cut / 2, cut - cut / 2};
}

MarginEdit EditMargin(uint32_t side, uint32_t typed, uint32_t opposite) {
  if (int64_t{typed} + opposite > side) return {opposite < side ? side - opposite : 0, 0, true};
  return {typed, side - typed - opposite, false};
}

int ScrollRange(uint32_t imageSide, int clientSide) {
  const int64_t range = int64_t{imageSide} - clientSide + 2 * kFrame;
  return static_cast<int>(std::clamp<int64_t>(range, 0, 0x7FFFFFFF));
}

MarkPositions PlaceMarks(const PreviewGeometry& g, const CropMargins& m) {
  const int64_t w = g.imageWidth, h = g.imageHeight;
  if (g.realSize)
    return {static_cast<uint16_t>(int64_t{m.left} - g.hpos),
            static_cast<uint16_t>(w - m.right - g.hpos + kFrame),
            static_cast<uint16_t>(int64_t{m.top} - g.vpos),
            static_cast<uint16_t>(h - m.bottom - g.vpos + kFrame)};
  if (w == 0 || h == 0) return {};
  // Margins never exceed the side, so these are unsigned divisions of non-negative values.
  return {static_cast<uint16_t>(int64_t{m.left} * g.clientWidth / w),
          static_cast<uint16_t>((w - m.right) * g.clientWidth / w),
          static_cast<uint16_t>(int64_t{m.top} * g.clientHeight / h),
          static_cast<uint16_t>((h - m.bottom) * g.clientHeight / h)};
}

MarkRects MarkRectsFor(const MarkPositions& p, int clientWidth, int clientHeight) {
  const int xL = static_cast<int16_t>(p.left), xR = static_cast<int16_t>(p.right);
  const int yT = static_cast<int16_t>(p.top), yB = static_cast<int16_t>(p.bottom);
  MarkRects out;
  auto add = [&out](int x, int y, int width, int height) {
    out.rects[out.count++] = {x, y, width, height};
  };
  // The unsigned tests skip lines scrolled off to the left or top (they wrap to large values)
  // and the lines that would lie on the frame's own first column or row.
  if (p.left != 0 && p.left < clientWidth) add(xL, yT, 1, yB - yT - 1);
  if (p.right != 0 && p.right < clientWidth - 1) add(xR, yT, 1, yB - yT - 1);
  if (p.top != 0 && p.top < clientHeight) add(xL, yT, xR - xL - 1, 1);
  if (p.bottom != 0 && p.bottom < clientHeight - 1) add(xL, yB, xR - xL - 1, 1);
  constexpr int kHalf = 5, kHandle = 10;
  add(xL - kHalf, yT - kHalf, kHandle, kHandle);
  add(xL - kHalf, yB - kHalf, kHandle, kHandle);
  add(xR - kHalf, yT - kHalf, kHandle, kHandle);
  add(xR - kHalf, yB - kHalf, kHandle, kHandle);
  return out;
}

HitZone HitTest(const MarkPositions& p, int x, int y) {
  const int dL = std::abs(x - p.left), dR = std::abs(x - p.right);
  const int dT = std::abs(y - p.top), dB = std::abs(y - p.bottom);
  const int nearest = std::min({dL, dR, dT, dB});
  constexpr int kReach = 10;
  if (nearest <= kReach) {
    if (dL < kReach && dT < kReach) return kZoneTopLeft;
    if (dR < kReach && dT < kReach) return kZoneTopRight;
    if (dL < kReach && dB < kReach) return kZoneBottomLeft;
    if (dR < kReach && dB < kReach) return kZoneBottomRight;
    if (nearest == dL) return kZoneLeft;
    if (nearest == dR) return kZoneRight;
    if (nearest == dT) return kZoneTop;
    return kZoneBottom;
  }
  if (p.left < x && x < p.right && p.top < y && y < p.bottom) return kZoneInside;
  return kZoneNone;
}

Point32 ClientToImage(const PreviewGeometry& g, Point32 client) {
  if (g.realSize) return {client.x + g.hpos, client.y + g.vpos};
  if (g.clientWidth <= 0 || g.clientHeight <= 0) return client;
  return {static_cast<int32_t>(int64_t{g.imageWidth} * client.x / g.clientWidth),
          static_cast<int32_t>(int64_t{g.imageHeight} * client.y / g.clientHeight)};
}

DragLimits LimitsFor(HitZone zone, const CropMargins& m, uint32_t width, uint32_t height) {
  const int64_t w = width, h = height;
  switch (zone) {
    case kZoneTop:
      return {0, h - m.bottom};
    case kZoneBottom:
      return {m.top, h};
    case kZoneLeft:
      return {0, w - m.right};
    case kZoneRight:
      return {m.left, w};
    default:
      return {};
  }
}

Point32 DragStep(HitZone zone, const DragLimits& limits, Point32 point, Point32 previous,
                 CropMargins& m, uint32_t width, uint32_t height) {
  const int64_t w = width, h = height;
  int64_t x = point.x, y = point.y;
  switch (zone) {
    case kZoneTop:
    case kZoneBottom:
      y = std::clamp<int64_t>(y, limits.low, limits.high);
      (zone == kZoneTop ? m.top : m.bottom) = Clamp32(zone == kZoneTop ? y : h - y);
      break;
    case kZoneLeft:
    case kZoneRight:
      x = std::clamp<int64_t>(x, limits.low, limits.high);
      (zone == kZoneLeft ? m.left : m.right) = Clamp32(zone == kZoneLeft ? x : w - x);
      break;
    case kZoneInside: {
      int64_t dx = x - previous.x, dy = y - previous.y;
      if (m.right - dx < 0) dx = m.right;
      if (m.left + dx < 0) dx = -int64_t{m.left};
      if (m.top + dy < 0) dy = -int64_t{m.top};
      if (m.bottom - dy < 0) dy = m.bottom;
      x = previous.x + dx;
      y = previous.y + dy;
      m.right = Clamp32(m.right - dx);
      m.left = Clamp32(m.left + dx);
      m.top = Clamp32(m.top + dy);
      m.bottom = Clamp32(m.bottom - dy);
      break;
    }
    case kZoneTopLeft:
    case kZoneTopRight:
    case kZoneBottomLeft:
    case kZoneBottomRight: {
      x = std::clamp<int64_t>(x, 0, w);
      y = std::clamp<int64_t>(y, 0, h);
      const bool rightSide = zone == kZoneTopRight || zone == kZoneBottomRight;
      const bool bottomSide = zone == kZoneBottomLeft || zone == kZoneBottomRight;
      // One pixel stays between the corner and the opposite line. Where the opposite margin
      // already takes the whole side there is no such pixel: the moved margin stops at 0 instead
      // of wrapping round.
      if (rightSide) {
        x = std::min(std::max<int64_t>(x, m.left + 1), w);
        m.right = Clamp32(w - x);
      } else {
        x = std::max<int64_t>(std::min<int64_t>(x, w - m.right - 1), 0);
        m.left = Clamp32(x);
      }
      if (bottomSide) {
        y = std::min(std::max<int64_t>(y, m.top + 1), h);
        m.bottom = Clamp32(h - y);
      } else {
        y = std::max<int64_t>(std::min<int64_t>(y, h - m.bottom - 1), 0);
        m.top = Clamp32(y);
      }
      break;
    }
    default:
      break;
  }
  return {static_cast<int32_t>(x), static_cast<int32_t>(y)};
}

uint32_t KeptSize(uint32_t side, uint32_t low, uint32_t high) {
  return uint64_t{low} + high < side ? side - low - high : 0;
}

int ScrollTo(int request, int current, int page, int thumb, int range) {
  int64_t p = current;
  switch (request) {
    case kLineBack:
      p -= kScrollLine;
      break;
    case kLineForward:
      p += kScrollLine;
      break;
    case kPageBack:
      p -= page;
      break;
    case kPageForward:
      p += page;
      break;
    case kThumbPosition:
      p = thumb;
      break;
    case kThumbTrack:
      return current;
    default:
      break;
  }
  return static_cast<int>(std::clamp<int64_t>(p, 0, range));
}
