// The vector row mirror against the portable one, byte for byte, so that neither set can rot
// unseen while the engines use the other.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "dib/row_mirror.h"
#include "tests/support/images.h"

namespace {

// Every depth at widths around each word and register boundary (a 16-byte register holds 128
// 1-bit pixels); source rows are random, padding included, which the 1- and 4-bit kernels carry
// along; destinations start as a sentinel that the deeper kernels must leave after the pixels.
// The rows are exactly one stride long, so a read or write past them trips the sanitizer.
TEST(RowMirror, VectorKernelsMatchThePortableOnes) {
#if IMAGE_SSE2
  std::mt19937 random(11);
  for (unsigned bits : testimg::kDepths)
    for (uint32_t width = 1; width <= 300; ++width) {
      const auto stride = static_cast<size_t>(RowStride(bits, width));
      std::vector<uint8_t> from(stride), portable(stride, 0xAA), vector(stride, 0xAA);
      for (uint8_t& b : from) b = static_cast<uint8_t>(random());
      MirrorRowPortable(from.data(), portable.data(), bits, width, stride, from.data());
      MirrorRowSse2(from.data(), vector.data(), bits, width, stride, from.data());
      ASSERT_EQ(portable, vector) << bits << " bits, width " << width;
    }
#else
  GTEST_SKIP() << "this build has the portable kernels only";
#endif
}

}  // namespace
