// Which turn an angle asks for: multiples of 360, the exact turns, the any-angle path and its
// direction.
#include <gtest/gtest.h>

#include "rotate/rotate.h"
#include "rotate/rotate_choices.h"
#include "tests/support/images.h"
#include "tests/support/recorder.h"

namespace {

std::vector<uint8_t> Bytes(HostBlock block) {
  OwnedBlock owned(block);
  return owned ? testimg::Bytes(owned.get()) : std::vector<uint8_t>{};
}

// Full turns give no image and no message; the others go to their exact or any-angle turn.
TEST(RotateDIB, SendsEachAngleToItsTurn) {
  OwnedBlock source(testimg::Make(8, 7, 4, 2));
  const RotateFill fill;
  struct {
    int angle, k, d;  // an exact turn k, k = 0 and the any-angle turn by d, or k = -1: none
  } cases[] = {{90, 1, 0},  {-270, 1, 0}, {180, 2, 0},    {-180, 2, 0},
               {270, 3, 0}, {-90, 3, 0},  {30, 0, 330},   {-30, 0, 30},
               {450, 1, 0}, {-1, 0, 1},   {-359, 0, 359}, {725, 0, 355},
               {0, -1, 0},  {360, -1, 0}, {-360, -1, 0},  {720, -1, 0}};
  for (const auto& c : cases)
    for (uint16_t quality : {kQualityLow, kQualityHigh}) {
      const auto expected = c.k > 0 ? Bytes(ROT_RightAngle(source.get(), c.k))
                            : c.k == 0
                                ? Bytes(ROT_RotateAny(source.get(), quality, c.d, fill, nullptr))
                                : std::vector<uint8_t>{};
      recorder::Reset();
      EXPECT_EQ(Bytes(ROT_RotateDIB(source.get(), quality, c.angle, fill, nullptr)), expected)
          << "angle " << c.angle << ", quality " << quality;
      EXPECT_EQ(expected.empty(), c.k < 0) << c.angle;
      EXPECT_TRUE(c.k >= 0 || recorder::Calls().empty()) << c.angle;
    }
}

// The Rotate dialog's rules at the edges: typed amounts around the range and the presets.
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

}  // namespace
