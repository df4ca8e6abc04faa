// Exact turns against per-pixel references written in screen terms (y from the top), and the
// vector kernels against the portable ones. (imagetool's tests compare the turns with ImageMagick.)
#include <gtest/gtest.h>

#include <random>

#include "resources/text_ids.h"
#include "rotate/right_angle_kernels.h"
#include "rotate/rotate.h"
#include "tests/support/result_checks.h"

namespace {

using testimg::GetPixel;

// A test image whose two resolutions differ, so that swapping them would show.
HostBlock Make(unsigned bits, uint32_t width, uint32_t height, uint32_t seed) {
  HostBlock block = testimg::Make(bits, width, height, seed);
  testimg::View v(block);
  v.v.header->biXPelsPerMeter = 1000, v.v.header->biYPelsPerMeter = 3000;
  return block;
}

// Clockwise the left column becomes the top row; counter-clockwise the top row becomes the left
// column. Everything but the size fields is the source's, resolution unswapped, table included.
void ExpectTurned(HostBlock source, HostBlock result, int k) {
  testimg::View s(source);
  const uint32_t w = s.v.width, h = s.v.height;
  checks::ExpectResult(s.v, result, k == 2 ? w : h, k == 2 ? h : w,
                       testimg::Cat("turn ", k, ", ", testimg::Describe(s.v)),
                       [&](uint32_t x, uint32_t y) {
                         return k == 1   ? GetPixel(s.v, y, h - 1 - x)
                                : k == 2 ? GetPixel(s.v, w - 1 - x, h - 1 - y)
                                         : GetPixel(s.v, w - 1 - y, x);
                       });
}

class RightAngle : public testing::TestWithParam<unsigned> {};

// Widths and heights around every byte, word and block boundary, and sizes beyond a tile (128 or
// 256 rows) and a 1-bit block (64 columns) with ragged ends.
TEST_P(RightAngle, MovesEveryPixel) {
  std::vector<std::pair<uint32_t, uint32_t>> sizes = {{150, 300}, {201, 20}, {72, 9}, {21, 600}};
  for (uint32_t w = 1; w <= 33; ++w)
    for (uint32_t h : {1, 2, 3, 7, 8, 9, 16, 17}) sizes.emplace_back(w, h);
  for (const auto& [w, h] : sizes) {
    OwnedBlock source(Make(GetParam(), w, h, w * 100 + h));
    const auto before = testimg::Bytes(source.get());
    for (int k = 1; k <= 3; ++k) {
      OwnedBlock result(ROT_RightAngle(source.get(), k));
      ExpectTurned(source.get(), result.get(), k);
    }
    ASSERT_EQ(testimg::Bytes(source.get()), before) << "the source is never changed";
  }
}

TEST_P(RightAngle, FailsCleanlyWhenMemoryIsShort) {
  OwnedBlock source(Make(GetParam(), 9, 5, 2));
  const auto turn = [&] { return ROT_RightAngle(source.get(), 1); };
  checks::ExpectCleanFailures(source.get(), turn, IDS_ROTATE_NO_MEMORY, 1);
}

// The vector quarter turns against the portable ones, byte for byte, at sizes around every block
// (8 × 8, 4 × 4, 16 rows by 64 columns) and tile (128, 256) boundary; destinations start as a
// sentinel, so bytes one set writes and the other leaves show too.
TEST_P(RightAngle, VectorKernelsMatchThePortableOnes) {
#if IMAGE_SSE2
  std::vector<uint32_t> sides = {63, 64, 65, 129, 257};
  for (uint32_t n = 1; n <= 33; ++n) sides.push_back(n);
  const unsigned bits = GetParam();
  std::mt19937 random(5);
  for (uint32_t w : sides)
    for (uint32_t h : sides) {
      const auto srcStride = static_cast<size_t>(RowStride(bits, w));
      const auto dstStride = static_cast<size_t>(RowStride(bits, h));
      std::vector<uint8_t> src(srcStride * h);  // padding random too: neither set may show it
      for (uint8_t& b : src) b = static_cast<uint8_t>(random());
      for (bool clockwise : {true, false}) {
        std::vector<uint8_t> portable(dstStride * w, 0xAA), vector(dstStride * w, 0xAA);
        turn_kernels::TurnPortable({src.data(), portable.data(), srcStride, dstStride, w, h}, bits,
                                   clockwise);
        turn_kernels::TurnSse2({src.data(), vector.data(), srcStride, dstStride, w, h}, bits,
                               clockwise);
        ASSERT_EQ(portable, vector) << w << " x " << h << (clockwise ? " clockwise" : "");
      }
    }
#else
  GTEST_SKIP() << "this build has the portable kernels only";
#endif
}

INSTANTIATE_TEST_SUITE_P(Depths, RightAngle, testing::ValuesIn(testimg::kDepths),
                         testimg::DepthName);

}  // namespace
