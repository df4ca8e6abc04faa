// The Rotate dialog's rules: typed amounts at the range's edges, the texts a user may type, the
// angle OK keeps, and the fill index a palette image falls back to.
#include <gtest/gtest.h>

#include <cstdint>

#include "rotate/rotate_choices.h"

namespace {

using P = RotatePreset;

TEST(RotateChoices, TypedAmounts) {
  struct {
    int64_t amount;
    bool outOfRange;
    int32_t limit;
    P preset;
  } cases[] = {
      {90, false, 0, P::k90},
      {180, false, 0, P::k180},
      {270, false, 0, P::k270},
      {-90, false, 0, P::kCustom},
      {-270, false, 0, P::kCustom},
      {0, false, 0, P::kCustom},
      {45, false, 0, P::kCustom},
      {360, false, 0, P::kCustom},
      {-360, false, 0, P::kCustom},
      {361, true, 360, P::kCustom},
      {-361, true, -360, P::kCustom},
      {4294967295, true, 360, P::kCustom},
      {-4294967295, true, -360, P::kCustom},
  };
  for (const auto& c : cases) {
    const AmountOutcome got = ROT_AmountChanged(c.amount);
    EXPECT_EQ(got.outOfRange, c.outOfRange) << c.amount;
    if (c.outOfRange)
      EXPECT_EQ(got.limit, c.limit) << c.amount;
    else
      EXPECT_EQ(got.preset, c.preset) << c.amount;
  }
  // What a preset writes must bring the field back to that preset.
  for (P preset : {P::k90, P::k180, P::k270})
    EXPECT_EQ(ROT_AmountChanged(ROT_PresetAmount(preset)).preset, preset);
}

TEST(RotateChoices, ConfirmedAngleKeepsTheSign) {
  struct {
    int64_t amount;
    int32_t angle;
  } cases[] = {{360, 0}, {-360, 0}, {-90, -90}, {359, 359}, {-359, -359}, {450, 90}, {-450, -90}};
  for (const auto& c : cases) EXPECT_EQ(ROT_ConfirmedAngle(c.amount), c.angle) << c.amount;
}

TEST(RotateChoices, PaletteFillIndex) {
  struct {
    int32_t index;
    uint32_t count;
    int32_t expected;
  } cases[] = {{15, 16, 15}, {16, 16, 0},  {200, 16, 0},   {1, 2, 1},
               {2, 2, 0},    {-1, 256, 0}, {255, 256, 255}};
  for (const auto& c : cases)
    EXPECT_EQ(ROT_PaletteFillIndex(c.index, c.count), c.expected) << c.index << " of " << c.count;
}

}  // namespace
