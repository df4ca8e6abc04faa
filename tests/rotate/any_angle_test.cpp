// Any-angle turns against a reference of the sampling geometry written out per sample in this
// file, plus sizes, result headers, fill colours, progress and allocation failures.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "resources/text_ids.h"
#include "rotate/any_angle_kernels.h"
#include "rotate/rotate.h"
#include "tests/support/result_checks.h"

namespace {

using testimg::GetPixel;

RotateFill Fill(int32_t index = 1) { return {10, 20, 30, index}; }

// Replaces the colour table with grey entries (red = green = blue), not in index order.
void MakeGrey(HostBlock block) {
  testimg::View s(block);
  for (uint32_t i = 0; i < s.v.colorCount; ++i) {
    const auto g = static_cast<uint8_t>(s.v.colorCount == 2 ? i * 255 : (i * 37 + 11) & 0xFF);
    s.v.colors[i] = {g, g, g, 0};
  }
}

// The geometry, sample by sample: positions in half pixels from the centres, halved downwards.
struct Reference {
  const DibView& src;
  RotateFill fill;
  float c, s, cxN, cyN;

  Reference(const DibView& source, uint32_t width, uint32_t height, int d, RotateFill f)
      : src(source), fill(f) {
    const double theta = d / 360.0 * 2.0 * 3.14159265;
    c = static_cast<float>(std::cos(theta)), s = static_cast<float>(std::sin(theta));
    cxN = static_cast<float>(width / 2.0), cyN = static_cast<float>(height / 2.0);
  }

  // The value (as GetPixel reads it) of the sample at offsets (ox, oy) of canvas pixel (x, k),
  // k a memory row, or the fill when it falls outside the picture.
  uint32_t Sample(uint32_t x, uint32_t k, double ox, double oy, bool& inside) const {
    const float u = static_cast<float>(x) - cxN, v = static_cast<float>(k) - cyN;
    const auto part = [](float a, float t, double o) { return std::trunc(2.0 * a * (t + o)); };
    const double sx = std::floor((part(c, u, ox) + part(s, v, oy)) / 2) + src.width / 2;
    const double sy = std::floor((part(c, v, oy) - part(s, u, ox)) / 2) + src.height / 2;
    inside = sx >= 0 && sx < src.width && sy >= 0 && sy < src.height;
    if (inside)
      return GetPixel(src, static_cast<uint32_t>(sx), src.height - 1 - static_cast<uint32_t>(sy));
    if (src.bits <= 8) return FillIndex();
    return fill.blue | fill.green << 8 | fill.red << 16 | (src.bits == 32 ? 0xFFu << 24 : 0);
  }

  // An index outside the table falls back to entry 0.
  uint32_t FillIndex() const {
    return fill.index >= 0 && uint32_t(fill.index) < src.colorCount ? uint32_t(fill.index) : 0;
  }

  // Memory row k at low quality; 8-bit rows stay fill once they have left the picture.
  std::vector<uint32_t> LowRow(uint32_t k, uint32_t width) const {
    std::vector<uint32_t> row(width);
    bool entered = false, left = false;
    for (uint32_t x = 0; x < width; ++x) {
      bool inside;
      row[x] = Sample(x, k, 0.5, 0.5, inside);
      left = left || (entered && !inside && src.bits == 8);
      entered = entered || inside;
      if (left) row[x] = FillIndex();
    }
    return row;
  }

  // Canvas pixel (x, k) at high quality: channel sums of the four samples, over 4.
  uint32_t High(uint32_t x, uint32_t k, bool grey) const {
    unsigned sum[4] = {0, 0, 0, 0};
    for (double oy : {0.25, 0.75})
      for (double ox : {0.25, 0.75}) {
        bool inside;
        const uint32_t value = Sample(x, k, ox, oy, inside);
        if (src.bits <= 8) {
          const RgbQuad q = src.colors[value];
          sum[0] += q.rgbBlue, sum[1] += q.rgbGreen, sum[2] += q.rgbRed;
        } else {
          for (int i = 0; i < 4; ++i) sum[i] += (value >> (8 * i)) & 0xFF;
        }
      }
    if (grey) return sum[2] >> 2;
    return (sum[0] >> 2) | (sum[1] >> 2) << 8 | (sum[2] >> 2) << 16 |
           (src.bits == 32 ? (sum[3] >> 2) << 24 : 0);
  }
};

struct Case {
  unsigned bits;
  bool greyPalette;
  int32_t fillIndex;
};
// Printed field by field, as gtest would otherwise print the padding bytes, which nothing sets.
void PrintTo(const Case& c, std::ostream* os) {
  *os << c.bits << " " << c.greyPalette << " " << c.fillIndex;
}

class AnyAngle : public testing::TestWithParam<Case> {};

// Each result against the reference, with the depth and colour table of its quality.
TEST_P(AnyAngle, MatchesTheReferenceGeometry) {
  const Case c = GetParam();
  const RotateFill fill = Fill(c.fillIndex);
  const uint32_t sizes[][2] = {{13, 9}, {8, 16}, {1, 1}, {2, 5}, {37, 23}};
  for (const auto& size : sizes) {
    OwnedBlock source(testimg::Make(c.bits, size[0], size[1], size[0] * 7 + c.bits));
    if (c.greyPalette) MakeGrey(source.get());
    testimg::View s(source.get());
    for (int d : {1, 30, 45, 90, 133, 180, 211, 270, 315, 359})
      for (uint16_t quality : {kQualityLow, kQualityHigh}) {
        SCOPED_TRACE(testimg::Cat(c.bits, " bits grey ", c.greyPalette, ", ", size[0], " x ",
                                  size[1], ", d = ", d, ", quality ", quality));
        OwnedBlock result(ROT_RotateAny(source.get(), quality, d, fill, nullptr));
        testimg::View r(result.get());
        ASSERT_NE(r.v.header, nullptr);
        const RotatedSize size2 = ROT_RotatedSize(size[0], size[1], d);
        ASSERT_EQ(int64_t{r.v.width}, size2.width);
        ASSERT_EQ(int64_t{r.v.height}, size2.height);
        const bool high = quality == kQualityHigh;
        const unsigned bits = !high ? c.bits : c.greyPalette ? 8 : c.bits == 32 ? 32 : 24;
        const uint32_t colors = !high ? s.v.colorCount : c.greyPalette ? 256 : 0;
        ASSERT_EQ(r.v.bits, bits);
        EXPECT_EQ(r.v.header->biClrUsed, colors);
        EXPECT_EQ(r.v.header->biClrImportant, high ? colors : s.v.header->biClrImportant);
        EXPECT_EQ(r.v.header->biXPelsPerMeter, s.v.header->biXPelsPerMeter);
        EXPECT_EQ(HP_Size(result.get()), PackedDibSize(colors * 4, bits, r.v.width, r.v.height));
        for (uint32_t i = 0; i < colors; ++i)  // a grey ramp at high quality
          ASSERT_EQ(std::bit_cast<uint32_t>(r.v.colors[i]),
                    high ? i * 0x010101 : std::bit_cast<uint32_t>(s.v.colors[i]))
              << "entry " << i;
        const Reference ref(s.v, r.v.width, r.v.height, d, fill);
        for (uint32_t k = 0; k < r.v.height; ++k) {
          const std::vector<uint32_t> low = ref.LowRow(k, r.v.width);
          for (uint32_t x = 0; x < r.v.width; ++x)
            ASSERT_EQ(GetPixel(r.v, x, r.v.height - 1 - k),
                      high ? ref.High(x, k, c.greyPalette) : low[x])
                << "pixel " << x << " of memory row " << k;
        }
        ASSERT_EQ(testimg::StrayPadding(r.v), "");
      }
  }
}

TEST_P(AnyAngle, FailsCleanlyWhenMemoryIsShort) {
  OwnedBlock source(testimg::Make(GetParam().bits, 7, 5, 3));
  // The image, the row table and four coefficient tables.
  for (uint16_t quality : {kQualityLow, kQualityHigh}) {
    const auto turn = [&] { return ROT_RotateAny(source.get(), quality, 30, Fill(), nullptr); };
    checks::ExpectCleanFailures(source.get(), turn, IDS_ROTATE_NO_MEMORY, 6);
  }
}

// The vector interior of high-quality colour rows against the portable one, byte for byte, over
// a sweep of widths; the rows start as a sentinel, so bytes written outside the span show too.
TEST_P(AnyAngle, VectorInteriorMatchesThePortableOne) {
#if IMAGE_SSE2
  const unsigned bits = GetParam().bits, n = bits == 32 ? 4 : 3;
  for (uint32_t w = 1; w <= 48; w += 1)
    for (int d : {30, 135, 251}) {
      OwnedBlock source(testimg::Make(bits, w, 13, w + bits));
      testimg::View s(source.get());
      const RotatedSize size = ROT_RotatedSize(w, 13, d);
      DibView dest;
      dest.width = static_cast<uint32_t>(size.width),
      dest.height = static_cast<uint32_t>(size.height);
      any_angle_kernels::Sampler sm;
      ASSERT_TRUE(sm.Prepare(s.v, dest, d / 360.0 * 2.0 * 3.14159265, 0.25, 0.75, Fill()));
      for (uint32_t y = 0; y < dest.height; ++y) {
        const any_angle_kernels::Span in = sm.Spans(y, true).inner;
        std::vector<uint8_t> portable(dest.width * n, 0xAA), vector(portable);
        any_angle_kernels::HighColorInsidePortable(sm, y, in, portable.data() + in.begin * n);
        any_angle_kernels::HighColorInsideSse2(sm, y, in, vector.data() + in.begin * n);
        ASSERT_EQ(portable, vector) << w << " wide, d = " << d << ", row " << y;
      }
    }
#else
  GTEST_SKIP() << "this build has the portable kernels only";
#endif
}

INSTANTIATE_TEST_SUITE_P(Sources, AnyAngle,
                         // Fill indices outside the table at 4 bits and in 8-bit grey.
                         testing::Values(Case{1, false, 1}, Case{1, true, 1}, Case{4, false, 300},
                                         Case{4, true, 1}, Case{8, false, 1}, Case{8, true, -1},
                                         Case{24, false, 1}, Case{32, false, 1}),
                         [](const auto& info) {
                           return std::to_string(info.param.bits) + "bit" +
                                  (info.param.greyPalette ? "Grey" : "");
                         });

TEST(AnyAngleSize, FollowsTheCorners) {
  struct {
    uint32_t w, h;
    int d;
    int64_t width, height;
  } cases[] = {
      {100, 100, 45, 141, 141},  // half-diagonal 70.7 each way
      {10, 4, 30, 11, 9},        // corners (5, 2) -> (5.33, -0.77) and (5, -2) -> (3.33, -4.23)
      {1, 1, 123, 1, 1},         // no half-size: every corner is the centre
      {640, 480, 180, 641, 481},
      // With 3.14159265 for pi, sin 150 degrees is a little above 0.5; a closer pi gives 3 x 1
      // and 5 x 7.
      {4, 1, 150, 3, 3},
      {8, 1, 300, 3, 7},
  };
  for (const auto& c : cases) {
    const RotatedSize size = ROT_RotatedSize(c.w, c.h, c.d);
    EXPECT_EQ(std::pair(size.width, size.height), std::pair(c.width, c.height))
        << c.w << " x " << c.h << " at " << c.d;
  }
}

TEST(AnyAngleProgress, HighQualityStepsEveryEighthRowAndTheLast) {
  OwnedBlock source(testimg::Make(24, 14, 14, 1));
  const auto owner = reinterpret_cast<HostWindow>(0x1234);
  recorder::Reset();
  OwnedBlock result(ROT_RotateAny(source.get(), kQualityHigh, 30, Fill(), owner));
  testimg::View r(result.get());
  ASSERT_EQ(r.v.height, 19u);
  const std::vector<std::string> expected = {"open 4129", "range 19", "step 0", "step 8", "step 16",
                                             "step 18",   "step 19",  "free",   "free",   "free",
                                             "free",      "free",     "close"};
  const auto& calls = recorder::Calls();
  ASSERT_EQ(calls.size(), 6 + expected.size()) << "the image and five tables are allocated first";
  EXPECT_EQ(std::vector<std::string>(calls.begin() + 6, calls.end()), expected);
  EXPECT_EQ(recorder::LastProgressOwner(), owner);

  recorder::Reset();
  OwnedBlock low(ROT_RotateAny(source.get(), kQualityLow, 30, Fill(), owner));
  EXPECT_TRUE(recorder::ProgressAndMessages().empty()) << "low quality shows no progress";
}

// The bytes of a few turns as the native build makes them; every build must make the same (the
// Windows builds use another C library's sine and cosine).
TEST(AnyAngleGeometry, GivesTheSameBytesOnEveryBuild) {
  struct {
    unsigned bits;
    uint16_t quality;
    int d;
    uint64_t hash;
  } cases[] = {
      {8, kQualityLow, 30, 12559799516116574190ull},
      {8, kQualityHigh, 30, 3006786549763239982ull},
      {24, kQualityLow, 137, 17242270972443346764ull},
      {24, kQualityHigh, 137, 9127119252752040363ull},
      {32, kQualityHigh, 251, 3763212710488488438ull},
      {1, kQualityHigh, 359, 885921561650411805ull},
  };
  for (const auto& c : cases) {
    OwnedBlock source(testimg::Make(c.bits, 23, 17, 9));
    OwnedBlock result(ROT_RotateAny(source.get(), c.quality, c.d, Fill(), nullptr));
    uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (uint8_t b : testimg::Bytes(result.get())) hash = (hash ^ b) * 1099511628211ull;
    EXPECT_EQ(hash, c.hash) << c.bits << " bits, quality " << c.quality << ", d = " << c.d;
  }
}

}  // namespace
