// The SSE2 quadratic-weight enlarge: SCL_EnlargeRow, two colour pixels a step with the channels
// of each in four lanes (grey ones in plain integers), and SCL_BlendRows for rows of bytes,
// sixteen at a time. Both compute a + ((b − a) × w + c) >> 22 with the fixed weights of
// SCL_FixedWeight (c = 128). Columns without one are divided exactly; rows without one get a
// weight and c fitted to every quotient, or else (like palette rows) go to the portable kernels.
#include <emmintrin.h>

#include <algorithm>
#include <cstring>

#include "scale/kernels.h"
#include "scale/sample_readers.h"
#include "scale/sse2_pixels.h"

namespace {

using namespace scale_kernels;

// FixedWeightPair(w) in every lane: _mm_madd_epi16 multiplies the pairs (d × 128, d) by it, both
// products and their sum (at most 255 × 2^22 in magnitude) fitting its 32-bit lanes.
inline __m128i WeightPairs(uint32_t pair) { return _mm_set1_epi32(static_cast<int>(pair)); }

// ((d × 128, d) · pairs + c) >> 22 for the pairs of 16-bit lanes of `pairsOfD`, in 32 bits.
inline __m128i Quotients(__m128i pairsOfD, __m128i pairs, __m128i c) {
  return _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(pairsOfD, pairs), c), 22);
}

// a + ((b − a) × w + 128) >> 22 for the 16-bit lanes 0…3 of a and b, as 16-bit lanes 0…3.
inline __m128i Blend4(__m128i a, __m128i b, __m128i pairs) {
  const __m128i d = _mm_sub_epi16(b, a);
  const __m128i q =
      Quotients(_mm_unpacklo_epi16(_mm_slli_epi16(d, 7), d), pairs, _mm_set1_epi32(128));
  return _mm_add_epi16(_mm_packs_epi32(q, q), a);
}

// a + ((b − a) × w + c) >> 22 for all eight 16-bit lanes.
inline __m128i Blend8(__m128i a, __m128i b, __m128i pairs, __m128i c) {
  const __m128i d = _mm_sub_epi16(b, a), scaled = _mm_slli_epi16(d, 7);
  const __m128i low = Quotients(_mm_unpacklo_epi16(scaled, d), pairs, c);
  const __m128i high = Quotients(_mm_unpackhi_epi16(scaled, d), pairs, c);
  return _mm_add_epi16(_mm_packs_epi32(low, high), a);
}

// One result pixel; `four` says whether a fourth byte may be written (a 24-bit pixel's fourth
// byte is the next pixel's first, rewritten by it).
template <unsigned C, class Reader>
inline void OnePixel(Reader sample, const uint8_t* row, uint32_t n, const EnlargeColumn& column,
                     uint8_t* out, bool four) {
  // Palette entries always have four bytes; a 24-bit row's last pixel only three.
  const auto load = [&](uint32_t i) {
    return LoadPixel(sample(row, i), !kIsBytes<Reader> || C == 4 || i + 1 < n);
  };
  const uint32_t k = column.cursor;
  // The right sample is read only when it weighs something: the last column's cursor is n − 1.
  const uint32_t kRight = k + (column.right != 0);
  uint32_t pixel;
  if (column.fixed != kNoFixedWeight) {
    const __m128i a = load(k), b = load(kRight);
    const __m128i blend = Blend4(a, b, WeightPairs(column.fixed));
    pixel = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(blend, blend)));
  } else {
    const uint8_t *a = sample(row, k), *b = sample(row, kRight);
    const uint64_t left = column.total.divisor - column.right;
    uint8_t bytes[4] = {};
    for (unsigned c = 0; c < C; ++c)
      bytes[c] = static_cast<uint8_t>(column.total(a[c] * left + b[c] * column.right));
    std::memcpy(&pixel, bytes, 4);
  }
  if (C == 4 || four)
    std::memcpy(out, &pixel, 4);
  else
    std::memcpy(out, &pixel, 3);
}

// The left and right samples of result pixels j and j + 1 as bytes: left j, left j + 1 in the
// low eight bytes of `a`, the right ones likewise in `b`. Reads eight bytes from a row of bytes
// at each left sample (the right one follows it).
template <unsigned C, class Reader>
inline void LoadTwoPairs(Reader sample, const uint8_t* row, uint32_t k0, uint32_t k1, __m128i& a,
                         __m128i& b) {
  if constexpr (kIsBytes<Reader>) {
    const __m128i v0 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(sample(row, k0)));
    const __m128i v1 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(sample(row, k1)));
    a = _mm_unpacklo_epi32(v0, v1);
    b = _mm_unpacklo_epi32(_mm_srli_si128(v0, C), _mm_srli_si128(v1, C));
  } else {
    const auto entry = [&](uint32_t i) {
      uint32_t bytes;
      std::memcpy(&bytes, sample(row, i), 4);
      return _mm_cvtsi32_si128(static_cast<int>(bytes));
    };
    a = _mm_unpacklo_epi32(entry(k0), entry(k1));
    b = _mm_unpacklo_epi32(entry(k0 + 1), entry(k1 + 1));
  }
}

template <unsigned C, class Reader>
void EnlargeColour(Reader sample, const uint8_t* row, uint32_t n, uint32_t count,
                   const EnlargeColumn* columns, uint8_t* out) {
  const __m128i zero = _mm_setzero_si128(), rounding = _mm_set1_epi32(128);
  // Two pixels a step while eight bytes can be read at the second one's left sample (so the
  // right one can be read whatever its weight) and a pixel follows them, both with fixed weights.
  uint32_t end = count - 1;  // cursors only grow
  while (end > 0 && columns[end].cursor + 3 > n) --end;
  uint32_t j = 0;
  for (; j + 1 < end; j += 2, out += 2 * C) {
    const EnlargeColumn &c0 = columns[j], &c1 = columns[j + 1];
    if (c0.fixed == kNoFixedWeight || c1.fixed == kNoFixedWeight) {
      OnePixel<C>(sample, row, n, c0, out, true);
      OnePixel<C>(sample, row, n, c1, out + C, true);
      continue;
    }
    __m128i a, b;
    LoadTwoPairs<C>(sample, row, c0.cursor, c1.cursor, a, b);
    a = _mm_unpacklo_epi8(a, zero), b = _mm_unpacklo_epi8(b, zero);
    const __m128i d = _mm_sub_epi16(b, a), scaled = _mm_slli_epi16(d, 7);
    const __m128i q0 = Quotients(_mm_unpacklo_epi16(scaled, d), WeightPairs(c0.fixed), rounding);
    const __m128i q1 = Quotients(_mm_unpackhi_epi16(scaled, d), WeightPairs(c1.fixed), rounding);
    const __m128i bytes = _mm_packus_epi16(_mm_add_epi16(_mm_packs_epi32(q0, q1), a), zero);
    // A 24-bit pixel's fourth byte is the next pixel's first, rewritten by it.
    if constexpr (C == 4) {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out), bytes);
    } else {
      const auto first = static_cast<uint32_t>(_mm_cvtsi128_si32(bytes));
      const auto second = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(bytes, 4)));
      std::memcpy(out, &first, 4);
      std::memcpy(out + 3, &second, 4);
    }
  }
  for (; j < count; ++j, out += C) OnePixel<C>(sample, row, n, columns[j], out, j + 1 < count);
}

}  // namespace

void EnlargeRowSse2(uint32_t n, uint32_t count, unsigned format, const uint8_t* row,
                    const RgbQuad* palette, uint8_t* result, const EnlargeColumn* columns,
                    bool grey) {
  WithReader(format, palette, grey, [&](auto sample, auto channels) {
    constexpr unsigned C = decltype(channels)::value;
    if constexpr (C > 1) {
      EnlargeColour<C>(sample, row, n, count, columns, result);
    } else {
      // One channel fills one lane of four: the fixed weights in plain integers instead.
      for (uint32_t j = 0; j < count; ++j) {
        const EnlargeColumn& column = columns[j];
        const uint8_t a = *sample(row, column.cursor);
        if (column.fixed == kNoFixedWeight || column.right == 0) {
          EnlargeRowPortable(n, 1, format, row, palette, result + j, &column, grey);
        } else {
          const int d = *sample(row, column.cursor + 1) - a;
          const auto w = static_cast<int>((column.fixed & 0xFFFF) << 7 | column.fixed >> 16);
          result[j] = static_cast<uint8_t>(a + ((d * w + 128) >> 22));
        }
      }
    }
  });
}

namespace {

// A weight and rounding term for rows whose SCL_FixedWeight has none (a few in a hundred): for a
// weight w, the terms c for which (d × w + c) >> 22 gives every quotient form an interval, found
// in one pass over the quotients; the weights nearest right / total × 2^22 are tried.
bool FitRowWeight(uint64_t right, uint64_t total, uint32_t& w, int32_t& c) {
  constexpr int64_t kOne = int64_t{1} << 22;
  if (total >= (uint64_t{1} << 40)) return false;
  int16_t offset[511];
  SCL_BlendOffsets(right, total, offset);
  const auto nearest = static_cast<int64_t>(((right << 22) + total / 2) / total);
  for (int64_t candidate : {nearest, nearest - 1, nearest + 1}) {
    if (candidate < 0 || candidate >= kOne) continue;
    int64_t low = 0, high = kOne - 1;  // d = 0
    for (int d = -255; d <= 255; ++d) {
      const int64_t base = offset[255 + d] * kOne - d * candidate;
      low = std::max(low, base), high = std::min(high, base + kOne - 1);
    }
    if (low <= high) {
      w = static_cast<uint32_t>(candidate), c = static_cast<int32_t>(low);
      return true;
    }
  }
  return false;
}

}  // namespace

void BlendRowsSse2(const uint8_t* a, const uint8_t* b, uint64_t right, uint64_t total,
                   uint8_t* result, unsigned format, uint32_t width, const RgbQuad* palette,
                   bool grey) {
  uint32_t w = SCL_FixedWeight(right, total);
  int32_t c = 128;
  if (format <= 8 || (w == kNoFixedWeight && !FitRowWeight(right, total, w, c)))
    return BlendRowsPortable(a, b, right, total, result, format, width, palette, grey);
  const size_t count = size_t{ResultChannels(grey, format == 32)} * width;
  if (right == 0) {
    std::memcpy(result, a, count);
    return;
  }
  const __m128i pairs = WeightPairs(FixedWeightPair(w)), rounding = _mm_set1_epi32(c),
                zero = _mm_setzero_si128();
  size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    const __m128i low =
        Blend8(_mm_unpacklo_epi8(va, zero), _mm_unpacklo_epi8(vb, zero), pairs, rounding);
    const __m128i high =
        Blend8(_mm_unpackhi_epi8(va, zero), _mm_unpackhi_epi8(vb, zero), pairs, rounding);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(result + i), _mm_packus_epi16(low, high));
  }
  for (; i < count; ++i)
    result[i] = static_cast<uint8_t>(
        a[i] + ((static_cast<int>(b[i] - a[i]) * static_cast<int>(w) + c) >> 22));
}
