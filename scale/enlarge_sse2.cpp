// The SSE2 quadratic-weight enlarge: SCL_EnlargeRow for colour rows, one result pixel per step
// with its channels in the lanes of one register, and SCL_BlendRows for rows of bytes, sixteen at
// a time. Both compute a + ((b − a) × w + 128) >> 22 with the fixed weights of SCL_FixedWeight;
// columns and rows without one, grey enlarges along a row and palette rows go to the portable
// kernels.
#include <emmintrin.h>

#include <cstring>

#include "scale/kernels.h"
#include "scale/sample_readers.h"

namespace {

using namespace scale_kernels;

// w as the 16-bit pair (w >> 7, w & 127) that _mm_madd_epi16 multiplies by the pair
// (d × 128, d): both products and their sum, at most 255 × 2^22, fit its 32-bit lanes.
inline __m128i WeightPairs(uint32_t w) {
  return _mm_set1_epi32(static_cast<int>(w >> 7 | (w & 127) << 16));
}

// ((d × 128, d) · pairs + 128) >> 22 for the pairs of 16-bit lanes of `pairsOfD`, in 32 bits.
inline __m128i Quotients(__m128i pairsOfD, __m128i pairs) {
  return _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(pairsOfD, pairs), _mm_set1_epi32(128)), 22);
}

// a + ((b − a) × w + 128) >> 22 for the 16-bit lanes 0…3 of a and b, as 16-bit lanes 0…3.
inline __m128i Blend4(__m128i a, __m128i b, __m128i pairs) {
  const __m128i d = _mm_sub_epi16(b, a);
  const __m128i q = Quotients(_mm_unpacklo_epi16(_mm_slli_epi16(d, 7), d), pairs);
  return _mm_add_epi16(_mm_packs_epi32(q, q), a);
}

// The same for all eight 16-bit lanes.
inline __m128i Blend8(__m128i a, __m128i b, __m128i pairs) {
  const __m128i d = _mm_sub_epi16(b, a), scaled = _mm_slli_epi16(d, 7);
  const __m128i low = Quotients(_mm_unpacklo_epi16(scaled, d), pairs);
  const __m128i high = Quotients(_mm_unpackhi_epi16(scaled, d), pairs);
  return _mm_add_epi16(_mm_packs_epi32(low, high), a);
}

// The four bytes at `p` as 16-bit lanes 0…3; `four` says whether a fourth may be read (a 24-bit
// row ends three bytes after its last pixel starts; the lane it lands in is never stored).
inline __m128i LoadPixel(const uint8_t* p, bool four) {
  uint32_t bytes = 0;
  if (four)
    std::memcpy(&bytes, p, 4);
  else
    std::memcpy(&bytes, p, 3);
  return _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(bytes)), _mm_setzero_si128());
}

template <unsigned C, class Reader>
void EnlargeColour(Reader sample, const uint8_t* row, uint32_t n, uint32_t count,
                   const EnlargeColumn* columns, uint8_t* out) {
  // Palette entries always have four bytes; a 24-bit row's last pixel only three.
  const auto load = [&](uint32_t i) {
    return LoadPixel(sample(row, i), !kIsBytes<Reader> || C == 4 || i + 1 < n);
  };
  for (uint32_t j = 0; j < count; ++j, out += C) {
    const EnlargeColumn& column = columns[j];
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
    // A 24-bit result pixel's fourth byte is the next pixel's first, rewritten by it; the last
    // pixel writes three.
    if (C == 4 || j + 1 < count)
      std::memcpy(out, &pixel, 4);
    else
      std::memcpy(out, &pixel, 3);
  }
}

}  // namespace

void EnlargeRowSse2(uint32_t n, uint32_t count, unsigned format, const uint8_t* row,
                    const RgbQuad* palette, uint8_t* result, const EnlargeColumn* columns,
                    bool grey) {
  if (grey) return EnlargeRowPortable(n, count, format, row, palette, result, columns, grey);
  WithReader(format, palette, grey, [&](auto sample, auto channels) {
    constexpr unsigned C = decltype(channels)::value;
    if constexpr (C > 1) EnlargeColour<C>(sample, row, n, count, columns, result);
  });
}

void BlendRowsSse2(const uint8_t* a, const uint8_t* b, uint64_t right, uint64_t total,
                   uint8_t* result, unsigned format, uint32_t width, const RgbQuad* palette,
                   bool grey) {
  const uint32_t w = SCL_FixedWeight(right, total);
  if (format <= 8 || w == kNoFixedWeight)
    return BlendRowsPortable(a, b, right, total, result, format, width, palette, grey);
  const size_t count = size_t{ResultChannels(grey, format == 32)} * width;
  if (right == 0) {
    std::memcpy(result, a, count);
    return;
  }
  const __m128i pairs = WeightPairs(w), zero = _mm_setzero_si128();
  size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
    const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
    const __m128i low = Blend8(_mm_unpacklo_epi8(va, zero), _mm_unpacklo_epi8(vb, zero), pairs);
    const __m128i high = Blend8(_mm_unpackhi_epi8(va, zero), _mm_unpackhi_epi8(vb, zero), pairs);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(result + i), _mm_packus_epi16(low, high));
  }
  for (; i < count; ++i)
    result[i] = static_cast<uint8_t>(
        a[i] + ((static_cast<int>(b[i] - a[i]) * static_cast<int>(w) + 128) >> 22));
}
