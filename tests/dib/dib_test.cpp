#include "dib/dib.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/images.h"
#include "tests/support/recorder.h"

namespace {

TEST(RowStride, MatchesTheByteCountRoundedToFourBytes) {
  struct Case {
    unsigned bits;
    uint32_t width;
    uint64_t stride;
  } cases[] = {{1, 1, 4},  {1, 32, 4},  {1, 33, 8},  {4, 1, 4},   {4, 9, 8},  {8, 3, 4},
               {8, 5, 8},  {24, 1, 4},  {24, 4, 12}, {24, 5, 16}, {32, 1, 4}, {32, 3, 12},
               {32, 0x7FFFFFFF, uint64_t{0x7FFFFFFF} * 4}};
  for (const Case& c : cases) {
    // Independent reference: bytes holding the pixels, rounded up to a multiple of 4.
    const uint64_t bytes = (uint64_t{c.bits} * c.width + 7) / 8;
    EXPECT_EQ(RowStride(c.bits, c.width), (bytes + 3) / 4 * 4) << c.bits << " x " << c.width;
    EXPECT_EQ(RowStride(c.bits, c.width), c.stride) << c.bits << " x " << c.width;
  }
}

TEST(ColorTableSize, FollowsTheUsedCountOrTheFullTable) {
  BitmapInfoHeader h{};
  struct Case {
    uint16_t bits;
    uint32_t used;
    uint32_t bytes;
  } cases[] = {{1, 0, 8}, {4, 0, 64}, {8, 0, 1024}, {8, 256, 1024}, {8, 17, 68}, {24, 0, 0}, {32, 0, 0}};
  for (const Case& c : cases) {
    h.biBitCount = c.bits;
    h.biClrUsed = c.used;
    EXPECT_EQ(ColorTableSize(h), c.bytes) << c.bits << " bits, " << c.used << " used";
  }
}

TEST(DescribeDib, FindsTheTableAndRows) {
  struct Case {
    unsigned bits;
    uint32_t width;
    size_t rowsOffset;
    size_t stride;
  } cases[] = {{24, 1, 40, 4}, {8, 3, 1064, 4}, {1, 33, 48, 8}, {4, 5, 104, 4}, {32, 2, 40, 8}};
  for (const Case& c : cases) {
    OwnedBlock block(testimg::Make(c.bits, c.width, 3, 1));
    testimg::View view(block.get());
    ASSERT_NE(view.v.header, nullptr);
    EXPECT_EQ(static_cast<size_t>(view.v.rows - view.lock.get()), c.rowsOffset) << c.bits;
    EXPECT_EQ(view.v.stride, c.stride) << c.bits;
    EXPECT_EQ(view.v.RowFromTop(0), view.v.Row(2));
  }
}

// Each malformed header is refused; the rest of the image is well formed.
TEST(DescribeDib, RefusesWhatTheEnginesDoNotHandle) {
  struct Case {
    const char* what;
    void (*spoil)(BitmapInfoHeader&);
  } cases[] = {
      {"V5 header", [](BitmapInfoHeader& h) { h.biSize = 124; }},
      {"zero width", [](BitmapInfoHeader& h) { h.biWidth = 0; }},
      {"negative width", [](BitmapInfoHeader& h) { h.biWidth = -4; }},
      {"top-down", [](BitmapInfoHeader& h) { h.biHeight = -3; }},
      {"16 bits", [](BitmapInfoHeader& h) { h.biBitCount = 16; }},
      {"RLE", [](BitmapInfoHeader& h) { h.biCompression = 1; }},
      {"no colours", [](BitmapInfoHeader& h) { h.biClrUsed = 0; }},
      {"too many colours", [](BitmapInfoHeader& h) { h.biClrUsed = 257; }},
      {"wrong image size", [](BitmapInfoHeader& h) { h.biSizeImage -= 4; }},
      {"rows beyond the block", [](BitmapInfoHeader& h) { h.biHeight = 4; h.biSizeImage = 4 * 4; }},
      {"huge width", [](BitmapInfoHeader& h) { h.biWidth = 0x7FFFFFFF; }},
  };
  for (const Case& c : cases) {
    OwnedBlock block(testimg::Make(8, 3, 3, 1));
    BlockLock lock(block.get());
    c.spoil(*reinterpret_cast<BitmapInfoHeader*>(lock.get()));
    DibView v;
    EXPECT_FALSE(DescribeDib(lock.get(), HP_Size(block.get()), v)) << c.what;
    EXPECT_EQ(v.header, nullptr) << c.what;
  }
}

}  // namespace
