#include "scale/nearest.h"

#include <gtest/gtest.h>

#include "tests/support/result_checks.h"

namespace {

class NearestByDepth : public ::testing::TestWithParam<unsigned> {};

TEST_P(NearestByDepth, PicksThePixelUnderEachCentreAndKeepsHeaderAndTable) {
  const unsigned bits = GetParam();
  // W, H, w, h: enlarging, shrinking, from one pixel, to one pixel, keeping the size.
  const uint32_t sizes[][4] = {{5, 3, 13, 7},  {13, 7, 5, 3}, {1, 1, 9, 2},
                               {33, 2, 31, 5}, {8, 8, 8, 8},  {6, 5, 1, 1}};
  for (const auto& s : sizes) {
    OwnedBlock source(testimg::Make(bits, s[0], s[1], s[2] + bits));
    OwnedBlock result(ResizeNearest(source.get(), s[2], s[3]));
    testimg::View in(source.get());
    // The centre of result pixel x lies at (x + 1/2) × W / w source pixels.
    checks::ExpectResult(in.v, result.get(), s[2], s[3],
                         testimg::Cat(testimg::Describe(in.v), " to ", s[2], " x ", s[3]),
                         [&](uint32_t x, uint32_t y) {
                           return testimg::GetPixel(in.v, uint32_t((x + 0.5) * s[0] / s[2]),
                                                    uint32_t((y + 0.5) * s[1] / s[3]));
                         });
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, NearestByDepth, ::testing::ValuesIn(testimg::kDepths),
                         testimg::DepthName);

// Like the host's own resize, failures show nothing: the caller reports them.
TEST(Nearest, FailsSilentlyAndLeavesNothing) {
  OwnedBlock source(testimg::Make(8, 4, 4, 1));
  recorder::Reset();
  EXPECT_EQ(ResizeNearest(source.get(), 0, 4), nullptr);
  EXPECT_EQ(recorder::AllocationCount(), 0);
  checks::ExpectCleanFailures(
      source.get(), [&] { return ResizeNearest(source.get(), 9, 2); }, 0, 2);
}

}  // namespace
