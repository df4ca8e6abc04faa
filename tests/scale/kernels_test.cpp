#include "scale/kernels.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

TEST(ExactDivisor, GivesTheQuotientForEveryNumeratorUpTo255TimesTheDivisor) {
  for (uint64_t d = 1; d <= 64; ++d) {
    const ExactDivisor divide(d);
    for (uint64_t n = 0; n <= 255 * d; ++n) ASSERT_EQ(divide(n), n / d) << n << " / " << d;
  }
  // Large divisors, on both sides of the switch to the processor's division, at every quotient
  // and its neighbours.
  std::mt19937_64 rng(5);
  std::vector<uint64_t> divisors = {(1ull << 32) - 1, 1ull << 32, (1ull << 32) + 1, 16851025, 4104ull * 4104,
                                    (1ull << 55) + 12345};
  for (int i = 0; i < 40; ++i) divisors.push_back(rng() >> (8 + i % 40));
  for (uint64_t d : divisors) {
    if (d == 0) continue;
    const ExactDivisor divide(d);
    for (uint64_t q = 0; q <= 255; ++q)
      for (uint64_t n : {q * d, q * d + 1, q * d + d - 1, q * d + d / 2})
        if (n <= 255 * d) {
          ASSERT_EQ(divide(n), n / d) << n << " / " << d;
        }
  }
}

TEST(WeightTables, HoldTheWalksOfTheWorkedExamples) {
  ShrinkColumn shrink[2];
  SCL_BuildShrinkTables(5, 2, shrink);  // (2·s0 + 2·s1 + 1·s2), (1·s2 + 2·s3 + 2·s4)
  EXPECT_EQ(shrink[0].first, 2u);
  EXPECT_EQ(shrink[0].fullCount, 1u);
  EXPECT_EQ(shrink[0].last, 1u);
  EXPECT_EQ(shrink[1].first, 1u);
  EXPECT_EQ(shrink[1].fullCount, 2u);
  EXPECT_EQ(shrink[1].last, 0u);

  EnlargeColumn enlarge[4];
  SCL_BuildEnlargeTables(2, 4, enlarge);  // s0, (4·s0 + s1) div 5, (s0 + 4·s1) div 5, s1
  const uint64_t want[4][3] = {{9, 0, 9}, {4, 1, 5}, {1, 4, 5}, {9, 0, 9}};
  for (int j = 0; j < 4; ++j) {
    EXPECT_EQ(enlarge[j].left, want[j][0]) << j;
    EXPECT_EQ(enlarge[j].right, want[j][1]) << j;
    EXPECT_EQ(enlarge[j].total.divisor, want[j][2]) << j;
  }
}

// 64-bit accumulators hold sums that 32 bits cannot: 255 × 2^31 here.
TEST(RowRoutines, WideAccumulatorsAverageBeyond32Bits) {
  const uint8_t a[3] = {255, 0, 100}, b[3] = {255, 255, 101};
  uint64_t acc[3];
  SCL_LoadRow<uint64_t>(a, uint64_t{1} << 30, acc, 24, 1, nullptr, false);
  SCL_AddRow<uint64_t>(b, (uint64_t{1} << 30) + 7, acc, 24, 1, nullptr, false);
  SCL_DivideRow<uint64_t>((uint64_t{1} << 31) + 7, acc, 1, false, false);
  uint8_t out[3];
  SCL_StoreRow<uint64_t>(out, acc, 1, false, false);
  EXPECT_EQ(out[0], 255);
  EXPECT_EQ(out[1], 127);  // 255 × (2^30 + 7) div (2^31 + 7)
  EXPECT_EQ(out[2], 100);
}

// The one-pass blend gives what loading, adding, dividing and storing give, for every pair of
// values, with small totals and with totals beyond 32 bits.
TEST(RowRoutines, BlendEqualsLoadAddDivideStore) {
  std::vector<uint8_t> a(65536), b(65536);
  for (uint32_t i = 0; i < 65536; ++i) a[i] = uint8_t(i), b[i] = uint8_t(i >> 8);
  const uint64_t weights[][2] = {{0, 9}, {1, 5}, {4, 5}, {3, 7}, {1, 1}, {99, 5000}, {123456789, 987654321},
                                 {(1ull << 40) + 3, (1ull << 41) + 11}};
  for (const auto& wt : weights) {
    const uint64_t right = wt[0], total = wt[1];
    std::vector<uint64_t> acc(65536);
    SCL_LoadRow<uint64_t>(a.data(), total - right, acc.data(), 24, 65536, nullptr, true);
    SCL_AddRow<uint64_t>(b.data(), right, acc.data(), 24, 65536, nullptr, true);
    SCL_DivideRow<uint64_t>(total, acc.data(), 65536, true, false);
    std::vector<uint8_t> want(65536), got(65536);
    SCL_StoreRow<uint64_t>(want.data(), acc.data(), 65536, true, false);
    SCL_BlendRows(a.data(), b.data(), right, total, got.data(), 24, 65536, nullptr, true);
    EXPECT_EQ(got, want) << right << " / " << total;
  }
}

}  // namespace
