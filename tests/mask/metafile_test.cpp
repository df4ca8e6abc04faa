#include "mask/metafile.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// A 10 × 10 window (origin top-left, y up) with a null pen, a black brush and one polygon, built
// record by record. `change` may add records (written as {function, words...}) before the polygon.
std::vector<uint8_t> Square(std::initializer_list<std::vector<int>> change = {}) {
  std::vector<uint8_t> bytes;
  auto word = [&](int v) { bytes.push_back(static_cast<uint8_t>(v)), bytes.push_back(static_cast<uint8_t>(v >> 8)); };
  auto record = [&](const std::vector<int>& r) {
    word(static_cast<int>(2 + r.size())), word(0);
    for (int v : r) word(v);
  };
  for (int v : {1, 9, 0x0300, 0, 0, 2, 0, 0, 0}) word(v);
  for (const std::vector<int>& r : {std::vector<int>{0x0103, 8}, {0x020B, 10, 0}, {0x020C, -10, 10},  // origin, extent (y, x)
                                    {0x02FA, 5, 0, 0, 0, 0}, {0x012D, 0}, {0x02FC, 0, 0, 0, 0}, {0x012D, 1}})
    record(r);
  for (const std::vector<int>& r : change) record(r);
  record({0x0324, 4, 2, 8, 6, 8, 6, 2, 2, 2});  // x 2..6, y 2..8: columns 2-5, rows 2-7
  record({0x0000});
  return bytes;
}

WmfDrawing Parse(const std::vector<uint8_t>& file) {
  WmfDrawing d;
  std::string error;
  EXPECT_TRUE(ParseMetafile(file.data(), file.size(), d, error)) << error;
  return d;
}

// Painted pixels as `bits`-bit values: painted all 0, others all 1; rows from the top.
std::vector<unsigned> Render(const WmfDrawing& d, uint32_t width, uint32_t height, unsigned bits = 8) {
  const size_t stride = (bits * width + 31) / 32 * 4, used = (bits * width + 7) / 8;
  std::vector<uint8_t> raster(stride * height, 0x55);
  EXPECT_TRUE(RenderMetafile(d, MaskRaster{raster.data(), stride, width, height, bits}));
  std::vector<unsigned> top;
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = raster.data() + (height - 1 - y) * stride;
    for (uint32_t x = 0; x < width; ++x) {
      const uint64_t bit = uint64_t{x} * bits;
      const unsigned all = bits < 8 ? (1u << bits) - 1 : 0xFF, value = bits < 8 ? (row[bit / 8] >> (8 - bits - bit % 8)) & all : row[bit / 8];
      EXPECT_TRUE(value == 0 || value == all) << bits << " bits, pixel " << x << "," << y << " is " << value;
      top.push_back(value == 0);
    }
    for (size_t i = used; i < stride; ++i) EXPECT_EQ(row[i], 0) << bits << " bits padding";
  }
  return top;
}

// The window is stretched independently on each axis: 20 × 5 pixels for a 10 × 10 window; every
// depth gets the same pixels.
TEST(Metafile, PlaysThePolygonThroughTheWindowAtEveryDepth) {
  const WmfDrawing d = Parse(Square());
  for (unsigned bits : {1u, 4u, 8u, 24u, 32u}) {
    const std::vector<unsigned> r = Render(d, 20, 5, bits);
    for (uint32_t y = 0; y < 5; ++y)
      for (uint32_t x = 0; x < 20; ++x)
        EXPECT_EQ(r[y * 20 + x], x >= 4 && x < 12 && y >= 1 && y < 4) << bits << " bits at " << x << "," << y;
  }
}

TEST(Metafile, RefusesWhatItDoesNotPlay) {
  const struct {
    const char* what;
    std::vector<uint8_t> file;
  } cases[] = {
      {"empty", {}},
      {"ellipse", Square({{0x0418, 8, 8, 2, 2}})},
      {"isotropic", Square({{0x0103, 7}})},
      {"zero extent", Square({{0x020C, 0, 10}})},
      {"visible pen", Square({{0x02FA, 0, 1, 0, 0, 0}, {0x012D, 0}})},
      {"red brush", Square({{0x02FC, 0, 0xFF, 0, 0}})},
      {"no such object", Square({{0x012D, 7}})},
      {"too many objects", Square({{0x02FC, 0, 0, 0, 0}})},
      {"points past the record", Square({{0x0324, 9, 1, 1}})},
      {"polygons past the record", Square({{0x0538, 40, 3}})},
  };
  const struct {
    const char* what;
    size_t at;
    uint8_t value;
  } bytes[] = {{"wrong version", 4, 2}, {"header size", 2, 8}, {"record past the end", 18, 0xFF}, {"record size 0", 18, 0}};
  auto refused = [](const std::vector<uint8_t>& file, const char* what) {
    WmfDrawing d;
    std::string error;
    EXPECT_FALSE(ParseMetafile(file.data(), file.size(), d, error)) << what;
    EXPECT_FALSE(error.empty()) << what;
    EXPECT_TRUE(d.fills.empty()) << what;
  };
  for (const auto& c : cases) refused(c.file, c.what);
  for (const auto& c : bytes) {
    std::vector<uint8_t> file = Square();
    file[c.at] = c.value;
    refused(file, c.what);
  }
  // Every prefix, the one without the end record included, is refused without reading past it
  // (ASan checks the reads: each prefix is copied into a buffer of exactly its size).
  const std::vector<uint8_t> file = Square();
  for (size_t n = 0; n < file.size(); ++n) {
    const std::vector<uint8_t> prefix(file.begin(), file.begin() + static_cast<long>(n));
    WmfDrawing d;
    std::string error;
    EXPECT_FALSE(ParseMetafile(n ? prefix.data() : nullptr, n, d, error)) << n;
  }
}

// Winding fills a self-overlapping outline solid where alternate leaves a hole, and a white brush
// clears what an earlier polygon painted.
TEST(Metafile, FillRulesAndWhiteBrush) {
  // The window's outline run round twice: alternate fill cancels out.
  for (int mode : {1, 2}) {
    const WmfDrawing d = Parse(Square({{0x0106, mode}, {0x0324, 8, 0, 0, 10, 0, 10, 10, 0, 10, 0, 0, 10, 0, 10, 10, 0, 10}}));
    EXPECT_EQ(Render(d, 10, 10)[1 * 10 + 1], mode == 2u) << "mode " << mode;
  }
  const WmfDrawing d = Parse(Square({{0x0324, 4, 0, 0, 10, 0, 10, 10, 0, 10},
                                     {0x01F0, 1},                 // delete the black brush
                                     {0x02FC, 0, 0xFFFF, 0xFF, 0},  // white, in the freed slot 1
                                     {0x012D, 1}}));
  const std::vector<unsigned> r = Render(d, 10, 10);
  EXPECT_EQ(r[0], 1u);           // painted by the first polygon
  EXPECT_EQ(r[5 * 10 + 3], 0u);  // cleared by the white square
}

}  // namespace
