// The Rotate dialog's rules at the edges: typed amounts around the range and the presets, and the
// fill index a palette image falls back to.
#include <gtest/gtest.h>

#include <cstdint>

#include "rotate/rotate_choices.h"

namespace {

using P = RotatePreset;

TEST(RotateChoices, TypedAmounts) {
  // An out-of-range amount gives the limit it is clamped to; one in range, the radio it checks.
  const struct {
    int64_t amount;
    bool outOfRange;
    int32_t limit;
    P preset;
  } cases[] = {
      // clang-format off
      {90, false, 0, P::k90}, {180, false, 0, P::k180}, {270, false, 0, P::k270},
      {-90, false, 0, P::kCustom}, {0, false, 0, P::kCustom}, {360, false, 0, P::kCustom},
      {-360, false, 0, P::kCustom}, {361, true, 360, P::kCustom}, {-361, true, -360, P::kCustom},
      {4294967295, true, 360, P::kCustom}, {-4294967295, true, -360, P::kCustom},
      // clang-format on
  };
  for (const auto& c : cases) {
    const AmountOutcome got = ROT_AmountChanged(c.amount);
    EXPECT_EQ(got.outOfRange, c.outOfRange) << c.amount;
    EXPECT_EQ(c.outOfRange ? got.limit : int(got.preset), c.outOfRange ? c.limit : int(c.preset))
        << c.amount;
  }
}

TEST(RotateChoices, PaletteFillIndex) {
  const struct {
    int32_t index;
    uint32_t count;
    int32_t expected;
  } cases[] = {{15, 16, 15}, {16, 16, 0}, {200, 16, 0}, {2, 2, 0}, {-1, 256, 0}, {255, 256, 255}};
  for (const auto& c : cases)
    EXPECT_EQ(ROT_PaletteFillIndex(c.index, c.count), c.expected) << c.index << " of " << c.count;
}

}  // namespace
