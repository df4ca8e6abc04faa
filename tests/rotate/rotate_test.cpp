// Which turn an angle asks for: multiples of 360, the exact turns, the any-angle path and its
// direction.
#include <gtest/gtest.h>

#include <cmath>

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

// Positive angles turn clockwise on screen: a red mark right of the centre moves down by the
// angle, whichever path the angle takes.
TEST(RotateDIB, PositiveAnglesTurnClockwise) {
  OwnedBlock source(testimg::Make(24, 21, 21, 3));
  const testimg::View s(source.get());
  for (uint32_t y = 0; y < 21; ++y)
    for (uint32_t x = 0; x < 21; ++x)
      testimg::SetPixel(s.v, x, y, x >= 16 && x <= 18 && y >= 9 && y <= 11 ? 0xFF0000 : 0);
  for (int angle : {30, 45, 90, -300, -270}) {
    OwnedBlock result(ROT_RotateDIB(source.get(), kQualityLow, angle, RotateFill{}, nullptr));
    testimg::View r(result.get());
    double dx = 0, dy = 0;  // sums of the mark's offsets from the centre, y down
    for (uint32_t y = 0; y < r.v.height; ++y)
      for (uint32_t x = 0; x < r.v.width; ++x)
        if (testimg::GetPixel(r.v, x, y) == 0xFF0000)
          dx += x - r.v.width / 2.0, dy += y - r.v.height / 2.0;
    EXPECT_NEAR(std::atan2(dy, dx) * 180 / 3.14159265, (angle + 360) % 360, 12)
        << "angle " << angle;
  }
}

// The Rotate dialog's rules at the edges: typed amounts around the range and the presets, and the
// fill index a palette image falls back to.
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
