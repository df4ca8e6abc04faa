#include "mask/tile.h"

#include <gtest/gtest.h>

#include <cstring>

#include "resources/text_ids.h"
#include "tests/support/images.h"
#include "tests/support/recorder.h"

namespace {

using testimg::GetPixel;

// The colour table's bytes (none above 8 bits).
std::vector<uint8_t> Table(const DibView& v) {
  const auto* p = reinterpret_cast<const uint8_t*>(v.colors);
  return p ? std::vector<uint8_t>(p, p + v.colorCount * 4) : std::vector<uint8_t>{};
}

// The tiled image compared pixel by pixel with the rule, y counted from the top: copy (cx, cy)
// shows the source, reversed left to right when mirroring and cx is odd, upside down when
// mirroring and cy is odd (the top row of copies is cy = 0). Bits after the last pixel and the
// padding are zero.
void CheckTile(HostBlock source, uint32_t nx, uint32_t ny, bool mirror, const std::string& what) {
  OwnedBlock result(TIL_TileDIB(source, nx, ny, mirror));
  ASSERT_TRUE(result) << what;
  testimg::View in(source), out(result.get());
  ASSERT_NE(out.v.header, nullptr) << what << ": not a well-formed image";
  const DibView &s = in.v, &d = out.v;
  ASSERT_EQ(d.width, s.width * nx) << what;
  ASSERT_EQ(d.height, s.height * ny) << what;
  EXPECT_EQ(d.header->biClrUsed, s.header->biClrUsed) << what;
  EXPECT_EQ(Table(d), Table(s)) << what;
  for (uint32_t y = 0; y < d.height; ++y) {
    for (uint32_t x = 0; x < d.width; ++x) {
      uint32_t sx = x % s.width, sy = y % s.height;
      if (mirror && (x / s.width) % 2) sx = s.width - 1 - sx;
      if (mirror && (y / s.height) % 2) sy = s.height - 1 - sy;
      ASSERT_EQ(GetPixel(d, x, y), GetPixel(s, sx, sy)) << what << " at " << x << "," << y;
    }
    const uint8_t* row = d.RowFromTop(y);
    for (size_t bit = size_t{d.width} * d.bits; bit < d.stride * 8; ++bit)
      ASSERT_EQ((row[bit / 8] >> (7 - bit % 8)) & 1, 0) << what << ", row " << y << " bit " << bit;
  }
}

class TileAtDepth : public testing::TestWithParam<unsigned> {};

// Widths 1 to 17 put copies at every bit and nibble offset; 1 to 3 rows of copies cover the
// upright bottom row (odd counts) and the flipped one (even counts).
TEST_P(TileAtDepth, RepeatsAndReflectsTheImage) {
  const unsigned bits = GetParam();
  for (uint32_t width = 1; width <= 17; ++width) {
    OwnedBlock source(testimg::Make(bits, width, 1 + width % 3, width));
    for (bool mirror : {false, true})
      for (uint32_t nx = 1; nx <= 4; ++nx)
        for (uint32_t ny = 1; ny <= 3; ++ny)
          CheckTile(source.get(), nx, ny, mirror,
                    std::to_string(bits) + " bits, width " + std::to_string(width) + ", " +
                        std::to_string(nx) + " x " + std::to_string(ny) +
                        (mirror ? " mirrored" : ""));
  }
  OwnedBlock wide(testimg::Make(bits, 157, 2, 3));
  CheckTile(wide.get(), 5, 2, true, std::to_string(bits) + " bits, 157 wide");
}

TEST_P(TileAtDepth, OutOfMemoryLeavesNothingBehind) {
  OwnedBlock source(testimg::Make(GetParam(), 7, 3, 5));
  const auto before = testimg::Bytes(source.get());
  const int live = recorder::LiveBlocks();
  HostBlock result = nullptr;
  const int points = testimg::ForEachAllocationFailure(
      [&] { result = TIL_TileDIB(source.get(), 3, 2, true); },
      [&](int) {
        EXPECT_EQ(result, nullptr);
        EXPECT_EQ(recorder::Messages(), std::vector<unsigned>{IDS_TILE_NO_MEMORY});
        EXPECT_EQ(recorder::LiveBlocks(), live);
        EXPECT_EQ(recorder::OpenLocks(), 0);
      });
  EXPECT_EQ(points, 2);  // the new image, then the row buffer for the reversed copies
  EXPECT_NE(result, nullptr);
  HP_Free(result);
  EXPECT_EQ(testimg::Bytes(source.get()), before);
}

INSTANTIATE_TEST_SUITE_P(Depths, TileAtDepth, testing::ValuesIn(testimg::kDepths),
                         [](const auto& info) { return std::to_string(info.param) + "bit"; });

// The worked examples: 8 bits, width 5, three copies mirrored; 1 bit, width 3, five copies.
TEST(Tile, WorkedExamples) {
  OwnedBlock bytes(testimg::Make(8, 5, 1, 1));
  OwnedBlock tiled(TIL_TileDIB(bytes.get(), 3, 1, true));
  ASSERT_TRUE(tiled);
  {
    testimg::View in(bytes.get()), out(tiled.get());
    const uint8_t* s = in.v.Row(0);
    const std::vector<uint8_t> want = {s[0], s[1], s[2], s[3], s[4], s[4], s[3], s[2],
                                       s[1], s[0], s[0], s[1], s[2], s[3], s[4], 0};
    EXPECT_EQ(std::vector<uint8_t>(out.v.Row(0), out.v.Row(0) + 16), want);
  }
  OwnedBlock bits(testimg::Make(1, 3, 1, 1));
  {
    BlockLock lock(bits.get());
    DibView v;
    ASSERT_TRUE(DescribeDib(lock.get(), HP_Size(bits.get()), v));
    v.Row(0)[0] = 0xDF;  // pixels 1 1 0, then padding bits that must not travel
  }
  OwnedBlock row(TIL_TileDIB(bits.get(), 5, 1, false));
  ASSERT_TRUE(row);
  testimg::View out(row.get());
  EXPECT_EQ(out.v.width, 15u);
  EXPECT_EQ(out.v.Row(0)[0], 0xDB);  // 110 110 11
  EXPECT_EQ(out.v.Row(0)[1], 0x6C);  // 0 110 110 and the lowest bit zero
}

// The 32766 limit on the full product: 10000 wide fits three times, not four.
TEST(Tile, RefusesResultsPastTheLimit) {
  OwnedBlock wide(testimg::Make(1, 10000, 1, 1));
  recorder::Reset();
  EXPECT_EQ(TIL_TileDIB(wide.get(), 4, 1, false), nullptr);
  EXPECT_EQ(recorder::Messages(), std::vector<unsigned>{IDS_TILE_TOO_LARGE});
  EXPECT_EQ(recorder::AllocationCount(), 0);
  OwnedBlock three(TIL_TileDIB(wide.get(), 3, 1, false));
  ASSERT_TRUE(three);
  EXPECT_EQ(testimg::View(three.get()).v.width, 30000u);

  OwnedBlock tall(testimg::Make(8, 1, 16384, 1));
  recorder::Reset();
  EXPECT_EQ(TIL_TileDIB(tall.get(), 1, 2, true), nullptr);  // 32768 rows
  EXPECT_EQ(TIL_TileDIB(tall.get(), 0, 1, true), nullptr);
  EXPECT_EQ(TIL_TileDIB(tall.get(), 1, 0, true), nullptr);
  EXPECT_EQ(recorder::Messages(),
            (std::vector<unsigned>{IDS_TILE_TOO_LARGE, IDS_TILE_BAD_WIDTH, IDS_TILE_BAD_HEIGHT}));
  EXPECT_EQ(recorder::AllocationCount(), 0);
}

}  // namespace
