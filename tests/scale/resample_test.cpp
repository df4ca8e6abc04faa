#include "scale/resample.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "resources/text_ids.h"
#include "tests/support/images.h"
#include "tests/support/recorder.h"

namespace {

using Line = std::vector<uint8_t>;

// --- The reference: the two rules evaluated directly, per result sample, with 64-bit sums. ---

// Box rule by overlap: on a line of n × m units, source sample i covers [i·m, (i+1)·m) and
// result sample j covers [j·n, (j+1)·n); the weights are the overlaps, their sum is n.
Line BoxLine(const Line& s, uint32_t m) {
  const uint64_t n = s.size();
  Line out(m);
  for (uint64_t j = 0; j < m; ++j) {
    uint64_t sum = 0;
    for (uint64_t i = 0; i < n; ++i) {
      const uint64_t lo = std::max(i * m, j * n), hi = std::min((i + 1) * m, (j + 1) * n);
      if (hi > lo) sum += s[i] * (hi - lo);
    }
    out[j] = static_cast<uint8_t>(sum / n);
  }
  return out;
}

// Quadratic rule: result j at source position j(n−1)/(m−1) = k + p/D, weights (D−p)² and p².
Line QuadraticLine(const Line& s, uint32_t m) {
  const uint64_t n = s.size(), d = m - 1;
  Line out(m);
  for (uint64_t j = 0; j < m; ++j) {
    const uint64_t k = j * (n - 1) / d, p = j * (n - 1) % d;
    const uint64_t left = (d - p) * (d - p), right = p * p;
    const uint64_t sum = s[k] * left + (right ? s[k + 1] * right : 0);
    out[j] = static_cast<uint8_t>(sum / (left + right));
  }
  return out;
}

Line ReferenceLine(const Line& s, uint32_t m) { return m <= s.size() ? BoxLine(s, m) : QuadraticLine(s, m); }

// An image as channel values: pixels[(y × width + x) × channels + c], y from the top, channels in
// result order (blue, green, red[, fourth]) or the grey value.
struct Planes {
  uint32_t width = 0, height = 0;
  unsigned channels = 0;
  Line pixels;
  uint8_t& At(uint32_t x, uint32_t y, unsigned c) { return pixels[(size_t{y} * width + x) * channels + c]; }
  uint8_t At(uint32_t x, uint32_t y, unsigned c) const { return pixels[(size_t{y} * width + x) * channels + c]; }
};

Planes ChannelsOf(const DibView& v, bool grey) {
  Planes p{v.width, v.height, grey ? 1u : v.bits == 32 ? 4u : 3u, {}};
  p.pixels.resize(size_t{p.width} * p.height * p.channels);
  for (uint32_t y = 0; y < v.height; ++y)
    for (uint32_t x = 0; x < v.width; ++x) {
      const uint32_t value = testimg::GetPixel(v, x, y);
      if (v.bits <= 8) {
        const RgbQuad e = v.colors[value];
        const uint8_t bgr[3] = {e.rgbBlue, e.rgbGreen, e.rgbRed};
        for (unsigned c = 0; c < p.channels; ++c) p.At(x, y, c) = grey ? e.rgbRed : bgr[c];
      } else {
        for (unsigned c = 0; c < p.channels; ++c) p.At(x, y, c) = static_cast<uint8_t>(value >> (8 * c));
      }
    }
  return p;
}

// Width pass (whenever the width changes or the height stays), then height pass.
Planes Reference(Planes in, uint32_t w, uint32_t h) {
  if (w != in.width || h == in.height) {
    Planes out{w, in.height, in.channels, Line(size_t{w} * in.height * in.channels)};
    for (uint32_t y = 0; y < in.height; ++y)
      for (unsigned c = 0; c < in.channels; ++c) {
        Line row(in.width);
        for (uint32_t x = 0; x < in.width; ++x) row[x] = in.At(x, y, c);
        const Line r = ReferenceLine(row, w);
        for (uint32_t x = 0; x < w; ++x) out.At(x, y, c) = r[x];
      }
    in = out;
  }
  if (h != in.height) {
    Planes out{in.width, h, in.channels, Line(size_t{in.width} * h * in.channels)};
    for (uint32_t x = 0; x < in.width; ++x)
      for (unsigned c = 0; c < in.channels; ++c) {
        Line column(in.height);
        for (uint32_t y = 0; y < in.height; ++y) column[y] = in.At(x, y, c);
        const Line r = ReferenceLine(column, h);
        for (uint32_t y = 0; y < h; ++y) out.At(x, y, c) = r[y];
      }
    in = out;
  }
  return in;
}

// A random image whose colour table is random too, so that every channel of every entry differs.
HostBlock RandomImage(unsigned bits, uint32_t width, uint32_t height, uint32_t seed) {
  HostBlock block = testimg::Make(bits, width, height, seed);
  testimg::View view(block);
  std::mt19937 rng(seed * 7 + 1);
  for (uint32_t i = 0; i < view.v.colorCount; ++i)
    view.v.colors[i] = {uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), 0};
  return block;
}

HostBlock Scale(HostBlock source, uint32_t w, uint32_t h, bool grey) {
  testimg::View v(source);
  ScaleOperation op = SCL_ChooseOperation(v.v.width, v.v.height, w, h);
  v.lock.unlock();
  return (op ? op : SCL_ShrinkWidth)(source, w, h, grey, nullptr);  // same size: a conversion
}

// Checks the whole result block: a fresh header, the grey ramp, pixels, zero padding, exact size.
void ExpectResult(HostBlock result, const Planes& want, bool grey, const std::string& what) {
  ASSERT_NE(result, nullptr) << what;
  testimg::View r(result);
  ASSERT_NE(r.v.header, nullptr) << what;
  const BitmapInfoHeader& h = *r.v.header;
  EXPECT_EQ(h.biBitCount, grey ? 8 : want.channels * 8) << what;
  EXPECT_EQ(h.biClrUsed, grey ? 256u : 0u) << what;
  EXPECT_EQ(h.biXPelsPerMeter | h.biYPelsPerMeter | static_cast<int32_t>(h.biClrImportant), 0) << what;
  EXPECT_EQ(HP_Size(result), 40 + h.biClrUsed * 4 + h.biSizeImage) << what;
  for (uint32_t i = 0; i < r.v.colorCount; ++i)
    EXPECT_TRUE(r.v.colors[i].rgbRed == i && r.v.colors[i].rgbGreen == i && r.v.colors[i].rgbBlue == i &&
                r.v.colors[i].rgbReserved == 0) << what << " ramp " << i;
  ASSERT_EQ(r.v.width, want.width) << what;
  ASSERT_EQ(r.v.height, want.height) << what;
  int wrong = 0;
  for (uint32_t y = 0; y < want.height; ++y)
    for (uint32_t x = 0; x < want.width; ++x) {
      const uint32_t value = testimg::GetPixel(r.v, x, y);
      for (unsigned c = 0; c < want.channels; ++c) {
        const uint8_t g = grey ? static_cast<uint8_t>(value) : static_cast<uint8_t>(value >> (8 * c));
        const uint8_t e = want.At(x, y, c);
        if (g != e && ++wrong <= 3)
          ADD_FAILURE() << what << ": pixel (" << x << ", " << y << ") channel " << c << " is " << int(g)
                        << ", expected " << int(e);
      }
    }
  for (uint32_t y = 0; y < r.v.height; ++y)
    for (size_t i = size_t{want.channels} * want.width; i < r.v.stride; ++i)
      EXPECT_EQ(r.v.Row(y)[i], 0) << what << " padding of row " << y;
}

class ResampleByDepth : public ::testing::TestWithParam<unsigned> {
 protected:
  void SetUp() override { recorder::Reset(); }
};

TEST_P(ResampleByDepth, MatchesTheReferenceOnRandomImages) {
  const unsigned bits = GetParam();
  // Sides from one sample up, shrinking, enlarging and keeping, with widths that end inside a
  // byte at 1 and 4 bits.
  const uint32_t pairs[][2] = {{1, 1}, {1, 4}, {2, 4}, {5, 2}, {4, 2}, {2, 1}, {7, 7},  {8, 3},
                               {9, 16}, {16, 9}, {17, 33}, {33, 5}, {13, 12}, {12, 13}, {3, 10}};
  const size_t count = std::size(pairs);
  for (bool grey : {false, true}) {
    if (grey && bits > 8) continue;
    for (size_t i = 0; i < count; ++i)
      for (size_t j : {i, (i * 7 + 3) % count, (i * 11 + 5) % count}) {
        const uint32_t W = pairs[i][0], w = pairs[i][1], H = pairs[j][0], h = pairs[j][1];
        const std::string what = std::to_string(bits) + (grey ? " grey " : " colour ") + std::to_string(W) +
                                 "x" + std::to_string(H) + " -> " + std::to_string(w) + "x" + std::to_string(h);
        OwnedBlock source(RandomImage(bits, W, H, static_cast<uint32_t>(i * 31 + j + bits)));
        const std::vector<uint8_t> before = testimg::Bytes(source.get());
        Planes want;
        {
          testimg::View s(source.get());
          want = Reference(ChannelsOf(s.v, grey), w, h);
        }
        OwnedBlock result(Scale(source.get(), w, h, grey));
        ExpectResult(result.get(), want, grey, what);
        EXPECT_EQ(testimg::Bytes(source.get()), before) << what << ": the source changed";
      }
  }
  EXPECT_TRUE(recorder::Messages().empty());
  EXPECT_EQ(recorder::OpenLocks(), 0);
}

// The two-axis operation is a width pass followed by a height pass through the same rules.
TEST_P(ResampleByDepth, BothAxesEqualWidthThenHeight) {
  const unsigned bits = GetParam();
  const uint32_t sizes[][4] = {{9, 7, 4, 15}, {6, 11, 13, 3}, {10, 10, 3, 3}, {3, 4, 12, 14}};
  for (bool grey : {false, true}) {
    if (grey && bits > 8) continue;
    for (const auto& s : sizes) {
      OwnedBlock source(RandomImage(bits, s[0], s[1], s[2] * 100 + bits));
      OwnedBlock both(SCL_ScaleBoth(source.get(), s[2], s[3], grey, nullptr));
      OwnedBlock widthOnly((s[2] < s[0] ? SCL_ShrinkWidth : SCL_EnlargeWidth)(source.get(), s[2], s[1], grey, nullptr));
      OwnedBlock twoPasses(SCL_ScaleHeight(widthOnly.get(), s[2], s[3], grey, nullptr));
      EXPECT_EQ(testimg::Bytes(both.get()), testimg::Bytes(twoPasses.get())) << bits << " bits, grey " << grey;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, ResampleByDepth, ::testing::ValuesIn(testimg::kDepths),
                         [](const auto& info) { return std::to_string(info.param) + "bit"; });

// An 8-bit source whose palette maps index i to grey i, scaled in grey mode: the values in and
// out are plain numbers.
HostBlock GreyLine(const Line& values, bool vertical) {
  const uint32_t n = static_cast<uint32_t>(values.size());
  HostBlock block = testimg::Make(8, vertical ? 1 : n, vertical ? n : 1, 1);
  testimg::View v(block);
  for (uint32_t i = 0; i < 256; ++i) v.v.colors[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
  for (uint32_t i = 0; i < n; ++i) testimg::SetPixel(v.v, vertical ? 0 : i, vertical ? i : 0, values[i]);
  return block;
}

TEST(Resample, WorkedExamples) {
  struct Case {
    Line in, out;
  } cases[] = {
      {{10, 20, 30, 40, 50}, {18, 42}},   // (2·10 + 2·20 + 30) div 5, (30 + 2·40 + 2·50) div 5
      {{0, 255}, {0, 51, 204, 255}},      // s0, (4·s0 + s1) div 5, (s0 + 4·s1) div 5, s1
      {{200, 100}, {200, 180, 120, 100}},
      {{10, 21, 30, 41}, {15, 35}},       // pairwise means, truncated
      {{255, 0}, {127}},
      {{77}, {77, 77, 77, 77}},           // one sample: every result is that sample
  };
  for (const Case& c : cases)
    for (bool vertical : {false, true}) {
      OwnedBlock source(GreyLine(c.in, vertical));
      const uint32_t m = static_cast<uint32_t>(c.out.size());
      OwnedBlock result(vertical ? SCL_ScaleHeight(source.get(), 1, m, true, nullptr)
                                 : Scale(source.get(), m, 1, true));
      testimg::View r(result.get());
      ASSERT_EQ(r.v.bits, 8u);
      Line got;
      for (uint32_t i = 0; i < m; ++i) got.push_back(uint8_t(testimg::GetPixel(r.v, vertical ? 0 : i, vertical ? i : 0)));
      EXPECT_EQ(got, c.out) << (vertical ? "rows " : "columns ") << c.in.size() << " -> " << m;
    }
}

TEST(Resample, ProgressOpensStepsEvery16thAndTheLastRowAndCloses) {
  struct Case {
    ScaleOperation op;
    uint32_t w, h;
    const char* open;
  } cases[] = {{SCL_ShrinkWidth, 3, 40, "open 4130"},
               {SCL_EnlargeWidth, 9, 40, "open 4130"},
               {SCL_ScaleHeight, 5, 40, "open 4131"},
               {SCL_ScaleBoth, 2, 40, "open 4132"}};
  OwnedBlock source(testimg::Make(24, 5, 40, 3));
  OwnedBlock shortSource(testimg::Make(24, 5, 7, 3));
  int owner;
  for (const Case& c : cases) {
    recorder::Reset();
    OwnedBlock result(c.op(c.op == SCL_ScaleHeight || c.op == SCL_ScaleBoth ? shortSource.get() : source.get(),
                           c.w, c.h, false, &owner));
    const std::vector<std::string> want = {c.open,    "range 40", "step 0",  "step 16",
                                           "step 32", "step 39",  "step 40", "close"};
    EXPECT_EQ(recorder::ProgressAndMessages(), want) << c.open;
    EXPECT_EQ(recorder::LastProgressOwner(), &owner);
  }
}

TEST(Resample, EveryAllocationFailureIsReportedOnceAndLeavesNothing) {
  struct Case {
    ScaleOperation op;
    unsigned bits;
    uint32_t W, H, w, h;
    int points;  // allocations that can fail
  } cases[] = {{SCL_ShrinkWidth, 4, 9, 5, 4, 5, 2},   {SCL_EnlargeWidth, 1, 9, 5, 20, 5, 2},
               {SCL_ScaleHeight, 8, 9, 5, 9, 3, 2},   {SCL_ScaleHeight, 8, 9, 5, 9, 8, 1},
               {SCL_ScaleBoth, 32, 9, 5, 4, 8, 2}};
  for (const Case& c : cases) {
    OwnedBlock source(testimg::Make(c.bits, c.W, c.H, 9));
    const std::vector<uint8_t> before = testimg::Bytes(source.get());
    const int live = recorder::LiveBlocks();
    bool produced = false;
    const int points = testimg::ForEachAllocationFailure(
        [&] {
          HostBlock result = c.op(source.get(), c.w, c.h, true, nullptr);
          produced = result != nullptr;
          HP_Free(result);
        },
        [&](int n) {
          EXPECT_FALSE(produced) << "failure " << n;
          const std::vector<std::string> log = recorder::ProgressAndMessages();
          EXPECT_EQ(recorder::Messages(), std::vector<unsigned>{IDS_SCALE_HIGH_NO_MEMORY}) << "failure " << n;
          ASSERT_FALSE(log.empty());
          // The width operations allocate everything before the meter opens, the others their
          // result before it and their scratch after it: only a scratch failure there shows one.
          const bool widthOnly = c.op == SCL_ShrinkWidth || c.op == SCL_EnlargeWidth;
          const std::vector<std::string> meter = {"open " + std::to_string(widthOnly ? 4130 : c.op == SCL_ScaleHeight ? 4131 : 4132),
                                                  "range " + std::to_string(c.h), "close", "message 2561"};
          EXPECT_EQ(log, !widthOnly && n == 2 ? meter : std::vector<std::string>{"message 2561"}) << "failure " << n;
          EXPECT_EQ(recorder::LiveBlocks(), live) << "failure " << n;
          EXPECT_EQ(recorder::OpenLocks(), 0) << "failure " << n;
          EXPECT_EQ(testimg::Bytes(source.get()), before) << "failure " << n;
        });
    EXPECT_EQ(points, c.points) << c.bits << " bits " << c.W << "x" << c.H << " -> " << c.w << "x" << c.h;
  }
}

TEST(Resample, RefusesEmptyAndOversizedTargetsWithoutAllocating) {
  OwnedBlock source(testimg::Make(24, 4, 4, 1));
  struct Case {
    uint32_t w, h;
    unsigned message;
  } cases[] = {{0, 4, IDS_SCALE_ZERO_SIZE},
               {4, 0, IDS_SCALE_ZERO_SIZE},
               {kMaxScaledSide + 1, 4, IDS_IMAGE_TOO_LARGE},
               {4, kMaxScaledSide + 1, IDS_IMAGE_TOO_LARGE},
               {70000, 70000, IDS_IMAGE_TOO_LARGE}};  // beyond a 32-bit image size
  for (const Case& c : cases)
    for (ScaleOperation op : {SCL_ShrinkWidth, SCL_EnlargeWidth, SCL_ScaleHeight, SCL_ScaleBoth}) {
      recorder::Reset();
      EXPECT_EQ(op(source.get(), c.w, c.h, false, nullptr), nullptr);
      EXPECT_EQ(recorder::Calls(), std::vector<std::string>{"message " + std::to_string(c.message)})
          << c.w << " x " << c.h;
    }
}

// An index past a short colour table reads black, never the bytes after the table.
TEST(Resample, IndicesPastAShortTableAreBlack) {
  const uint8_t bytes[] = {40, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 8, 0, 0, 0, 0, 0, 4, 0, 0, 0,
                           0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,  // 2 × 1, 8 bits, 1 colour
                           30, 60, 90, 0,                                     // the table
                           0, 200, 0, 0};                                     // indices 0 and 200
  OwnedBlock source(HP_Alloc(sizeof bytes, HP_MOVEABLE));
  {
    BlockLock lock(source.get());
    std::memcpy(lock.get(), bytes, sizeof bytes);
  }
  OwnedBlock result(SCL_ShrinkWidth(source.get(), 1, 1, false, nullptr));
  testimg::View r(result.get());
  ASSERT_NE(r.v.header, nullptr);
  EXPECT_EQ(testimg::GetPixel(r.v, 0, 0), 0x2D1E0Fu);  // (30, 60, 90) div 2 per channel, blue first
}

// Enlarging to 4,105 samples is the last size whose products fit 32 bits; beyond it the result
// must still follow the rule, where 32-bit sums would wrap around.
TEST(Resample, EnlargesExactlyOnBothSidesOfTheOverflowBoundary) {
  for (uint32_t m : {4105u, 4106u, 5000u})
    for (bool vertical : {false, true}) {
      const Line in = {255, 254, 3, 255};
      OwnedBlock source(GreyLine(in, vertical));
      OwnedBlock result(vertical ? SCL_ScaleHeight(source.get(), 1, m, true, nullptr)
                                 : SCL_EnlargeWidth(source.get(), m, 1, true, nullptr));
      testimg::View r(result.get());
      const Line want = QuadraticLine(in, m);
      int wraps = 0;
      for (uint32_t j = 0; j < m; ++j) {
        ASSERT_EQ(testimg::GetPixel(r.v, vertical ? 0 : j, vertical ? j : 0), want[j]) << m << " sample " << j;
        // What 32-bit arithmetic would give.
        const uint64_t d = m - 1, k = j * 3ull / d, p = j * 3ull % d;
        const uint32_t left = uint32_t((d - p) * (d - p)), right = uint32_t(p * p);
        const uint32_t sum = in[k] * left + (right ? in[k + 1] * right : 0);
        wraps += sum / (left + right) != want[j];
      }
      EXPECT_EQ(wraps > 0, m > 4105) << m << (vertical ? " rows" : " columns");
    }
}

}  // namespace
