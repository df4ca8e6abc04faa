// Which turn an angle asks for: direction, multiples of 360, the exact turns and the any-angle
// path.
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
    EXPECT_EQ(ROT_RotateDIB(source.get(), kQualityHigh, angle, RotateSettings{}, nullptr), nullptr);
    EXPECT_TRUE(recorder::Calls().empty()) << angle;
  }
}

TEST(RotateDIB, SendsEachAngleToItsTurn) {
  OwnedBlock source(testimg::Make(8, 7, 4, 2));
  const RotateSettings fill;
  struct {
    int angle;
    int k;  // exact turn, or 0 for the any-angle path with d
    int d;
  } cases[] = {{90, 1, 0},  {-270, 1, 0}, {180, 2, 0},  {-180, 2, 0},   {270, 3, 0},
               {-90, 3, 0}, {30, 0, 330}, {-30, 0, 30}, {450, 1, 0},    {-1, 0, 1},
               {359, 0, 1}, {1, 0, 359},  {-359, 0, 359}, {725, 0, 355}};
  for (const auto& c : cases)
    for (uint16_t quality : {kQualityLow, kQualityHigh}) {
      const auto expected = c.k ? Bytes(ROT_RightAngle(source.get(), c.k))
                                : Bytes(ROT_RotateAny(source.get(), quality, c.d, fill, nullptr));
      ASSERT_FALSE(expected.empty());
      EXPECT_EQ(Bytes(ROT_RotateDIB(source.get(), quality, c.angle, fill, nullptr)), expected)
          << "angle " << c.angle << ", quality " << quality;
    }
}

// Positive angles turn clockwise on screen: a mark right of the centre moves down, whichever path
// the angle takes.
TEST(RotateDIB, PositiveAnglesTurnClockwise) {
  OwnedBlock source(testimg::Make(24, 21, 21, 3));
  {
    testimg::View s(source.get());
    for (uint32_t y = 0; y < 21; ++y)
      for (uint32_t x = 0; x < 21; ++x) testimg::SetPixel(s.v, x, y, x >= 16 && x <= 18 && y >= 9 && y <= 11 ? 0xFF0000 : 0x00FF00);
  }
  for (int angle : {30, 45, 90, -300, -270}) {
    OwnedBlock result(ROT_RotateDIB(source.get(), kQualityLow, angle, RotateSettings{}, nullptr));
    testimg::View r(result.get());
    double sumX = 0, sumY = 0, count = 0;
    for (uint32_t y = 0; y < r.v.height; ++y)
      for (uint32_t x = 0; x < r.v.width; ++x)
        if (testimg::GetPixel(r.v, x, y) == 0xFF0000) sumX += x, sumY += y, count += 1;
    ASSERT_GT(count, 0) << angle;
    const double dx = sumX / count - r.v.width / 2.0, dy = sumY / count - r.v.height / 2.0;
    EXPECT_GT(dy, 2) << "angle " << angle << ": the mark is below the centre";
    const double turned = std::atan2(dy, dx) * 180 / 3.14159265;  // 0 = right, 90 = down
    const int a = ((angle % 360) + 360) % 360;
    EXPECT_NEAR(turned, a, 12) << "angle " << angle;
  }
}

}  // namespace
