// The seventeen stock shapes: each file is found, parsed and rendered and fills its frame; the
// arrows and the checkerboard, which a turned or mirrored rendering would change, are checked for
// where they point and start. (The others' looks are left to the contact sheet,
// tools/mask_sheet.cpp.)
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
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
};

// An arrow: a point (a few pixels) on the named side, a broad shaft end on the opposite side.
std::function<void(const Mask&)> Arrow(bool vertical, bool tipFirst) {
  return [=](const Mask& m) {
    const uint32_t first = m.Count(0, !vertical), last = m.Count(m.w - 1, !vertical);
    const uint32_t tip = tipFirst ? first : last, tail = tipFirst ? last : first;
    EXPECT_TRUE(tip > 0 && tip <= 6 && tail >= 60 && tail <= 120) << tip << ", " << tail;
  };
}

TEST(MaskShapes, ArrowsAndCheckersFaceTheirWay) {
  const struct {
    unsigned id;
    uint32_t width, height;
    std::function<void(const Mask&)> check;
  } cases[] = {
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
