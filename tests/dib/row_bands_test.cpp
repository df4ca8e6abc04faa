// The threaded row loops write the bytes of one thread, on odd sizes and on fewer rows than
// workers, at every depth, and leave no block behind.
#include "dib/row_bands.h"

#include <gtest/gtest.h>

#include <functional>

#include "rotate/rotate.h"
#include "scale/resample.h"
#include "tests/support/images.h"
#include "tests/support/recorder.h"

namespace {

HostBlock Rotate(HostBlock s, uint16_t quality, int32_t d) {
  return ROT_RotateAny(s, quality, d, {10, 20, 30, 1}, nullptr);
}
HostBlock Scale(HostBlock s, uint32_t w, uint32_t h, bool grey) {  // h 0: the source's
  testimg::View v(s);
  h = h ? h : v.v.height;
  return SCL_ChooseOperation(v.v.width, v.v.height, w, h)(s, w, h, grey, nullptr);
}

const std::pair<const char*, std::function<HostBlock(HostBlock)>> kCases[] = {
    {"rotate -17 low", [](HostBlock s) { return Rotate(s, kQualityLow, -17); }},
    {"rotate 30 high", [](HostBlock s) { return Rotate(s, kQualityHigh, 30); }},
    {"shrink grey", [](HostBlock s) { return Scale(s, 13, 5, true); }},
    {"enlarge", [](HostBlock s) { return Scale(s, 71, 53, false); }},
    {"narrower, taller", [](HostBlock s) { return Scale(s, 9, 40, false); }},
    {"wider, lower, grey", [](HostBlock s) { return Scale(s, 50, 3, true); }},
    {"lower", [](HostBlock s) { return Scale(s, 29, 4, false); }},
    {"narrower", [](HostBlock s) { return Scale(s, 3, 0, false); }},
};

class RowBandsTest : public testing::TestWithParam<unsigned> {
  void TearDown() override { SetRowWorkers(1); }
};

TEST_P(RowBandsTest, EveryWorkerCountGivesTheBytesOfOne) {
  // The grey table takes rotate's high-quality grey path.
  for (const auto& [width, height, greyTable] :
       {std::tuple{29u, 23u, false}, {29u, 23u, true}, {7u, 2u, false}, {5u, 1u, true}}) {
    OwnedBlock source(testimg::Make(GetParam(), width, height, 7));
    if (greyTable) {
      testimg::View s(source.get());
      for (uint32_t i = 0; i < s.v.colorCount; ++i)
        s.v.colors[i] = {uint8_t(i * 89 + 3), uint8_t(i * 89 + 3), uint8_t(i * 89 + 3), 0};
    }
    for (const auto& [what, run] : kCases) {
      SCOPED_TRACE(testimg::Cat(what, ", ", testimg::Describe(GetParam(), width, height),
                                greyTable ? " grey" : ""));
      const int live = recorder::LiveBlocks();
      SetRowWorkers(1);
      OwnedBlock one(run(source.get()));
      for (unsigned workers : {2u, 3u}) {
        SetRowWorkers(workers);
        OwnedBlock several(run(source.get()));
        ASSERT_TRUE(one && several) << workers << " workers";
        EXPECT_EQ(testimg::Bytes(several.get()), testimg::Bytes(one.get())) << workers;
      }
      one = OwnedBlock();
      EXPECT_EQ(recorder::LiveBlocks(), live);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, RowBandsTest, testing::ValuesIn(testimg::kDepths),
                         testimg::DepthName);

}  // namespace
