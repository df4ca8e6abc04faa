#include "scale/target.h"

#include <gtest/gtest.h>

namespace {

TEST(TargetFromSettings, FollowsTheStoredUnitsAndTheAspectRule) {
  // {OrigWidth, OrigHeight, CustomWidth, CustomHeight, ScaleUnits, PercentWidth, PercentHeight,
  //  KeepAspect}, then the target.
  const struct {
    ScaleTargetState in;
    uint32_t w, h;
  } cases[] = {
      {{400, 300, 0, 0, 1, 50, 50, true}, 200, 150},
      {{400, 300, 100, 100, 0, 100, 100, true},
       100,
       75},  // equal sides: the longer image side stays
      {{300, 400, 100, 100, 0, 100, 100, true}, 75, 100},
      {{400, 300, 100, 200, 0, 100, 100, true}, 267, 200},  // ceil(200 × 400 / 300)
      {{400, 300, 100, 200, 0, 100, 100, false}, 100, 200},
      {{3, 5, 0, 0, 1, 50, 100, false}, 2, 5},             // (150 + 99) div 100 = 2
      {{400, 300, 9, 9, 1, 100, 100, false}, 400, 300},    // percentages ignore the stored pixels
      {{400, 300, 640, 480, 2, 10, 10, false}, 640, 480},  // inches and cm are stored as pixels
      {{400, 300, 0, 0, 0, 100, 100, false}, 0, 0},  // a stored 0 stays 0: the scaling refuses it
      {{400, 300, 200, 0, 0, 100, 100, true}, 200, 150},  // a side of 0 follows the other
      {{400, 300, 0, 0, 1, 0, 30, true}, 120, 90},
      {{7, 3, 1, 1, 0, 100, 100, true}, 1, 1},
      {{0x7FFFFFFF, 1, 0, 0, 1, 65535, 100, false}, 0xFFFFFFFF, 1},  // capped, not wrapped
  };
  for (const auto& c : cases) {
    ScaleTargetState s = c.in;
    SCL_TargetFromSettings(s);
    EXPECT_EQ(s.CustomWidth, c.w) << c.in.OrigWidth << "x" << c.in.OrigHeight << " units "
                                  << c.in.ScaleUnits;
    EXPECT_EQ(s.CustomHeight, c.h)
        << c.in.OrigWidth << "x" << c.in.OrigHeight << " units " << c.in.ScaleUnits;
  }
}

// The smallest n with n × 100 div base ≥ percent, found by counting up.
TEST(PixelsFromPercent, IsTheSmallestSizeThatReachesThePercentage) {
  for (uint32_t base = 1; base <= 300; base += 7)
    for (uint32_t percent = 1; percent <= 1000; percent += 13) {
      uint32_t n = 0;
      while (uint64_t{n} * 100 / base < percent) ++n;
      ASSERT_EQ(SCL_PixelsFromPercent(base, percent), n) << base << " at " << percent << "%";
    }
}

}  // namespace
