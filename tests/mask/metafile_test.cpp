#include "mask/metafile.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// A metafile built record by record: header, the records given, end record.
struct Wmf {
  std::vector<uint8_t> bytes;
  void Word(int v) {
    bytes.push_back(static_cast<uint8_t>(v));
    bytes.push_back(static_cast<uint8_t>(v >> 8));
  }
  void Record(int function, std::initializer_list<int> words) {
    Word(static_cast<int>(3 + words.size()));
    Word(0);
    Word(function);
    for (int w : words) Word(w);
  }
};

// A 10 × 10 window (origin top-left, y up) with a null pen, a black brush and one polygon.
// `change` may add or replace records before the polygon.
std::vector<uint8_t> Square(const std::function<void(Wmf&)>& change = {}) {
  Wmf w;
  for (int v : {1, 9, 0x0300, 0, 0, 2, 0, 0, 0}) w.Word(v);
  w.Record(0x0103, {8});
  w.Record(0x020B, {10, 0});    // origin y, x
  w.Record(0x020C, {-10, 10});  // extent y, x
  w.Record(0x02FA, {5, 0, 0, 0, 0});
  w.Record(0x012D, {0});
  w.Record(0x02FC, {0, 0, 0, 0});
  w.Record(0x012D, {1});
  if (change) change(w);
  w.Record(0x0324, {4, 2, 8, 6, 8, 6, 2, 2, 2});  // x 2..6, y 2..8: columns 2-5, rows 2-7
  w.Record(0x0000, {});
  return w.bytes;
}

std::vector<uint8_t> Render(const WmfDrawing& d, uint32_t width, uint32_t height) {
  const size_t stride = (width + 3) / 4 * 4;
  std::vector<uint8_t> raster(stride * height, 0x55);
  EXPECT_TRUE(RenderMetafile(d, MaskRaster{raster.data(), stride, width, height, 8}));
  std::vector<uint8_t> top(width * height);  // 1 = painted, rows from the top
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) top[y * width + x] = raster[(height - 1 - y) * stride + x] == 0;
  return top;
}

TEST(Metafile, PlaysThePolygonThroughTheWindow) {
  WmfDrawing d;
  std::string error;
  const std::vector<uint8_t> file = Square();
  ASSERT_TRUE(ParseMetafile(file.data(), file.size(), d, error)) << error;
  // The window is stretched independently on each axis: 20 × 5 pixels for a 10 × 10 window.
  const std::vector<uint8_t> r = Render(d, 20, 5);
  for (uint32_t y = 0; y < 5; ++y)
    for (uint32_t x = 0; x < 20; ++x) {
      const bool inside = x >= 4 && x < 12 && y >= 1 && y < 4;  // x 4..12, y 1..4 in pixels
      EXPECT_EQ(r[y * 20 + x], inside) << x << "," << y;
    }
}

// Every depth gets painted pixels all 0, others all 1, padding 0.
TEST(Metafile, WritesTheRasterInEveryDepth) {
  WmfDrawing d;
  std::string error;
  const std::vector<uint8_t> file = Square();
  ASSERT_TRUE(ParseMetafile(file.data(), file.size(), d, error));
  for (uint32_t bits : {1u, 4u, 8u, 24u, 32u}) {
    const size_t stride = (bits * 10 + 31) / 32 * 4;
    std::vector<uint8_t> raster(stride * 10, 0x55);
    ASSERT_TRUE(RenderMetafile(d, MaskRaster{raster.data(), stride, 10, 10, bits}));
    const uint8_t* row = raster.data() + 4 * stride;  // row 5 from the top
    for (uint32_t x = 0; x < 10; ++x) {
      const bool painted = x >= 2 && x < 6;
      const uint64_t bit = uint64_t{x} * bits;
      const unsigned value = bits < 8 ? (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1) : row[bit / 8];
      EXPECT_EQ(value, painted ? 0u : (bits < 8 ? (1u << bits) - 1 : 0xFFu)) << bits << " bits, x " << x;
    }
    for (size_t i = (bits * 10 + 7) / 8; i < stride; ++i) EXPECT_EQ(row[i], 0) << bits << " bits padding";
  }
}

TEST(Metafile, RefusesWhatItDoesNotPlay) {
  struct Case {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> spoil;
  } cases[] = {
      {"empty", [](std::vector<uint8_t>& f) { f.clear(); }},
      {"wrong version", [](std::vector<uint8_t>& f) { f[4] = 0x02; }},
      {"header size", [](std::vector<uint8_t>& f) { f[2] = 8; }},
      {"ellipse", [](std::vector<uint8_t>& f) {
         f = Square([](Wmf& w) { w.Record(0x0418, {8, 8, 2, 2}); });
       }},
      {"isotropic", [](std::vector<uint8_t>& f) { f = Square([](Wmf& w) { w.Record(0x0103, {7}); }); }},
      {"zero extent", [](std::vector<uint8_t>& f) { f = Square([](Wmf& w) { w.Record(0x020C, {0, 10}); }); }},
      {"visible pen", [](std::vector<uint8_t>& f) {
         f = Square([](Wmf& w) { w.Record(0x02FA, {0, 1, 0, 0, 0}), w.Record(0x012D, {0}); });
       }},
      {"red brush", [](std::vector<uint8_t>& f) {
         f = Square([](Wmf& w) { w.Record(0x02FC, {0, 0xFF, 0, 0}); });
       }},
      {"no such object", [](std::vector<uint8_t>& f) { f = Square([](Wmf& w) { w.Record(0x012D, {7}); }); }},
      {"too many objects", [](std::vector<uint8_t>& f) {
         f = Square([](Wmf& w) { w.Record(0x02FC, {0, 0, 0, 0}); });
       }},
      {"points past the record", [](std::vector<uint8_t>& f) {
         f = Square([](Wmf& w) { w.Record(0x0324, {9, 1, 1}); });
       }},
      {"polygons past the record", [](std::vector<uint8_t>& f) {
         f = Square([](Wmf& w) { w.Record(0x0538, {40, 3}); });
       }},
      {"record past the end", [](std::vector<uint8_t>& f) { f[18] = 0xFF; }},
      {"record size 0", [](std::vector<uint8_t>& f) { f[18] = 0; }},
      {"no end record", [](std::vector<uint8_t>& f) { f.resize(f.size() - 6); }},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> file = Square();
    c.spoil(file);
    WmfDrawing d;
    std::string error;
    EXPECT_FALSE(ParseMetafile(file.data(), file.size(), d, error)) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
    EXPECT_TRUE(d.fills.empty()) << c.what;
  }
}

// Every prefix of a valid file is refused without reading past it (ASan checks the reads: each
// prefix is copied into a buffer of exactly its size).
TEST(Metafile, RefusesEveryTruncation) {
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
  // A doubled square: the outline runs round twice, so alternate fill cancels out.
  auto twice = [](int mode) {
    Wmf w;
    for (int v : {1, 9, 0x0300, 0, 0, 2, 0, 0, 0}) w.Word(v);
    w.Record(0x020B, {4, 0});
    w.Record(0x020C, {-4, 4});
    w.Record(0x02FA, {5, 0, 0, 0, 0});
    w.Record(0x012D, {0});
    w.Record(0x02FC, {0, 0, 0, 0});
    w.Record(0x012D, {1});
    w.Record(0x0106, {mode});
    w.Record(0x0324, {8, 0, 0, 4, 0, 4, 4, 0, 4, 0, 0, 4, 0, 4, 4, 0, 4});
    w.Record(0x0000, {});
    return w.bytes;
  };
  for (int mode : {1, 2}) {
    const std::vector<uint8_t> file = twice(mode);
    WmfDrawing d;
    std::string error;
    ASSERT_TRUE(ParseMetafile(file.data(), file.size(), d, error)) << error;
    EXPECT_EQ(Render(d, 4, 4)[5], mode == 2) << "mode " << mode;
  }
  WmfDrawing d;
  std::string error;
  const std::vector<uint8_t> erased = Square([](Wmf& w) {
    w.Record(0x0324, {4, 0, 0, 10, 0, 10, 10, 0, 10});
    w.Record(0x01F0, {1});                      // delete the black brush
    w.Record(0x02FC, {0, 0xFFFF, 0xFF, 0});     // white, in the freed slot 1
    w.Record(0x012D, {1});
  });
  ASSERT_TRUE(ParseMetafile(erased.data(), erased.size(), d, error)) << error;
  const std::vector<uint8_t> r = Render(d, 10, 10);
  EXPECT_EQ(r[0], 1);           // painted by the first polygon
  EXPECT_EQ(r[5 * 10 + 3], 0);  // cleared by the white square
}

}  // namespace
