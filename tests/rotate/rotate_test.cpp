// Which turn an angle asks for: multiples of 360, the exact turns, the any-angle path and its
// direction.
#include <gtest/gtest.h>

#include <cmath>

#include "rotate/rotate.h"
#include "tests/support/images.h"
#include "tests/support/recorder.h"

namespace {

std::vector<uint8_t> Bytes(HostBlock block) {
  OwnedBlock owned(block);
  return owned ? testimg::Bytes(owned.get()) : std::vector<uint8_t>{};
}

TEST(RotateDIB, FullTurnsGiveNoImageAndNoMessage) {
  OwnedBlock source(testimg::Make(24, 5, 3, 1));
  for (int angle : {0, 360, -360, 720}) {
    recorder::Reset();
    EXPECT_EQ(ROT_RotateDIB(source.get(), kQualityHigh, angle, RotateFill{}, nullptr), nullptr);
    EXPECT_TRUE(recorder::Calls().empty()) << angle;
  }
}

TEST(RotateDIB, SendsEachAngleToItsTurn) {
  OwnedBlock source(testimg::Make(8, 7, 4, 2));
  const RotateFill fill;
  struct {
    int angle, k, d;  // an exact turn k, or k = 0 and the any-angle turn by d
  } cases[] = {{90, 1, 0},  {-270, 1, 0}, {180, 2, 0},    {-180, 2, 0},
               {270, 3, 0}, {-90, 3, 0},  {30, 0, 330},   {-30, 0, 30},
               {450, 1, 0}, {-1, 0, 1},   {-359, 0, 359}, {725, 0, 355}};
  for (const auto& c : cases)
    for (uint16_t quality : {kQualityLow, kQualityHigh}) {
      const auto expected = c.k ? Bytes(ROT_RightAngle(source.get(), c.k))
                                : Bytes(ROT_RotateAny(source.get(), quality, c.d, fill, nullptr));
      ASSERT_FALSE(expected.empty());
      EXPECT_EQ(Bytes(ROT_RotateDIB(source.get(), quality, c.angle, fill, nullptr)), expected)
          << "angle " << c.angle << ", quality " << quality;
    }
}

// Positive angles turn clockwise on screen: a red mark right of the centre moves down by the
// angle, whichever path the angle takes.
TEST(RotateDIB, PositiveAnglesTurnClockwise) {
  OwnedBlock source(testimg::Make(24, 21, 21, 3));
  {
    testimg::View s(source.get());
    for (uint32_t y = 0; y < 21; ++y)
      for (uint32_t x = 0; x < 21; ++x)
        testimg::SetPixel(s.v, x, y, x >= 16 && x <= 18 && y >= 9 && y <= 11 ? 0xFF0000 : 0);
  }
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

}  // namespace
