// The seventeen stock shapes: each file is found, parsed and rendered, and checked for the
// properties that tell its drawing from a wrong one.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <numbers>
#include <string>

#include "mask/metafile.h"
#include "mask/shapes.h"
#include "resources/text_ids.h"

namespace {

// Shape `id` read from its file and rendered at width × height; painted(x, y) counts y from the
// top.
struct Mask {
  uint32_t w, h;
  size_t stride;
  std::vector<uint8_t> raster;  // the 8-bit raster as rendered, bottom row first
  WmfDrawing d;
  Mask(unsigned id, uint32_t width, uint32_t height)
      : w(width), h(height), stride((width + 3) / 4 * 4), raster(stride * height) {
    const std::string path = std::string(IMAGE_SHAPE_FOLDER) + "/" + ShapeFileName(id);
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    std::string error;
    EXPECT_TRUE(ParseMetafile(bytes.data(), bytes.size(), d, error)) << path << ": " << error;
    EXPECT_TRUE(RenderMetafile(d, MaskRaster{raster.data(), stride, w, h, 8}));
  }
  bool painted(uint32_t x, uint32_t y) const { return raster[(h - 1 - y) * stride + x] == 0; }
  // Painted pixels of row (or column) i.
  uint32_t Count(uint32_t i, bool column = false) const {
    uint32_t n = 0;
    for (uint32_t k = 0; k < (column ? h : w); ++k) n += column ? painted(i, k) : painted(k, i);
    return n;
  }
  // First and last painted column in rows `from` to `to` (w, 0 when none).
  std::pair<uint32_t, uint32_t> Extent(uint32_t from, uint32_t to) const {
    uint32_t first = w, last = 0;
    for (uint32_t y = from; y <= to; ++y)
      for (uint32_t x = 0; x < w; ++x)
        if (painted(x, y)) first = std::min(first, x), last = std::max(last, x);
    return {first, last};
  }
};

// An arrow: a point (a few pixels) on the named side, a broad shaft end on the opposite side.
std::function<void(const Mask&)> Arrow(bool vertical, bool tipFirst) {
  return [=](const Mask& m) {
    const uint32_t first = m.Count(0, !vertical), last = m.Count(m.w - 1, !vertical);
    const uint32_t tip = tipFirst ? first : last, tail = tipFirst ? last : first;
    EXPECT_TRUE(tip > 0 && tip <= 6 && tail >= 60 && tail <= 120) << tip << ", " << tail;
  };
}

TEST(MaskShapes, EachHasTheLookOfItsName) {
  const struct {
    unsigned id;
    uint32_t width, height;
    std::function<void(const Mask&)> check;
  } cases[] = {
      {IDS_SHAPE_CIRCLE, 200, 100,
       [](const Mask& m) {  // on a wide image: all edges, no corner, symmetric
         EXPECT_TRUE(m.Count(0) && m.Count(99) && m.Count(0, true) && m.Count(199, true));
         EXPECT_FALSE(m.painted(0, 0) || m.painted(199, 0) || m.painted(0, 99) ||
                      m.painted(199, 99));
         EXPECT_EQ(m.Count(50), 200u);
         for (uint32_t y = 0; y < 100; ++y)
           for (uint32_t x = 0; x < 200; ++x)
             ASSERT_TRUE(m.painted(x, y) == m.painted(199 - x, y) &&
                         m.painted(x, y) == m.painted(x, 99 - y))
                 << x << "," << y;
       }},
      {IDS_SHAPE_STAR, 256, 256,
       [](const Mask& m) {  // five points, one on top
         // Round a circle through the arms (logical radius 1500 about the logical origin, the
         // star's centre), counting the painted runs.
         auto at = [&](double degrees) {
           const double radians = degrees * std::numbers::pi / 180;
           const WmfWindow& win = m.d.window;
           return m.painted(
               static_cast<uint32_t>((1500 * std::cos(radians) - win.orgX) * 256 / win.extX),
               static_cast<uint32_t>((1500 * std::sin(radians) - win.orgY) * 256 / win.extY));
         };
         int runs = 0;
         for (int i = 0; i < 720; ++i) runs += at(i / 2.0) && !at((i - 1) / 2.0);
         EXPECT_EQ(runs, 5);
         EXPECT_TRUE(at(90) && !at(270));
       }},
      {IDS_SHAPE_CHECKERS, 256, 256,
       [](const Mask& m) {  // 32 whole squares, the top-left one filled
         int filled = 0;
         for (uint32_t row = 0; row < 8; ++row)
           for (uint32_t col = 0; col < 8; ++col) {
             const bool p = m.painted(col * 32 + 16, row * 32 + 16);
             EXPECT_EQ(p, (row + col) % 2 == 0) << row << "," << col;
             const uint32_t x = col * 32, y = row * 32;
             EXPECT_TRUE(m.painted(x, y) == p && m.painted(x + 31, y + 31) == p)
                 << "square " << row << "," << col;
             filled += p;
           }
         EXPECT_EQ(filled, 32);
       }},
      {IDS_SHAPE_UP_ARROW, 200, 200, Arrow(true, true)},
      {IDS_SHAPE_DOWN_ARROW, 200, 200, Arrow(true, false)},
      {IDS_SHAPE_LEFT_ARROW, 200, 200, Arrow(false, true)},
      {IDS_SHAPE_RIGHT_ARROW, 200, 200, Arrow(false, false)},
      {IDS_SHAPE_TRIANGLE, 201, 150,
       [](const Mask& m) {  // apex at the top centre, base along the bottom
         const auto [first, last] = m.Extent(0, 0);
         EXPECT_LE(last - first, 3u);
         EXPECT_NEAR((first + last) / 2.0, 100.0, 1.0);
         EXPECT_EQ(m.Count(149), 201u);
       }},
      {IDS_SHAPE_MOON, 256, 256,
       [](const Mask& m) {  // convex to the right
         const auto [leftmost, rightmost] = m.Extent(0, 255);
         const auto [first, last] = m.Extent(128, 128);
         EXPECT_EQ(last, rightmost);                            // the bulge is the rightmost point
         EXPECT_GT(first, leftmost + 256 / 4);                  // the horns reach further left
         EXPECT_EQ(m.Count(128), last - first + 1);             // one solid piece across the middle
         EXPECT_FALSE(m.painted((leftmost + first) / 2, 128));  // hollow on the left
       }},
      {IDS_SHAPE_PROFILE, 256, 256,
       [](const Mask& m) {  // facing left, over a neck and shoulders
         const auto [faceLeft, headRight] = m.Extent(0, 256 * 45 / 100 - 1);
         EXPECT_LT(faceLeft, 256u * 20 / 100);   // the face reaches the left side
         EXPECT_LT(headRight, 256u * 85 / 100);  // the back of the head stays clear of the right
         const auto [neckFirst, neckLast] = m.Extent(256 * 60 / 100, 256 * 60 / 100);
         EXPECT_LT(neckLast - neckFirst, 256u / 2);  // a neck narrower than the shoulders
         EXPECT_GT(m.Count(255), 256u * 90 / 100);   // shoulders across the bottom
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(TextById(c.id));
    c.check(Mask(c.id, c.width, c.height));
  }
}

// Every shape at 256 × 256, as on the contact sheet (tools/mask_sheet.cpp): the common structure
// (window with y growing upward, black alternate fills), a drawing that reaches all four sides up
// to a narrow border, and its name found in capitals; a name that is no shape's and an id past the
// last are neither.
TEST(MaskShapes, EveryShapeFillsItsFrame) {
  constexpr uint32_t kTile = 256;
  for (unsigned k = 0; k < kShapeCount; ++k) {
    const unsigned id = kFirstShapeId + k;
    SCOPED_TRACE(TextById(id));
    const Mask m(id, kTile, kTile);
    EXPECT_GT(m.d.window.extX, 0);
    EXPECT_LT(m.d.window.extY, 0);
    EXPECT_FALSE(m.d.fills.empty());
    for (const WmfFill& f : m.d.fills) {
      EXPECT_TRUE(f.paint && !f.winding);
      for (uint32_t n : f.counts) EXPECT_LE(n, 1221u);
    }
    uint32_t painted = 0, left = kTile, right = 0, top = kTile, bottom = 0;
    for (uint32_t y = 0; y < kTile; ++y)
      for (uint32_t x = 0; x < kTile; ++x)
        if (m.painted(x, y))
          ++painted, left = std::min(left, x), right = std::max(right, x), top = std::min(top, y),
                     bottom = y;
    EXPECT_TRUE(painted > kTile * kTile / 5 && painted < kTile * kTile * 95 / 100) << painted;
    // A border of at most about 15 %.
    EXPECT_TRUE(left <= 40 && right >= 215 && top <= 40 && bottom >= 215)
        << left << " " << right << " " << top << " " << bottom;
    std::string name = TextById(id);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(FindShape(name), id);  // found by its name in another case
  }
  EXPECT_EQ(FindShape("Stars"), 0u);
  EXPECT_EQ(ShapeFileName(kFirstShapeId + kShapeCount), "");
}

}  // namespace
