// The seventeen stock shapes: each file is found, parsed and rendered, and checked for the
// properties that tell its drawing from a wrong one. Also writes mask-shapes.png, a contact sheet
// of all seventeen at 256 × 256, into the working folder for a person to look at.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>

#include "mask/metafile.h"
#include "mask/shapes.h"
#include "resources/text_ids.h"

namespace {

WmfDrawing LoadShape(unsigned id) {
  const std::string path = std::string(StockShapeFolder()) + "/" + ShapeFileName(id);
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  WmfDrawing drawing;
  std::string error;
  EXPECT_TRUE(ParseMetafile(bytes.data(), bytes.size(), drawing, error)) << path << ": " << error;
  return drawing;
}

// A rendered shape, read from the top: painted(x, y).
struct Mask {
  uint32_t w, h;
  size_t stride;
  std::vector<uint8_t> raster;  // the 8-bit raster as rendered, bottom row first
  Mask(const WmfDrawing& d, uint32_t width, uint32_t height)
      : w(width), h(height), stride((width + 3) / 4 * 4), raster(stride * height) {
    EXPECT_TRUE(RenderMetafile(d, MaskRaster{raster.data(), stride, w, h, 8}));
  }
  bool painted(uint32_t x, uint32_t y) const { return raster[(h - 1 - y) * stride + x] == 0; }
  // Painted pixels of row (or column) i.
  uint32_t Count(uint32_t i, bool column = false) const {
    uint32_t n = 0;
    for (uint32_t k = 0; k < (column ? h : w); ++k) n += column ? painted(i, k) : painted(k, i);
    return n;
  }
  // First and last painted column of row y (w, 0 when none).
  std::pair<uint32_t, uint32_t> RowExtent(uint32_t y) const {
    uint32_t first = w, last = 0;
    for (uint32_t x = 0; x < w; ++x)
      if (painted(x, y)) first = std::min(first, x), last = x;
    return {first, last};
  }
};

TEST(MaskShapes, NamesAndFiles) {
  EXPECT_EQ(ShapeFileName(IDS_SHAPE_DOWN_ARROW), "down_arrow.wmf");
  EXPECT_EQ(ShapeFileName(IDS_SHAPE_CHECKERS), "checkers.wmf");
  EXPECT_EQ(ShapeFileName(kFirstShapeId + kShapeCount), "");
  EXPECT_EQ(FindShape("uP aRROW"), unsigned{IDS_SHAPE_UP_ARROW});
  EXPECT_EQ(FindShape("Star"), unsigned{IDS_SHAPE_STAR});
  EXPECT_EQ(FindShape("Stars"), 0u);
}

// Every shape: the common structure (window with y growing upward, black alternate fills) and a
// drawing that reaches all four sides of a square mask up to a narrow border.
TEST(MaskShapes, EveryShapeFillsItsFrame) {
  for (unsigned id = kFirstShapeId; id < kFirstShapeId + kShapeCount; ++id) {
    const WmfDrawing d = LoadShape(id);
    SCOPED_TRACE(TextById(id));
    EXPECT_GT(d.window.extX, 0);
    EXPECT_LT(d.window.extY, 0);
    ASSERT_FALSE(d.fills.empty());
    for (const WmfFill& f : d.fills) {
      EXPECT_TRUE(f.paint);
      EXPECT_FALSE(f.winding);
      for (uint32_t n : f.counts) EXPECT_LE(n, 1221u);
    }
    const Mask m(d, 128, 128);
    uint32_t painted = 0, left = 128, right = 0, top = 128, bottom = 0;
    for (uint32_t y = 0; y < 128; ++y)
      for (uint32_t x = 0; x < 128; ++x)
        if (m.painted(x, y)) ++painted, left = std::min(left, x), right = std::max(right, x),
                             top = std::min(top, y), bottom = std::max(bottom, y);
    EXPECT_TRUE(painted > 128u * 128 / 5 && painted < 128u * 128 * 95 / 100) << painted;
    // A border of at most about 15 %.
    EXPECT_TRUE(left <= 20 && right >= 107 && top <= 20 && bottom >= 107) << left << " " << right << " " << top << " " << bottom;
  }
}

TEST(MaskShapes, CircleOnAWideImageTouchesAllEdgesSymmetrically) {
  const Mask m(LoadShape(IDS_SHAPE_CIRCLE), 200, 100);
  EXPECT_TRUE(m.Count(0) && m.Count(99) && m.Count(0, true) && m.Count(199, true));
  EXPECT_FALSE(m.painted(0, 0) || m.painted(199, 0) || m.painted(0, 99) || m.painted(199, 99));
  EXPECT_EQ(m.Count(50), 200u);
  for (uint32_t y = 0; y < 100; ++y)
    for (uint32_t x = 0; x < 200; ++x) {
      ASSERT_EQ(m.painted(x, y), m.painted(199 - x, y)) << x << "," << y;
      ASSERT_EQ(m.painted(x, y), m.painted(x, 99 - y)) << x << "," << y;
    }
}

TEST(MaskShapes, StarHasFivePointsOneOnTop) {
  const WmfDrawing d = LoadShape(IDS_SHAPE_STAR);
  const Mask m(d, 256, 256);
  // Walk round a circle through the arms (logical radius 1500 of 2000) about the logical origin,
  // the star's centre, and count the painted runs.
  auto at = [&](double degrees) {
    const double radians = degrees * std::numbers::pi / 180;
    const double lx = 1500 * std::cos(radians), ly = 1500 * std::sin(radians);
    const double x = (lx - d.window.orgX) * 256 / d.window.extX, y = (ly - d.window.orgY) * 256 / d.window.extY;
    return m.painted(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
  };
  int runs = 0;
  for (int i = 0; i < 720; ++i) runs += at(i / 2.0) && !at((i - 1) / 2.0);
  EXPECT_EQ(runs, 5);
  EXPECT_TRUE(at(90));
  EXPECT_FALSE(at(270));
}

TEST(MaskShapes, CheckersHas32SquaresTopLeftFilled) {
  const Mask m(LoadShape(IDS_SHAPE_CHECKERS), 256, 256);
  int filled = 0;
  for (uint32_t row = 0; row < 8; ++row)
    for (uint32_t col = 0; col < 8; ++col) {
      const bool p = m.painted(col * 32 + 16, row * 32 + 16);
      EXPECT_EQ(p, (row + col) % 2 == 0) << row << "," << col;
      filled += p;
      // Whole squares: the corners of each cell agree with its centre.
      EXPECT_TRUE(m.painted(col * 32, row * 32) == p && m.painted(col * 32 + 31, row * 32 + 31) == p) << row << "," << col;
    }
  EXPECT_EQ(filled, 32);
}

// Each arrow: a point (a few pixels) on the named side, a broad shaft end on the opposite side.
TEST(MaskShapes, ArrowsPointTheNamedWay) {
  const struct {
    unsigned id;
    bool vertical, tipFirst;  // the tip in the first or last row (else column); at row / column 0
  } cases[] = {{IDS_SHAPE_UP_ARROW, true, true}, {IDS_SHAPE_DOWN_ARROW, true, false},
               {IDS_SHAPE_LEFT_ARROW, false, true}, {IDS_SHAPE_RIGHT_ARROW, false, false}};
  for (const auto& c : cases) {
    const Mask m(LoadShape(c.id), 200, 200);
    const uint32_t tip = m.Count(c.tipFirst ? 0 : 199, !c.vertical), tail = m.Count(c.tipFirst ? 199 : 0, !c.vertical);
    EXPECT_TRUE(tip > 0 && tip <= 6 && tail >= 60 && tail <= 120) << TextById(c.id) << ": " << tip << ", " << tail;
  }
}

TEST(MaskShapes, TriangleApexAtTopCentreBaseAlongTheBottom) {
  const Mask m(LoadShape(IDS_SHAPE_TRIANGLE), 201, 150);
  const auto [first, last] = m.RowExtent(0);
  EXPECT_LE(last - first, 3u);
  EXPECT_NEAR((first + last) / 2.0, 100.0, 1.0);
  EXPECT_EQ(m.Count(149), 201u);
}

TEST(MaskShapes, MoonIsConvexToTheRight) {
  const Mask m(LoadShape(IDS_SHAPE_MOON), 256, 256);
  uint32_t leftmost = 256, rightmost = 0;
  for (uint32_t y = 0; y < 256; ++y) {
    const auto [first, last] = m.RowExtent(y);
    if (first <= last) leftmost = std::min(leftmost, first), rightmost = std::max(rightmost, last);
  }
  const auto [middleFirst, middleLast] = m.RowExtent(128);
  EXPECT_EQ(middleLast, rightmost);                // the bulge is the rightmost point
  EXPECT_GT(middleFirst, leftmost + 256 / 4);       // the horns reach further left than the middle
  EXPECT_EQ(m.Count(128), middleLast - middleFirst + 1);  // one solid piece across the middle
  EXPECT_FALSE(m.painted((leftmost + middleFirst) / 2, 128));  // hollow on the left
}

TEST(MaskShapes, ProfileFacesLeftOverNeckAndShoulders) {
  const Mask m(LoadShape(IDS_SHAPE_PROFILE), 256, 256);
  uint32_t faceLeft = 256, headRight = 0;
  for (uint32_t y = 0; y < 256 * 45 / 100; ++y) {  // the head
    const auto [first, last] = m.RowExtent(y);
    faceLeft = std::min(faceLeft, first), headRight = std::max(headRight, last);
  }
  EXPECT_LT(faceLeft, 256u * 20 / 100);    // the face reaches the left side
  EXPECT_LT(headRight, 256u * 85 / 100);   // the back of the head stays clear of the right side
  const auto [neckFirst, neckLast] = m.RowExtent(256 * 60 / 100);
  EXPECT_LT(neckLast - neckFirst, 256u / 2);  // a neck narrower than the shoulders
  EXPECT_GT(m.Count(255), 256u * 90 / 100);  // shoulders across the bottom
}

// --- The contact sheet ---------------------------------------------------------------------------

// An 8-bit grey PNG (rows from the top) with stored, uncompressed deflate blocks.
bool WritePng(const std::string& path, uint32_t w, uint32_t h, const std::vector<uint8_t>& grey) {
  auto be32 = [](std::vector<uint8_t>& v, uint32_t x) {
    for (int s = 24; s >= 0; s -= 8) v.push_back(static_cast<uint8_t>(x >> s));
  };
  std::vector<uint8_t> raw, z = {0x78, 0x01}, png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, ihdr;
  for (uint32_t y = 0; y < h; ++y) raw.push_back(0), raw.insert(raw.end(), &grey[size_t{y} * w], &grey[size_t{y} * w] + w);
  uint32_t a = 1, b = 0;
  for (uint8_t c : raw) a = (a + c) % 65521, b = (b + a) % 65521;
  for (size_t i = 0; i < raw.size(); i += 65535) {
    const size_t n = std::min<size_t>(65535, raw.size() - i);
    z.insert(z.end(), {uint8_t(i + n == raw.size()), uint8_t(n), uint8_t(n >> 8), uint8_t(~n), uint8_t(~n >> 8)});
    z.insert(z.end(), raw.begin() + i, raw.begin() + i + n);
  }
  be32(z, b << 16 | a);
  auto chunk = [&](const char* type, const std::vector<uint8_t>& data) {
    be32(png, static_cast<uint32_t>(data.size()));
    const size_t from = png.size();
    png.insert(png.end(), type, type + 4), png.insert(png.end(), data.begin(), data.end());
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = from; i < png.size(); ++i) {
      crc ^= png[i];
      for (int k = 0; k < 8; ++k) crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    be32(png, ~crc);
  };
  be32(ihdr, w), be32(ihdr, h), ihdr.insert(ihdr.end(), {8, 0, 0, 0, 0});
  chunk("IHDR", ihdr), chunk("IDAT", z), chunk("IEND", {});
  std::ofstream out(path, std::ios::binary);
  return static_cast<bool>(out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size())));
}

// 5 × 7 capitals for the labels: bit 34 − p is pixel p, row by row from the top left; 0 = no glyph.
uint64_t Glyph(char c) {
  static const char letters[] = "ABCDEFGHIKLMNOPRSTUVWY";
  static const uint64_t font[] = {0x3A31FC631, 0x7A31F463E, 0x3A308422E, 0x7A318C63E, 0x7E10F421F, 0x7E10F4210,
                                  0x3A30BC62F, 0x4631FC631, 0x38842108E, 0x4654C5251, 0x42108421F, 0x4775AC631,
                                  0x47359C631, 0x3A318C62E, 0x7A31F4210, 0x7A31F5251, 0x3E107043E, 0x7C8421084,
                                  0x46318C62E, 0x46318C544, 0x4631AD6AA, 0x462A21084};
  const char* at = c ? std::strchr(letters, c) : nullptr;
  return at ? font[at - letters] : 0;
}

TEST(MaskShapes, WritesAContactSheet) {
  constexpr uint32_t kTile = 256, kGap = 8, kLabel = 22, kColumns = 6, kRows = 3;
  constexpr uint32_t kWidth = kColumns * (kTile + kGap) + kGap, kHeight = kRows * (kTile + kLabel + kGap) + kGap;
  std::vector<uint8_t> sheet(size_t{kWidth} * kHeight, 160);
  for (unsigned k = 0; k < kShapeCount; ++k) {
    const unsigned id = kFirstShapeId + k;
    const Mask m(LoadShape(id), kTile, kTile);
    const uint32_t ox = kGap + k % kColumns * (kTile + kGap), oy = kGap + k / kColumns * (kTile + kLabel + kGap);
    for (uint32_t y = 0; y < kTile + kLabel; ++y)
      for (uint32_t x = 0; x < kTile; ++x)
        sheet[(oy + y) * kWidth + ox + x] = y < kTile && m.painted(x, y) ? 0 : 255;
    const std::string name = TextById(id);
    for (size_t i = 0; i < name.size(); ++i) {
      const uint64_t g = Glyph(static_cast<char>(std::toupper(static_cast<unsigned char>(name[i]))));
      for (uint32_t p = 0; p < 35; ++p)
        if (g >> (34 - p) & 1)
          for (uint32_t dy = 0; dy < 2; ++dy)
            for (uint32_t dx = 0; dx < 2; ++dx)
              sheet[(oy + kTile + 4 + p / 5 * 2 + dy) * kWidth + ox + 4 + i * 12 + p % 5 * 2 + dx] = 0;
    }
  }
  ASSERT_TRUE(WritePng("mask-shapes.png", kWidth, kHeight, sheet));
  std::printf("contact sheet of the mask shapes: mask-shapes.png in the test's working folder\n");
}

}  // namespace
