#include "crop/crop.h"

#include <gtest/gtest.h>

#include <cstring>

#include "resources/text_ids.h"
#include "tests/support/images.h"
#include "tests/support/recorder.h"

namespace {

using testimg::GetPixel;

// The colour table's bytes (none above 8 bits).
std::vector<uint8_t> Table(const DibView& v) {
  const auto* p = reinterpret_cast<const uint8_t*>(v.colors);
  return p ? std::vector<uint8_t>(p, p + v.colorCount * 4) : std::vector<uint8_t>{};
}

// Bits of a row after its last pixel, padding bytes included, must all be zero.
void ExpectCleanTails(const DibView& v, const std::string& what) {
  for (uint32_t k = 0; k < v.height; ++k)
    for (size_t bit = size_t{v.width} * v.bits; bit < v.stride * 8; ++bit)
      ASSERT_EQ((v.Row(k)[bit / 8] >> (7 - bit % 8)) & 1, 0)
          << what << ", row " << k << " bit " << bit;
}

struct Margins {
  uint32_t left, right, top, bottom;
};

// The crop of `source` compared with a reference built pixel by pixel: same header but the size,
// same colour table, result(x, y) = source(left + x, top + y) counted from the top.
void CheckCrop(HostBlock source, const Margins& m, const std::string& what) {
  OwnedBlock result(CRP_CropDIB(source, m.left, m.right, m.top, m.bottom));
  ASSERT_TRUE(result) << what;
  testimg::View in(source), out(result.get());
  ASSERT_NE(out.v.header, nullptr) << what << ": not a well-formed image";
  ASSERT_EQ(out.v.width, in.v.width - m.left - m.right) << what;
  ASSERT_EQ(out.v.height, in.v.height - m.top - m.bottom) << what;
  BitmapInfoHeader expected = *in.v.header;
  expected.biWidth = static_cast<int32_t>(out.v.width);
  expected.biHeight = static_cast<int32_t>(out.v.height);
  expected.biSizeImage = static_cast<uint32_t>(RowStride(in.v.bits, out.v.width) * out.v.height);
  EXPECT_EQ(0, std::memcmp(out.v.header, &expected, sizeof expected)) << what << ": header";
  EXPECT_EQ(Table(out.v), Table(in.v)) << what << ": colour table";
  EXPECT_EQ(HP_Size(result.get()),
            PackedDibSize(in.v.colorCount * 4, in.v.bits, out.v.width, out.v.height));
  for (uint32_t y = 0; y < out.v.height; ++y)
    for (uint32_t x = 0; x < out.v.width; ++x)
      ASSERT_EQ(GetPixel(out.v, x, y), GetPixel(in.v, m.left + x, m.top + y))
          << what << " at " << x << "," << y;
  ExpectCleanTails(out.v, what);
}

class CropAtDepth : public testing::TestWithParam<unsigned> {};

// Every start offset inside a byte (0 to 7) and kept widths from 1 to 17 on random images, plus
// long rows that reach the word-at-a-time copy.
TEST_P(CropAtDepth, KeepsExactlyTheRectangle) {
  const unsigned bits = GetParam();
  for (uint32_t width = 1; width <= 17; ++width)
    for (uint32_t left = 0; left < 8 && left < width; ++left) {
      const uint32_t right = (width - left - 1) % 3;
      OwnedBlock source(testimg::Make(bits, width, 5, width * 8 + left));
      CheckCrop(source.get(), {left, right, width % 3, (left + 1) % 2},
                std::to_string(bits) + " bits, width " + std::to_string(width) + ", left " +
                    std::to_string(left));
    }
  OwnedBlock wide(testimg::Make(bits, 301, 3, 99));
  for (uint32_t left : {0u, 3u, 7u, 9u, 64u})
    CheckCrop(wide.get(), {left, 11, 1, 0},
              std::to_string(bits) + " bits, 301 wide, left " + std::to_string(left));
}

// A margin sum that leaves nothing is refused before anything is allocated; one pixel less is the
// narrowest crop.
TEST_P(CropAtDepth, RefusesMarginsThatLeaveNoPixel) {
  const unsigned bits = GetParam();
  OwnedBlock source(testimg::Make(bits, 9, 6, 3));
  const auto before = testimg::Bytes(source.get());
  const Margins refused[] = {
      {4, 5, 0, 0}, {9, 0, 0, 0}, {0, 0, 3, 3}, {0, 0, 0, 60000}, {0xFFFFFFFF, 1, 0, 0}};
  for (const Margins& m : refused) {
    recorder::Reset();
    EXPECT_EQ(CRP_CropDIB(source.get(), m.left, m.right, m.top, m.bottom), nullptr);
    EXPECT_EQ(recorder::Messages(), std::vector<unsigned>{IDS_CROP_EMPTY_RESULT});
    EXPECT_EQ(recorder::AllocationCount(), 0);
  }
  EXPECT_EQ(testimg::Bytes(source.get()), before);
  CheckCrop(source.get(), {4, 4, 2, 3}, "one pixel left");
}

TEST_P(CropAtDepth, OutOfMemoryLeavesNothingBehind) {
  OwnedBlock source(testimg::Make(GetParam(), 13, 4, 5));
  const auto before = testimg::Bytes(source.get());
  const int live = recorder::LiveBlocks();
  HostBlock result = nullptr;
  const int points = testimg::ForEachAllocationFailure(
      [&] { result = CRP_CropDIB(source.get(), 3, 1, 1, 0); },
      [&](int) {
        EXPECT_EQ(result, nullptr);
        EXPECT_EQ(recorder::Messages(), std::vector<unsigned>{IDS_CROP_NO_MEMORY});
        EXPECT_EQ(recorder::LiveBlocks(), live);
        EXPECT_EQ(recorder::OpenLocks(), 0);
      });
  EXPECT_EQ(points, 1);
  EXPECT_NE(result, nullptr);
  HP_Free(result);
  EXPECT_EQ(testimg::Bytes(source.get()), before);
}

INSTANTIATE_TEST_SUITE_P(Depths, CropAtDepth, testing::ValuesIn(testimg::kDepths),
                         [](const auto& info) { return std::to_string(info.param) + "bit"; });

TEST(Crop, RefusesDepthsItDoesNotHandle) {
  OwnedBlock source(testimg::Make(24, 4, 4, 1));
  {
    BlockLock lock(source.get());
    reinterpret_cast<BitmapInfoHeader*>(lock.get())->biBitCount = 16;
  }
  recorder::Reset();
  EXPECT_EQ(CRP_CropDIB(source.get(), 1, 0, 0, 0), nullptr);
  EXPECT_EQ(recorder::Messages(), std::vector<unsigned>{IDS_UNSUPPORTED_IMAGE});
  EXPECT_EQ(recorder::OpenLocks(), 0);
}

}  // namespace
