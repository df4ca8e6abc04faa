#include "mask/metafile.h"

#include <gtest/gtest.h>

#include "tests/support/images.h"

namespace {

// A 10 × 10 window (origin top-left, y up) with a null pen, a black brush and one polygon, built
// record by record. `change` may add records (written as {function, words...}) before the polygon.
std::vector<uint8_t> Square(std::initializer_list<std::vector<int>> change = {}) {
  std::vector<uint8_t> bytes;
  auto word = [&](int v) {
    bytes.push_back(static_cast<uint8_t>(v)), bytes.push_back(static_cast<uint8_t>(v >> 8));
  };
  auto record = [&](const std::vector<int>& r) {
    word(static_cast<int>(2 + r.size())), word(0);
    for (int v : r) word(v);
  };
  for (int v : {1, 9, 0x0300, 0, 0, 2, 0, 0, 0}) word(v);
  for (const std::vector<int>& r : {std::vector<int>{0x0103, 8},
                                    {0x020B, 10, 0},
                                    {0x020C, -10, 10},  // origin, extent (y, x)
                                    {0x02FA, 5, 0, 0, 0, 0},
                                    {0x012D, 0},
                                    {0x02FC, 0, 0, 0, 0},
                                    {0x012D, 1}})
    record(r);
  for (const std::vector<int>& r : change) record(r);
  record({0x0324, 4, 2, 8, 6, 8, 6, 2, 2, 2});  // x 2..6, y 2..8: columns 2-5, rows 2-7
  record({0x0000});
  return bytes;
}

// `file` parsed and rendered at `bits`: painted(x, y) with y from the top. Every pixel must be all
// 0 or all 1 bits, and the bits after the last pixel of each row 0.
struct Rendered {
  std::vector<uint8_t> raster;
  DibView v;
  Rendered(const std::vector<uint8_t>& file, uint32_t width, uint32_t height, unsigned bits = 8) {
    WmfDrawing d;
    std::string error;
    EXPECT_TRUE(ParseMetafile(file.data(), file.size(), d, error)) << error;
    v.stride = RowStride(bits, width), v.width = width, v.height = height, v.bits = bits;
    raster.assign(v.stride * height, 0x55);
    v.rows = raster.data();
    EXPECT_TRUE(RenderMetafile(d, MaskRaster{v.rows, v.stride, width, height, bits}));
    const uint32_t all = bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    for (uint32_t y = 0; y < height; ++y)
      for (uint32_t x = 0; x < width; ++x) {
        const uint32_t p = testimg::GetPixel(v, x, y);
        EXPECT_TRUE(p == 0 || p == all) << bits << " bits, pixel " << x << "," << y << " is " << p;
      }
    EXPECT_EQ(testimg::StrayPadding(v), "") << bits << " bits";
  }
  bool painted(uint32_t x, uint32_t y) const { return testimg::GetPixel(v, x, y) == 0; }
};

// Every fill at every depth, rendered 20 × 5: the 10 × 10 window is stretched independently on
// each axis, so the square polygon covers columns 4-11 and rows 1-3. An outline of the whole window
// run round twice fills solid with winding and cancels out with alternate; a white brush clears
// what an earlier polygon painted.
TEST(Metafile, PlaysFillsThroughTheWindowAtEveryDepth) {
  const std::vector<int> whole = {0x0324, 4, 0, 0, 10, 0, 10, 10, 0, 10};  // the window's outline
  const std::vector<int> twice = {0x0324, 8, 0, 0,  10, 0,  10, 10, 0,
                                  10,     0, 0, 10, 0,  10, 10, 0,  10};
  const struct {
    const char* what;
    std::vector<uint8_t> file;
    bool outside, inside;  // painted outside and inside the square polygon
  } cases[] = {
      {"square", Square(), false, true},
      {"alternate", Square({{0x0106, 1}, twice}), false, true},
      {"winding", Square({{0x0106, 2}, twice}), true, true},
      // After the whole window, the black brush deleted and a white one made in its freed slot 1.
      {"white brush", Square({whole, {0x01F0, 1}, {0x02FC, 0, 0xFFFF, 0xFF, 0}, {0x012D, 1}}), true,
       false},
  };
  for (const auto& c : cases)
    for (unsigned bits : testimg::kDepths) {
      const Rendered r(c.file, 20, 5, bits);
      for (uint32_t y = 0; y < 5; ++y)
        for (uint32_t x = 0; x < 20; ++x)
          EXPECT_EQ(r.painted(x, y), x >= 4 && x < 12 && y >= 1 && y < 4 ? c.inside : c.outside)
              << c.what << ", " << bits << " bits at " << x << "," << y;
    }
}

TEST(Metafile, RefusesWhatItDoesNotPlay) {
  auto patched = [](size_t at, uint8_t value) {
    std::vector<uint8_t> file = Square();
    file[at] = value;
    return file;
  };
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
      {"wrong version", patched(4, 2)},
      {"header size", patched(2, 8)},
      {"record past the end", patched(18, 0xFF)},
      {"record size 0", patched(18, 0)},
  };
  auto refused = [](const std::vector<uint8_t>& file, const std::string& what) {
    WmfDrawing d;
    std::string error;
    EXPECT_FALSE(ParseMetafile(file.data(), file.size(), d, error)) << what;
    EXPECT_FALSE(error.empty()) << what;
    EXPECT_TRUE(d.fills.empty()) << what;
  };
  for (const auto& c : cases) refused(c.file, c.what);
  // Every prefix, the one without the end record included, is refused without reading past it
  // (ASan checks the reads: each prefix is copied into a buffer of exactly its size).
  const std::vector<uint8_t> file = Square();
  for (size_t n = 0; n < file.size(); ++n)
    refused({file.begin(), file.begin() + static_cast<long>(n)},
            "prefix of " + std::to_string(n) + " bytes");
}

}  // namespace
