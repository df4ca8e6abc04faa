#include "mask/tile_counts.h"

#include <gtest/gtest.h>

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
