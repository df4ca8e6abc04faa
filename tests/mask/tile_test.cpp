#include "mask/tile.h"

#include <gtest/gtest.h>

#include <tuple>

#include "mask/tile_counts.h"
#include "resources/text_ids.h"
#include "tests/support/result_checks.h"

namespace {

// The tiled image against the rule, y counted from the top: copy (cx, cy) shows the source,
// reversed left to right when mirroring and cx is odd, upside down when mirroring and cy is odd
// (the top row of copies is cy = 0).
void CheckTile(HostBlock source, uint32_t nx, uint32_t ny, bool mirror, const std::string& what) {
  OwnedBlock result(TIL_TileDIB(source, nx, ny, mirror));
  ASSERT_TRUE(result) << what;
  testimg::View in(source);
  const DibView& s = in.v;
  checks::ExpectResult(
      s, result.get(), s.width * nx, s.height * ny, what, [&](uint32_t x, uint32_t y) {
        const bool flipX = mirror && (x / s.width) % 2, flipY = mirror && (y / s.height) % 2;
        return testimg::GetPixel(s, flipX ? s.width - 1 - x % s.width : x % s.width,
                                 flipY ? s.height - 1 - y % s.height : y % s.height);
      });
}

class TileAtDepth : public testing::TestWithParam<unsigned> {};

// Widths 1 to 17 put copies at every bit and nibble offset, after source rows whose padding is set;
// 1 to 3 rows of copies give an upright (odd count) or flipped (even count) bottom row of copies.
// Out of memory, at the new image or the row buffer of the reversed copies, leaves nothing behind.
TEST_P(TileAtDepth, RepeatsAndReflectsTheImage) {
  const unsigned bits = GetParam();
  for (uint32_t width = 1; width <= 17; ++width) {
    OwnedBlock source(testimg::Make(bits, width, 1 + width % 3, width));
    const testimg::View v(source.get());  // padding bits set: they must not travel into a copy
    for (uint32_t k = 0; k < v.v.height; ++k)
      for (size_t b = size_t{bits} * width; b < v.v.stride * 8; ++b)
        v.v.Row(k)[b / 8] |= static_cast<uint8_t>(0x80 >> b % 8);
    for (bool mirror : {false, true})
      for (uint32_t nx = 1; nx <= 4; ++nx)
        for (uint32_t ny = 1; ny <= 3; ++ny)
          CheckTile(
              source.get(), nx, ny, mirror,
              testimg::Cat(bits, " bits, width ", width, ", ", nx, " x ", ny, " mirror ", mirror));
  }
  OwnedBlock wide(testimg::Make(bits, 157, 2, 3));
  CheckTile(wide.get(), 9, 2, true, "wide");
  checks::ExpectCleanFailures(
      wide.get(), [&] { return TIL_TileDIB(wide.get(), 3, 2, true); }, IDS_TILE_NO_MEMORY, 2);
}

INSTANTIATE_TEST_SUITE_P(Depths, TileAtDepth, testing::ValuesIn(testimg::kDepths),
                         testimg::DepthName);

// The 32766 limit on the full product: 10000 wide fits three times, not four; and counts of 0.
TEST(Tile, RefusesResultsPastTheLimit) {
  OwnedBlock wide(testimg::Make(1, 10000, 1, 1)), tall(testimg::Make(8, 1, 16384, 1));
  recorder::Reset();
  for (const auto& [block, nx, ny] : {std::tuple{wide.get(), 4u, 1u},
                                      {tall.get(), 1u, 2u} /* 32768 rows */,
                                      {tall.get(), 0u, 1u},
                                      {tall.get(), 1u, 0u}})
    EXPECT_EQ(TIL_TileDIB(block, nx, ny, true), nullptr);
  EXPECT_EQ(recorder::Messages(), (std::vector<unsigned>{IDS_TILE_TOO_LARGE, IDS_TILE_TOO_LARGE,
                                                         IDS_TILE_BAD_WIDTH, IDS_TILE_BAD_HEIGHT}));
  EXPECT_EQ(recorder::AllocationCount(), 0);
  OwnedBlock three(TIL_TileDIB(wide.get(), 3, 1, false));
  ASSERT_TRUE(three);
  EXPECT_EQ(testimg::View(three.get()).v.width, 30000u);
}

// Digits of both fields first, then the numbers, 1 to 65535 each (never cut to 16 bits).
TEST(TileCounts, AcceptsOneTo65535AndReportsTheFirstBadFieldInOrder) {
  using enum TileCountError;
  const struct {
    const char *width, *height;
    TileCountError error;
    uint32_t across, down;
  } cases[] = {{"3", "2", None, 3, 2},      {"65535", "0001", None, 65535, 1},
               {"12a", "2", Width, 0, 0},   {"", "2", Width, 0, 0},
               {" 3", "2", Width, 0, 0},    {"+3", "2", Width, 0, 0},
               {"0", "x", Height, 0, 0},    {"65536", "2", Width, 0, 0},
               {"65537", "2", Width, 0, 0}, {"99999999999999999999", "2", Width, 0, 0},
               {"2", "0", Height, 0, 0},    {"2", "-1", Height, 0, 0}};
  for (const auto& c : cases) {
    const TileCounts counts = CheckTileCounts(c.width, c.height);
    EXPECT_EQ(counts.error, c.error) << '"' << c.width << "\" \"" << c.height << '"';
    EXPECT_EQ(counts.across, c.across) << c.width;
    EXPECT_EQ(counts.down, c.down) << c.height;
  }
}

}  // namespace
