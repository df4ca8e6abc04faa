#include "scale/kernels.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// Every quotient up to 255 and its neighbours, for small divisors and for large ones on both sides
// of the switch to the processor's division (the operations' tests reach only small divisors).
TEST(ExactDivisor, GivesTheQuotientForEveryNumeratorUpTo255TimesTheDivisor) {
  std::vector<uint64_t> divisors = {(1ull << 32) - 1, 1ull << 32,     (1ull << 32) + 1,
                                    16851025,         4104ull * 4104, (1ull << 55) + 12345};
  for (uint64_t d = 1; d <= 64; ++d) divisors.push_back(d);
  std::mt19937_64 rng(5);
  for (int i = 0; i < 40; ++i) divisors.push_back(rng() >> (8 + i % 40) | 1);
  for (uint64_t d : divisors) {
    const ExactDivisor divide(d);
    for (uint64_t q = 0; q <= 255; ++q)
      for (uint64_t n : {q * d, q * d + 1, q * d + d - 1, q * d + d / 2})
        if (n <= 255 * d) {
          ASSERT_EQ(divide(n), n / d) << n << " / " << d;
        }
  }
}

}  // namespace
