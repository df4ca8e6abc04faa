// Checks shared by the tests of engines that make a new image from a source.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/images.h"
#include "tests/support/recorder.h"

namespace checks {

// Bit `bit` of stored row k, counted from the most significant bit of byte 0.
inline unsigned Bit(const DibView& v, size_t k, size_t bit) {
  return (v.Row(k)[bit / 8] >> (7 - bit % 8)) & 1;
}

// `result` is a well-formed width x height image with the header and colour table of `source`.
inline void ExpectMadeFrom(const DibView& source, HostBlock result, uint32_t width, uint32_t height,
                           const std::string& what) {
  testimg::View out(result);
  ASSERT_NE(out.v.header, nullptr) << what << ": not a well-formed image";
  BitmapInfoHeader expected = *source.header;
  expected.biWidth = static_cast<int32_t>(width);
  expected.biHeight = static_cast<int32_t>(height);
  expected.biSizeImage = static_cast<uint32_t>(RowStride(source.bits, width) * height);
  const size_t table = source.colorCount * 4;
  EXPECT_EQ(0, std::memcmp(out.v.header, &expected, sizeof expected)) << what << ": header";
  ASSERT_EQ(HP_Size(result), PackedDibSize(table, source.bits, width, height)) << what;
  EXPECT_TRUE(table == 0 || std::memcmp(out.v.colors, source.colors, table) == 0)
      << what << ": colour table";
}

// `result` is made from `source` (as above) and its pixel (x, y), y from the top, is want(x, y);
// the bits after each row's last pixel, padding included, are `padding`.
inline void ExpectResult(const DibView& source, HostBlock result, uint32_t width, uint32_t height,
                         const std::string& what,
                         const std::function<uint32_t(uint32_t, uint32_t)>& want,
                         unsigned padding = 0) {
  ASSERT_NO_FATAL_FAILURE(ExpectMadeFrom(source, result, width, height, what));
  testimg::View out(result);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x)
      ASSERT_EQ(testimg::GetPixel(out.v, x, y), want(x, y)) << what << " at " << x << "," << y;
  EXPECT_EQ(testimg::StrayPadding(out.v, padding), "") << what;
}

// Fails each allocation of `make` in turn: every failed run returns null after showing exactly
// `message` (nothing when it is 0) and no progress, frees and unlocks everything and leaves
// `source` as it was. `points` allocations in all.
inline void ExpectCleanFailures(HostBlock source, const std::function<HostBlock()>& make,
                                unsigned message, int points) {
  const auto before = testimg::Bytes(source);
  const int live = recorder::LiveBlocks();
  const auto shown = message ? std::vector<std::string>{"message " + std::to_string(message)}
                             : std::vector<std::string>{};
  HostBlock result = nullptr;
  const int found = testimg::ForEachAllocationFailure(
      [&] { result = make(); },
      [&](int n) {
        EXPECT_EQ(result, nullptr) << "failure " << n;
        EXPECT_EQ(recorder::ProgressAndMessages(), shown) << "failure " << n;
        EXPECT_EQ(recorder::LiveBlocks(), live) << "failure " << n;
        EXPECT_EQ(recorder::OpenLocks(), 0) << "failure " << n;
      });
  EXPECT_EQ(found, points) << "allocations that can fail";
  EXPECT_NE(result, nullptr);
  HP_Free(result);
  EXPECT_EQ(testimg::Bytes(source), before);
}

}  // namespace checks
