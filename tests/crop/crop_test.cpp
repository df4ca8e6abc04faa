#include "crop/crop.h"

#include <gtest/gtest.h>

#include "resources/text_ids.h"
#include "tests/support/result_checks.h"

namespace {

struct Margins {
  uint32_t left, right, top, bottom;
};

// The crop against the rule, y counted from the top: result(x, y) = source(left + x, top + y).
// The bits after each row's last pixel, padding included, are zero.
void CheckCrop(HostBlock source, const Margins& m, const std::string& what) {
  OwnedBlock result(CRP_CropDIB(source, m.left, m.right, m.top, m.bottom));
  ASSERT_TRUE(result) << what;
  testimg::View in(source), out(result.get());
  const DibView& d = out.v;
  checks::ExpectMadeFrom(in.v, result.get(), in.v.width - m.left - m.right,
                         in.v.height - m.top - m.bottom, what);
  for (uint32_t y = 0; y < d.height; ++y)
    for (uint32_t x = 0; x < d.width; ++x)
      ASSERT_EQ(testimg::GetPixel(d, x, y), testimg::GetPixel(in.v, m.left + x, m.top + y))
          << what << " at " << x << "," << y;
  EXPECT_EQ(testimg::StrayPadding(d), "") << what;
}

class CropAtDepth : public testing::TestWithParam<unsigned> {};

// Kept widths 1 to 17 from every offset inside a byte, on random images, and rows long enough for
// the sixteen-byte loop at every offset; one pixel kept. Margins that leave no pixel are refused
// before anything is allocated. Out of memory leaves nothing behind.
TEST_P(CropAtDepth, KeepsExactlyTheRectangleAndRefusesEmptyOnes) {
  const unsigned bits = GetParam();
  const std::string depth = std::to_string(bits) + " bits";
  for (uint32_t width = 1; width <= 17; ++width)
    for (uint32_t left = 0; left < 8 && left < width; ++left) {
      OwnedBlock source(testimg::Make(bits, width, 5, width * 8 + left));
      for (uint32_t right : {0u, (width - left - 1) % 3})
        CheckCrop(source.get(), {left, right, width % 3, (left + 1) % 2},
                  depth + ", width " + std::to_string(width) + ", left " + std::to_string(left) +
                      ", right " + std::to_string(right));
    }
  OwnedBlock wide(testimg::Make(bits, 301, 3, 99));
  for (uint32_t left : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 7u, 9u, 64u})
    CheckCrop(wide.get(), {left, 11, 1, 0}, depth + ", wide, left " + std::to_string(left));

  OwnedBlock source(testimg::Make(bits, 9, 6, 3));
  CheckCrop(source.get(), {4, 4, 2, 3}, depth + ", one pixel left");
  for (const Margins& m :
       {Margins{4, 5, 0, 0}, {9, 0, 0, 0}, {0, 0, 3, 3}, {0, 0, 0, 60000}, {0xFFFFFFFF, 1, 0, 0}}) {
    recorder::Reset();
    EXPECT_EQ(CRP_CropDIB(source.get(), m.left, m.right, m.top, m.bottom), nullptr);
    EXPECT_EQ(recorder::Messages(), std::vector<unsigned>{IDS_CROP_EMPTY_RESULT});
    EXPECT_EQ(recorder::AllocationCount(), 0);
  }
  checks::ExpectCleanFailures(
      source.get(), [&] { return CRP_CropDIB(source.get(), 3, 1, 1, 0); }, IDS_CROP_NO_MEMORY, 1);
}

INSTANTIATE_TEST_SUITE_P(Depths, CropAtDepth, testing::ValuesIn(testimg::kDepths),
                         testimg::DepthName);

}  // namespace
