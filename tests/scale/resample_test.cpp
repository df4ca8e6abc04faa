#include "scale/resample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "resources/text_ids.h"
#include "scale/kernels.h"
#include "tests/support/images.h"
#include "tests/support/recorder.h"

namespace {

using Line = std::vector<uint8_t>;

// --- The reference: the two rules evaluated directly, per result sample, with 64-bit sums. ---

// Box rule by overlap: on a line of n × m units, source sample i covers [i·m, (i+1)·m) and
// result sample j covers [j·n, (j+1)·n); the weights are the overlaps, their sum is n.
// Quadratic rule (enlarging): result j at source position j(n−1)/(m−1) = k + p/D, weights (D−p)²
// and p².
Line ReferenceLine(const Line& s, uint32_t m) {
  const uint64_t n = s.size(), d = m - 1;
  Line out(m);
  for (uint64_t j = 0; j < m; ++j) {
    uint64_t sum = 0, total = n;
    if (m <= n) {
      for (uint64_t i = 0; i < n; ++i) {
        const uint64_t lo = std::max(i * m, j * n), hi = std::min((i + 1) * m, (j + 1) * n);
        if (hi > lo) sum += s[i] * (hi - lo);
      }
    } else {
      const uint64_t k = j * (n - 1) / d, p = j * (n - 1) % d, left = (d - p) * (d - p),
                     right = p * p;
      sum = s[k] * left + (right ? s[k + 1] * right : 0), total = left + right;
    }
    out[j] = static_cast<uint8_t>(sum / total);
  }
  return out;
}

// One channel plane, rows from the top: the width pass whenever the width changes or the height
// stays, then the height pass down each column.
std::vector<Line> ReferencePlane(std::vector<Line> rows, uint32_t w, uint32_t h) {
  if (w != rows[0].size() || h == rows.size())
    for (Line& row : rows) row = ReferenceLine(row, w);
  if (h == rows.size()) return rows;
  std::vector<Line> out(h, Line(w));
  for (uint32_t x = 0; x < w; ++x) {
    Line column;
    for (const Line& row : rows) column.push_back(row[x]);
    const Line r = ReferenceLine(column, h);
    for (uint32_t y = 0; y < h; ++y) out[y][x] = r[y];
  }
  return out;
}

// Channel c of pixel (x, y) in result order (blue, green, red[, fourth]), or the grey value (red).
uint8_t Channel(const DibView& v, uint32_t x, uint32_t y, unsigned c, bool grey) {
  const uint32_t value = testimg::GetPixel(v, x, y);
  if (v.bits > 8) return static_cast<uint8_t>(value >> (8 * c));
  const RgbQuad e = v.colors[value];
  return grey || c == 2 ? e.rgbRed : c ? e.rgbGreen : e.rgbBlue;
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
  return (op ? op : SCL_ScaleWidth)(source, w, h, grey, nullptr);  // same size: a conversion
}

class ResampleByDepth : public ::testing::TestWithParam<unsigned> {};

// Whole result blocks against the reference: a fresh header, the grey ramp, every channel of
// every pixel, zero padding, the exact block size; the source unchanged.
TEST_P(ResampleByDepth, MatchesTheReferenceOnRandomImages) {
  const unsigned bits = GetParam();
  recorder::Reset();
  // Sides from one sample up, shrinking, enlarging and keeping, with widths that end inside a
  // byte at 1 and 4 bits.
  const uint32_t pairs[][2] = {{1, 1},   {1, 4},  {2, 4},   {5, 2},   {4, 2},
                               {2, 1},   {7, 7},  {8, 3},   {9, 16},  {16, 9},
                               {17, 33}, {33, 5}, {13, 12}, {12, 13}, {3, 10}};
  const size_t count = std::size(pairs);
  for (bool grey : {false, true}) {
    if (grey && bits > 8) continue;
    const unsigned channels = grey ? 1 : bits == 32 ? 4 : 3;
    for (size_t i = 0; i < count; ++i)
      for (size_t j : {i, (i * 7 + 3) % count, (i * 11 + 5) % count}) {
        const uint32_t W = pairs[i][0], w = pairs[i][1], H = pairs[j][0], h = pairs[j][1];
        SCOPED_TRACE(
            testimg::Cat(bits, grey ? " grey " : " colour ", W, "x", H, " -> ", w, "x", h));
        OwnedBlock source(RandomImage(bits, W, H, static_cast<uint32_t>(i * 31 + j + bits)));
        const std::vector<uint8_t> before = testimg::Bytes(source.get());
        std::vector<std::vector<Line>> want;
        {
          testimg::View s(source.get());
          for (unsigned c = 0; c < channels; ++c) {
            std::vector<Line> plane(H, Line(W));
            for (uint32_t y = 0; y < H; ++y)
              for (uint32_t x = 0; x < W; ++x) plane[y][x] = Channel(s.v, x, y, c, grey);
            want.push_back(ReferencePlane(plane, w, h));
          }
        }
        OwnedBlock result(Scale(source.get(), w, h, grey));
        EXPECT_EQ(testimg::Bytes(source.get()), before) << "the source changed";
        testimg::View r(result.get());
        ASSERT_NE(r.v.header, nullptr);
        const BitmapInfoHeader header = testimg::Header(channels * 8, w, h, grey ? 256 : 0);
        EXPECT_EQ(0, std::memcmp(r.v.header, &header, 40)) << "a fresh header";
        EXPECT_EQ(HP_Size(result.get()), PackedDibSize(header.biClrUsed * 4, channels * 8, w, h));
        for (uint32_t k = 0; k < r.v.colorCount; ++k)
          ASSERT_EQ(std::bit_cast<uint32_t>(r.v.colors[k]), k * 0x010101) << "ramp " << k;
        for (uint32_t y = 0; y < h; ++y)
          for (uint32_t x = 0; x < w; ++x)
            for (unsigned c = 0; c < channels; ++c)
              ASSERT_EQ(uint8_t(testimg::GetPixel(r.v, x, y) >> (8 * c)), want[c][y][x])
                  << "pixel (" << x << ", " << y << ") channel " << c;
        EXPECT_EQ(testimg::StrayPadding(r.v), "");
      }
  }
  EXPECT_TRUE(recorder::Messages().empty());
  EXPECT_EQ(recorder::OpenLocks(), 0);
}

// The vector kernels against the portable ones, byte for byte, on rows of exactly their bytes
// (a read past one trips the sanitizer) into a sentinel. Shrinks: every width to 300 at a few
// ratios, with rows of 255 where the ratio nears the vector kernel's bound of 128 and the lanes are
// fullest, and the largest sizes that kernel takes (m = 2^15 − 1, n = 128 × m − 1). Enlarges:
// every width to 120 at a few ratios and a row enlarged 4000 → 8000, whose weights have
// denominators up to 2^26 and include columns without a fixed weight. Row sums: loaded and added
// into a sentinel, for rows of every width to 300.
TEST_P(ResampleByDepth, VectorKernelsMatchThePortableOnes) {
#if IMAGE_SSE2
  const unsigned bits = GetParam();
  std::mt19937 random(bits);
  std::vector<RgbQuad> palette(256);
  for (RgbQuad& e : palette) e = {uint8_t(random()), uint8_t(random()), uint8_t(random()), 0};
  std::vector<std::array<uint32_t, 2>> sizes = {{4194175, 32767}, {4000, 8000}};
  for (uint32_t n = 1; n <= 300; ++n)
    for (uint32_t m : {1u, n / 3 + 1, n / 2 + 1, n - n / 4, n}) sizes.push_back({n, m});
  for (uint32_t n = 1; n <= 120; ++n)
    for (uint32_t m : {n + 1, 2 * n, 3 * n + 2, 37 * n + 5}) sizes.push_back({n, m});
  for (auto [n, m] : sizes)
    for (bool grey : {false, true}) {
      Line row((size_t{n} * bits + 7) / 8, 255);
      if (n < 127 * m)
        for (uint8_t& b : row) b = uint8_t(random());
      const size_t size = size_t{m} * ResultChannels(grey, bits == 32);
      std::vector<Line> portable(kShrinkRowsAtOnce, Line(size + 1, 0xAA)), vector = portable;
      if (m <= n) {
        // n mod 4 + 1 rows at once: the row and rotations of it.
        const unsigned count = n % kShrinkRowsAtOnce + 1;
        std::vector<Line> rows(count, row);
        const uint8_t* in[kShrinkRowsAtOnce];
        uint8_t* out[kShrinkRowsAtOnce];
        std::vector<ShrinkColumn> columns(m);
        SCL_BuildShrinkTables(n, m, columns.data());
        for (unsigned r = 0; r < count; ++r) {
          std::rotate(rows[r].begin(), rows[r].begin() + r % rows[r].size(), rows[r].end());
          in[r] = rows[r].data(), out[r] = vector[r].data();
          ShrinkRowPortable(n, m, bits, in[r], palette.data(), portable[r].data(), columns.data(),
                            grey);
        }
        ShrinkRowsSse2(n, m, bits, in, count, palette.data(), out, columns.data(), grey);
      } else {
        std::vector<EnlargeColumn> columns(m);
        SCL_BuildEnlargeTables(n, m, 0, m, columns.data());
        EnlargeRowPortable(n, m, bits, row.data(), palette.data(), portable[0].data(),
                           columns.data(), grey);
        EnlargeRowSse2(n, m, bits, row.data(), palette.data(), vector[0].data(), columns.data(),
                       grey);
      }
      ASSERT_EQ(portable, vector) << n << " -> " << m << (grey ? " grey" : "");
      // The row sums of a shrink down the columns, on both sides of the vector kernel's weights.
      for (uint32_t weight : {m, 0xFFFFu, 0x10000u})
        for (bool add : {false, true}) {
          if (n > 300) continue;
          std::vector<uint32_t> sums(n * ResultChannels(grey, bits == 32) + 1, 0xAAAAAAAA);
          std::vector<uint32_t> vectorSums = sums;
          AccumulateRowPortable(row.data(), weight, sums.data(), bits, n, palette.data(), grey,
                                add);
          AccumulateRowSse2(row.data(), weight, vectorSums.data(), bits, n, palette.data(), grey,
                            add);
          ASSERT_EQ(sums, vectorSums) << n << " x " << weight << (add ? " added" : "");
        }
    }
#else
  GTEST_SKIP() << "this build has the portable kernels only";
#endif
}

INSTANTIATE_TEST_SUITE_P(Depths, ResampleByDepth, ::testing::ValuesIn(testimg::kDepths),
                         testimg::DepthName);

// An 8-bit source whose palette maps index i to grey i, as one row or one column: scaled in grey
// mode, the values in and out are plain numbers.
Line ScaleGreyLine(const Line& values, uint32_t m, bool vertical) {
  const uint32_t n = static_cast<uint32_t>(values.size());
  OwnedBlock source(testimg::Make(8, vertical ? 1 : n, vertical ? n : 1, 1));
  {
    testimg::View v(source.get());
    for (uint32_t i = 0; i < 256; ++i) v.v.colors[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
    for (uint32_t i = 0; i < n; ++i)
      testimg::SetPixel(v.v, vertical ? 0 : i, vertical ? i : 0, values[i]);
  }
  OwnedBlock result(vertical ? SCL_ScaleHeight(source.get(), 1, m, true, nullptr)
                             : Scale(source.get(), m, 1, true));
  testimg::View r(result.get());
  Line got;
  for (uint32_t i = 0; r.v.header && i < m; ++i)
    got.push_back(uint8_t(testimg::GetPixel(r.v, vertical ? 0 : i, vertical ? i : 0)));
  return got;
}

// Enlarging to 4,105 samples is the last size whose products fit 32 bits; beyond it the result
// must still follow the rule, where 32-bit sums would wrap around, and across bands of columns.
TEST(Resample, WorkedExamplesAndTheOverflowBoundary) {
  const Line cases[][2] = {
      {{10, 20, 30, 40, 50}, {18, 42}},  // (2·10 + 2·20 + 30) div 5, (30 + 2·40 + 2·50) div 5
      {{0, 255}, {0, 51, 204, 255}},     // s0, (4·s0 + s1) div 5, (s0 + 4·s1) div 5, s1
      {{255, 0}, {127}},                 // truncated
      {{77}, {77, 77, 77, 77}},          // one sample: every result is that sample
  };
  const Line in = {255, 254, 3, 255};
  for (bool vertical : {false, true}) {
    for (const auto& c : cases)
      EXPECT_EQ(ScaleGreyLine(c[0], uint32_t(c[1].size()), vertical), c[1])
          << c[0].size() << " -> " << c[1].size();
    // Past 2^19 columns a width is made in bands of columns: the band start must continue the rule.
    for (uint32_t m : {4105u, 4106u, 5000u, (1u << 19) + 3})
      EXPECT_TRUE(ScaleGreyLine(in, m, vertical) == ReferenceLine(in, m))
          << m << " vertical " << vertical;
  }
}

// Every allocation fails in turn: the message once, nothing left. The width operations allocate
// everything before the meter opens, the others their result before it and their scratch after
// it: only a scratch failure there shows the meter. The run that succeeds steps the meter through
// rows 0, 16, 32, the last row and the height.
TEST(Resample, ProgressAndAllocationFailures) {
  const struct {
    ScaleOperation op;
    unsigned bits;
    std::string open;
    uint32_t W, H, w;
    int points;  // allocations that can fail
  } cases[] = {{SCL_ScaleWidth, 4, "open 4130", 9, 40, 4, 2},
               {SCL_ScaleWidth, 1, "open 4130", 9, 40, 20, 2},
               {SCL_ScaleHeight, 8, "open 4131", 9, 50, 9, 2},
               {SCL_ScaleHeight, 8, "open 4131", 9, 5, 9, 1},
               {SCL_ScaleBoth, 32, "open 4132", 9, 5, 4, 2}};
  using Log = std::vector<std::string>;
  int owner;
  for (const auto& c : cases) {
    SCOPED_TRACE(testimg::Cat(testimg::Describe(c.bits, c.W, c.H), " -> ", c.w, "x40"));
    OwnedBlock source(testimg::Make(c.bits, c.W, c.H, 9));
    const std::vector<uint8_t> before = testimg::Bytes(source.get());
    const int live = recorder::LiveBlocks();
    HostBlock result = nullptr;
    const bool widthOnly = c.op == SCL_ScaleWidth;
    const int points = testimg::ForEachAllocationFailure(
        [&] { HP_Free(result = c.op(source.get(), c.w, 40, true, &owner)); },
        [&](int n) {
          EXPECT_EQ(result, nullptr) << "failure " << n;
          const Log meter = {c.open, "range 40", "close", "message 2561"},
                    message = {"message 2561"};
          EXPECT_EQ(recorder::ProgressAndMessages(), !widthOnly && n == 2 ? meter : message)
              << "failure " << n;
          EXPECT_EQ(recorder::LiveBlocks(), live) << "failure " << n;
          EXPECT_EQ(recorder::OpenLocks(), 0) << "failure " << n;
        });
    EXPECT_EQ(points, c.points);
    EXPECT_NE(result, nullptr);
    EXPECT_EQ(recorder::ProgressAndMessages(), (Log{c.open, "range 40", "step 0", "step 16",
                                                    "step 32", "step 39", "step 40", "close"}));
    EXPECT_EQ(recorder::LastProgressOwner(), &owner);
    EXPECT_EQ(testimg::Bytes(source.get()), before);
  }
}

TEST(Resample, RefusesEmptyAndOversizedTargetsWithoutAllocating) {
  OwnedBlock source(testimg::Make(24, 4, 4, 1));
  const struct {
    uint32_t w, h;
    unsigned message;
  } cases[] = {{0, 4, IDS_SCALE_ZERO_SIZE},
               {4, 0, IDS_SCALE_ZERO_SIZE},
               {kMaxScaledSide + 1, 4, IDS_IMAGE_TOO_LARGE},
               {4, kMaxScaledSide + 1, IDS_IMAGE_TOO_LARGE},
               {70000, 70000, IDS_IMAGE_TOO_LARGE}};  // beyond a 32-bit image size
  for (const auto& c : cases)
    for (ScaleOperation op : {SCL_ScaleWidth, SCL_ScaleHeight, SCL_ScaleBoth}) {
      recorder::Reset();
      EXPECT_EQ(op(source.get(), c.w, c.h, false, nullptr), nullptr);
      EXPECT_EQ(recorder::Calls(), std::vector<std::string>{"message " + std::to_string(c.message)})
          << c.w << " x " << c.h;
    }
}

// An index past a short colour table reads black, never the bytes after the table.
TEST(Resample, IndicesPastAShortTableAreBlack) {
  const uint8_t bytes[] = {
      40, 0,   0,  0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 8, 0, 0, 0, 0, 0,
      4,  0,   0,  0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0,  // 2 × 1, 8 bits, 1 colour
      30, 60,  90, 0,                                                  // the table
      0,  200, 0,  0};                                                 // indices 0 and 200
  OwnedBlock source(HP_Alloc(sizeof bytes, HP_MOVEABLE));
  std::memcpy(BlockLock(source.get()).get(), bytes, sizeof bytes);
  OwnedBlock result(SCL_ScaleWidth(source.get(), 1, 1, false, nullptr));
  testimg::View r(result.get());
  ASSERT_NE(r.v.header, nullptr);
  EXPECT_EQ(testimg::GetPixel(r.v, 0, 0), 0x2D1E0Fu);  // (30, 60, 90) div 2 per channel, blue first
}

// The vector row blend against the portable one, byte for byte, for every difference −255 … 255
// in each channel layout, at every phase of short spans and at random phases of long ones (up to
// denominators beyond 2^40, where no fixed weight exists).
TEST(Resample, VectorBlendMatchesThePortableOne) {
#if IMAGE_SSE2
  std::mt19937_64 random(3);
  Line a(3 * 511 + 5), b(a.size());
  for (size_t i = 0; i < a.size(); ++i) {
    const int d = int(i % 511) - 255;
    a[i] = uint8_t(d < 0 ? -d : random() % (256 - d)), b[i] = uint8_t(a[i] + d);
  }
  for (uint64_t span :
       {2ull, 3ull, 17ull, 4104ull, 5999ull, 7999ull, 46341ull, 1ull << 21, (1ull << 28) - 1})
    for (int i = 0; i < 600; ++i) {
      const uint64_t phase = span < 600 ? i % span : random() % span;
      const uint64_t right = phase * phase, total = (span - phase) * (span - phase) + right;
      for (auto [format, grey] : {std::pair{24u, false}, {32u, false}, {24u, true}}) {
        const uint32_t width = uint32_t(a.size()) / ResultChannels(grey, format == 32);
        Line portable(a.size(), 0xAA), vector(a.size(), 0xAA);
        BlendRowsPortable(a.data(), b.data(), right, total, portable.data(), format, width, nullptr,
                          grey);
        BlendRowsSse2(a.data(), b.data(), right, total, vector.data(), format, width, nullptr,
                      grey);
        ASSERT_EQ(portable, vector) << right << " / " << total << " format " << format;
      }
    }
#else
  GTEST_SKIP() << "this build has the portable kernels only";
#endif
}

// Every quotient up to 255 and its neighbours, for small divisors and for large ones on both sides
// of each switch of method (the operations' tests reach only small divisors), by both divisors.
TEST(ExactDivisor, GivesTheQuotientForEveryNumeratorUpTo255TimesTheDivisor) {
  std::vector<uint64_t> divisors = {(1ull << 32) - 1, 1ull << 32,           (1ull << 32) + 1,
                                    (1ull << 24) - 1, 1ull << 24,           16851025,
                                    4104ull * 4104,   (1ull << 55) + 12345, (1ull << 23) - 1};
  for (uint64_t d = 1; d <= 64; ++d) divisors.push_back(d);
  std::mt19937_64 rng(5);
  for (int i = 0; i < 40; ++i) divisors.push_back(rng() >> (8 + i % 40) | 1);
  for (uint64_t d : divisors) {
    const ExactDivisor divide(d);
    const BoxDivisor box(d);
    std::vector<uint32_t> row, quotients;  // the vector row division, where n fits 32 bits
    for (uint64_t q = 0; q <= 255; ++q)
      for (uint64_t n : {q * d, q * d + 1, q * d + d - 1, q * d + d / 2})
        if (n <= 255 * d) {
          ASSERT_EQ(divide(n), n / d) << n << " / " << d;
          ASSERT_EQ(box(n), n / d) << n << " / " << d << " (box)";
          if (n >> 32 == 0) row.push_back(uint32_t(n)), quotients.push_back(uint32_t(n / d));
        }
#if IMAGE_SSE2
    DivideRowSse2(d, row.data(), row.size());
    ASSERT_EQ(row, quotients) << d;
#endif
  }
}

}  // namespace
