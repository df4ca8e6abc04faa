#include "crop/bit_runs.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

bool BitAt(const std::vector<uint8_t>& bytes, size_t i) {
  return (bytes[i / 8] >> (7 - i % 8)) & 1;
}

// Runs long enough to reach the word-at-a-time loops, at every shift, against bit-by-bit
// references; the buffers are random so that a bit taken from the wrong place shows.
TEST(BitRuns, MoveEveryBitAndNoOther) {
  std::mt19937 rng(11);
  auto randomBytes = [&](size_t n) {
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng());
    return v;
  };
  for (size_t bits : {0, 1, 5, 8, 9, 63, 64, 65, 71, 72, 73, 127, 136, 200, 333})
    for (unsigned shift = 0; shift < 8; ++shift) {
      const std::vector<uint8_t> src = randomBytes((shift + bits + 7) / 8);
      std::vector<uint8_t> out = randomBytes((bits + 7) / 8);
      ExtractBitRun(src.data(), shift, bits, out.data());
      for (size_t i = 0; i < out.size() * 8; ++i)
        ASSERT_EQ(BitAt(out, i), i < bits && BitAt(src, shift + i))
            << bits << " bits, shift " << shift << ", bit " << i;

      // Extracting in place gives the same run.
      std::vector<uint8_t> inPlace = src;
      ExtractBitRun(inPlace.data(), shift, bits, inPlace.data());
      for (size_t i = 0; i < out.size(); ++i)
        ASSERT_EQ(inPlace[i], out[i]) << bits << " bits, shift " << shift;

      const std::vector<uint8_t> run = randomBytes((bits + 7) / 8);  // its tail bits are noise
      const std::vector<uint8_t> before = randomBytes((shift + bits + 7) / 8 + 2);
      std::vector<uint8_t> dst = before;
      InsertBitRun(dst.data(), shift, run.data(), bits);
      for (size_t i = 0; i < dst.size() * 8; ++i) {
        const bool inside = i >= shift && i < shift + bits;
        ASSERT_EQ(BitAt(dst, i), inside ? BitAt(run, i - shift) : BitAt(before, i))
            << bits << " bits, shift " << shift << ", bit " << i;
      }
    }
}

}  // namespace
