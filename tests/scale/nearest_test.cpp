#include "scale/nearest.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/images.h"
#include "tests/support/recorder.h"

namespace {

class NearestByDepth : public ::testing::TestWithParam<unsigned> {};

TEST_P(NearestByDepth, PicksThePixelUnderEachCentreAndKeepsDepthAndTable) {
  const unsigned bits = GetParam();
  const uint32_t sizes[][4] = {{5, 3, 13, 7}, {13, 7, 5, 3}, {1, 1, 9, 2}, {33, 2, 31, 5}, {8, 8, 8, 8}, {6, 5, 1, 1}};
  for (const auto& s : sizes) {
    OwnedBlock source(testimg::Make(bits, s[0], s[1], s[2] + bits));
    const std::vector<uint8_t> before = testimg::Bytes(source.get());
    OwnedBlock result(ResizeNearest(source.get(), s[2], s[3]));
    testimg::View in(source.get()), out(result.get());
    ASSERT_NE(out.v.header, nullptr);
    ASSERT_EQ(out.v.width, s[2]);
    ASSERT_EQ(out.v.height, s[3]);
    ASSERT_EQ(out.v.bits, bits);
    EXPECT_EQ(out.v.header->biXPelsPerMeter, in.v.header->biXPelsPerMeter);
    ASSERT_EQ(out.v.colorCount, in.v.colorCount);
    EXPECT_TRUE(bits > 8 || std::memcmp(out.v.colors, in.v.colors, in.v.colorCount * 4) == 0);
    for (uint32_t y = 0; y < s[3]; ++y) {
      // The centre of result pixel x lies at (x + 1/2) × W / w source pixels.
      for (uint32_t x = 0; x < s[2]; ++x)
        ASSERT_EQ(testimg::GetPixel(out.v, x, y),
                  testimg::GetPixel(in.v, uint32_t((x + 0.5) * s[0] / s[2]), uint32_t((y + 0.5) * s[1] / s[3])))
            << bits << " bits (" << x << ", " << y << ")";
      for (size_t bit = size_t{bits} * s[2]; bit < out.v.stride * 8; ++bit)
        ASSERT_EQ((out.v.Row(y)[bit / 8] >> (7 - bit % 8)) & 1, 0) << "padding bit " << bit;
    }
    in.lock.unlock();
    EXPECT_EQ(testimg::Bytes(source.get()), before);
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, NearestByDepth, ::testing::ValuesIn(testimg::kDepths),
                         [](const auto& info) { return std::to_string(info.param) + "bit"; });

// Like the host's own resize, failures show nothing: the caller reports them.
TEST(Nearest, FailsSilentlyAndLeavesNothing) {
  OwnedBlock source(testimg::Make(8, 4, 4, 1));
  recorder::Reset();
  EXPECT_EQ(ResizeNearest(source.get(), 0, 4), nullptr);
  EXPECT_EQ(recorder::AllocationCount(), 0);
  const int live = recorder::LiveBlocks();
  EXPECT_EQ(testimg::ForEachAllocationFailure([&] { HP_Free(ResizeNearest(source.get(), 9, 2)); },
                                              [&](int) {
                                                EXPECT_TRUE(recorder::Messages().empty());
                                                EXPECT_EQ(recorder::LiveBlocks(), live);
                                                EXPECT_EQ(recorder::OpenLocks(), 0);
                                              }),
            2);
}

}  // namespace
