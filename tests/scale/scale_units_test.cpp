#include "scale/scale_units.h"

#include <gtest/gtest.h>

#include "scale/target.h"

namespace {

constexpr uint16_t kPx = kScaleUnitsPixels, kPct = kScaleUnitsPercentage, kIn = kScaleUnitsInches,
                   kCm = kScaleUnitsCentimeters;

TEST(ScaleUnits, TypedSideBecomesPixels) {
  const struct {
    const char* text;
    uint16_t units;
    uint32_t orig, dpi, pixels;
  } cases[] = {
      {"2", kIn, 640, 96, 192},
      {"1", kCm, 640, 96, 37},      // 37.79… truncated
      {"6.35", kCm, 640, 96, 239},  // 6.35 × 96 / 2.54 is just below 240 in doubles
      {"12.7", kCm, 640, 72, 360},  // five inches; x87's wider registers made it 359
      {"2.5", kIn, 640, 96, 240},
      {"2.54", kCm, 640, 96, 96},  // what the field keeps while the other side follows
      {"2.", kCm, 640, 96, 75},
      {"", kPct, 640, 96, 0},  // select-all and Backspace, before "50"
      {"320", kPx, 640, 96, 320},
      {"2", kIn, 640, 300, 600},
      {"  .5in", kIn, 640, 96, 48},
      {"50", kPct, 640, 96, 320},
      {"50", kPct, 3, 96, 2},           // the smallest width shown as 50 %
      {"70000", kPct, 100, 96, 65535},  // counts as 65,535 %
      {"-2", kPx, 640, 96, 0},
      {"+2", kPx, 640, 96, 0},
      {"-2", kIn, 640, 96, 0},
      {"nan", kIn, 640, 96, 0},
      {"inf", kCm, 640, 96, 0},
      {"", kPx, 640, 96, 0},
      {" 12.9", kPx, 640, 96, 12},
      {"4294967296", kPx, 640, 96, 4294967295},  // saturates, never wraps
      {"99999999999999999999999", kPx, 640, 96, 4294967295},
      {"1e30", kIn, 640, 96, 96},  // no exponent: one inch
      {"99999999999", kIn, 640, 96, 4294967295},
      {"1", kIn, 640, 65536, 65535},  // a resolution counts as at most 65,535
      {"1", kIn, 640, 0, 1},          // and at least 1
  };
  for (const auto& c : cases)
    EXPECT_EQ(SCL_SideFromText(c.text, c.units, c.orig, c.dpi), c.pixels)
        << "'" << c.text << "' units " << c.units << " at " << c.dpi;
}

TEST(ScaleUnits, FieldsShowTheSizeInTheUnit) {
  const struct {
    ScaleSizes in;
    uint16_t units;
    ScaleDpi dpi;
    bool settings;
    const char *width, *height;
    ScaleSizes out;  // the sizes after the refresh
  } cases[] = {
      {{640, 480, 640, 480}, kIn, {96, 96}, false, "6.667", "5.000", {640, 480, 640, 480}},
      {{640, 480, 600, 480}, kIn, {300, 300}, false, "2.000", "1.600", {640, 480, 600, 480}},
      {{640, 480, 96, 37}, kCm, {96, 96}, false, "2.540", "0.979", {640, 480, 96, 37}},
      {{640, 480, 320, 240}, kPct, {}, false, "50", "50", {640, 480, 320, 240}},
      {{640, 480, 17, 5}, kPx, {}, true, "17", "5", {640, 480, 17, 5}},
      // Settings mode raises a small base, and a base of 0 becomes 1,000.
      {{800, 5000, 400, 5000}, kPct, {}, true, "50", "100", {80000, 500000, 40000, 500000}},
      {{0, 5000, 0, 5000}, kPct, {}, true, "0", "100", {1000, 500000, 0, 500000}},
      {{800, 600, 400, 300}, kPct, {}, false, "50", "50", {800, 600, 400, 300}},
      {{2000, 1000, 2000, 1000}, kPct, {}, true, "100", "100", {2000, 1000, 2000, 1000}},
      {{10, 10, 4294967295, 10}, kPct, {}, false, "65535", "100", {10, 10, 4294967295, 10}},
      {{999, 9, 4294967295, 9}, kPct, {}, true, "65535", "100", {99900, 900, 4294967295, 900}},
  };
  for (const auto& c : cases) {
    ScaleSizes s = c.in;
    const ScaleFieldTexts t = SCL_FieldTexts(s, c.units, c.dpi, c.settings);
    const std::string where = std::to_string(c.in.WorkWidth) + " units " + std::to_string(c.units);
    EXPECT_EQ(t.width + " " + t.height, std::string(c.width) + " " + c.height) << where;
    EXPECT_EQ(std::tie(s.OrigWidth, s.OrigHeight, s.WorkWidth, s.WorkHeight),
              std::tie(c.out.OrigWidth, c.out.OrigHeight, c.out.WorkWidth, c.out.WorkHeight))
        << where;
    EXPECT_TRUE(c.units != kPct || std::to_string(t.percentWidth) == t.width) << where;
  }
}

TEST(ScaleUnits, AspectAndSettingsBases) {
  const struct {
    bool widthTyped;
    ScaleSizes in, out;
  } cases[] = {
      {true, {640, 480, 320, 0}, {640, 480, 320, 240}},
      {false, {640, 480, 0, 100}, {640, 480, 134, 100}},  // ceil(133.3)
      {true, {0, 480, 320, 7}, {0, 480, 320, 7}},         // no base to follow
      {true, {1, 4294967295, 2, 0}, {1, 4294967295, 2, 4294967295}},
  };
  for (const auto& c : cases) {
    ScaleSizes s = c.in;
    SCL_FollowAspect(s, c.widthTyped);
    EXPECT_EQ(std::tie(s.WorkWidth, s.WorkHeight), std::tie(c.out.WorkWidth, c.out.WorkHeight))
        << c.in.WorkWidth << "x" << c.in.WorkHeight;
  }

  ScaleSizes s{640, 480, 17, 5};
  SCL_AspectToggled(s, false, kPx);
  EXPECT_EQ(std::tie(s.WorkWidth, s.WorkHeight), std::make_tuple(640u, 480u));
  s = {640, 480, 17, 5};
  SCL_AspectToggled(s, true, kIn);
  EXPECT_EQ(std::tie(s.OrigWidth, s.OrigHeight), std::make_tuple(17u, 5u));
  s = {640, 480, 17, 5};
  SCL_AspectToggled(s, true, kPct);
  EXPECT_EQ(std::tie(s.OrigWidth, s.WorkWidth), std::make_tuple(640u, 17u));

  const struct {
    uint32_t customWidth, customHeight;
    uint16_t units, percentWidth, percentHeight;
    ScaleSizes out;
  } bases[] = {
      {800, 600, kPct, 50, 25, {10000, 10000, 5000, 2500}},
      {20000, 0, kPct, 0, 100, {20000, 10000, 1, 10000}},
      {0, 300, kCm, 50, 50, {1, 300, 1, 300}},
      {4294967291, 10, kPx, 0, 0, {4294967291, 10, 4294967291, 10}},  // a stored −5, unsigned
  };
  for (const auto& b : bases) {
    const ScaleSizes got =
        SCL_SettingsSizes(b.customWidth, b.customHeight, b.units, b.percentWidth, b.percentHeight);
    EXPECT_EQ(std::tie(got.OrigWidth, got.OrigHeight, got.WorkWidth, got.WorkHeight),
              std::tie(b.out.OrigWidth, b.out.OrigHeight, b.out.WorkWidth, b.out.WorkHeight))
        << b.customWidth << "x" << b.customHeight << " units " << b.units;
  }
}

TEST(TargetFromSettings, FollowsTheStoredUnitsAndTheAspectRule) {
  // {OrigWidth, OrigHeight, CustomWidth, CustomHeight, ScaleUnits, PercentWidth, PercentHeight,
  //  KeepAspect}, then the target.
  const struct {
    ScaleTargetState in;
    uint32_t w, h;
  } cases[] = {
      {{400, 300, 0, 0, 1, 50, 50, true}, 200, 150},
      // Equal sides: the longer image side stays.
      {{400, 300, 100, 100, 0, 100, 100, true}, 100, 75},
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
    EXPECT_EQ(std::pair(s.CustomWidth, s.CustomHeight), std::pair(c.w, c.h))
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
