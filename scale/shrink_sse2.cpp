// The SSE2 box average of SCL_ShrinkRow for colour rows: one result pixel per step, its channels
// side by side in the lanes of one register. Grey rows (one channel would use one lane of four)
// and rows outside the ranges below go to the portable kernel.
#include <emmintrin.h>

#include <cstring>
#include <type_traits>

#include "scale/kernels.h"
#include "scale/sample_readers.h"
#include "scale/sse2_pixels.h"

namespace {

using namespace scale_kernels;

// Every product fits the 16-bit lanes of _mm_madd_epi16 and the 32-bit lanes of its sums when
// m < 2^15 (the weights `first`, `last` and m) and n < 128 × m (at most 127 whole samples, whose
// sum stays below 2^15); then n < 2^22, so BoxDivisor's reciprocal is below 2^31 and
// _mm_mul_epu32 takes it. Larger sizes, far from any picture this shrinks, stay portable.
template <unsigned C, class Reader>
void ShrinkColour(Reader sample, const uint8_t* row, uint32_t n, uint32_t m,
                  const ShrinkColumn* columns, uint8_t* out) {
  const BoxDivisor divide(n);
  const __m128i shift = _mm_cvtsi32_si128(static_cast<int>(divide.shift));
  const __m128i wholeWeight = _mm_set1_epi32(static_cast<int>(m));
  const __m128i reciprocal = _mm_set1_epi32(static_cast<int>(divide.reciprocal));
  // The reader's bytes may run to the row's end only in a 24-bit row; palette entries have four.
  // Every sample of a column but the last lies before the row's last sample (the last column
  // spans two samples at least, unless m = n and each column is one sample): `inside` says so.
  const auto pixel = [&](const ShrinkColumn& column, uint32_t& cursor, auto inside) {
    const auto load = [&](uint32_t i) {
      return LoadPixel(sample(row, i),
                       decltype(inside)::value || !kIsBytes<Reader> || C == 4 || i + 1 < n);
    };
    const __m128i first = load(cursor++);
    __m128i whole = _mm_setzero_si128();
    for (uint32_t k = 0; k < column.fullCount; ++k) whole = _mm_add_epi16(whole, load(cursor++));
    // The shared sample is read only when it weighs something: the last column's cursor is n.
    const __m128i last = column.last != 0 ? load(cursor) : _mm_setzero_si128();
    // Lanes of 16-bit pairs (first sample, last sample) × (first, last), and (whole sum, 0) × m.
    const __m128i ends = _mm_set1_epi32(static_cast<int>(column.first | column.last << 16));
    const __m128i acc =
        _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(first, last), ends),
                      _mm_madd_epi16(_mm_unpacklo_epi16(whole, _mm_setzero_si128()), wholeWeight));
    // (acc × reciprocal) >> shift in 64 bits, channels 0 and 2, then 1 and 3.
    const __m128i even = _mm_srl_epi64(_mm_mul_epu32(acc, reciprocal), shift);
    const __m128i odd = _mm_srl_epi64(_mm_mul_epu32(_mm_srli_epi64(acc, 32), reciprocal), shift);
    __m128i bytes = _mm_or_si128(even, _mm_slli_epi64(odd, 32));
    bytes = _mm_packus_epi16(_mm_packs_epi32(bytes, bytes), bytes);
    return static_cast<uint32_t>(_mm_cvtsi128_si32(bytes));
  };
  uint32_t cursor = 0;
  // A 24-bit result pixel's fourth byte is the next pixel's first, rewritten by it; the last
  // pixel writes three, leaving the padding after it.
  for (uint32_t j = 0; j + 1 < m; ++j, out += C) {
    const uint32_t bytes = pixel(columns[j], cursor, std::true_type{});
    std::memcpy(out, &bytes, 4);
  }
  const uint32_t bytes = pixel(columns[m - 1], cursor, std::false_type{});
  std::memcpy(out, &bytes, C == 4 ? 4 : 3);
}

}  // namespace

void ShrinkRowSse2(uint32_t n, uint32_t m, unsigned format, const uint8_t* row,
                   const RgbQuad* palette, uint8_t* result, const ShrinkColumn* columns,
                   bool grey) {
  if (grey || m >= (1u << 15) || n / 128 >= m)
    return ShrinkRowPortable(n, m, format, row, palette, result, columns, grey);
  WithReader(format, palette, grey, [&](auto sample, auto channels) {
    constexpr unsigned C = decltype(channels)::value;
    if constexpr (C > 1) ShrinkColour<C>(sample, row, n, m, columns, result);
  });
}

// BoxDivisor's multiply and shift, four values at a time while its reciprocal fits the 32-bit
// lanes of _mm_mul_epu32 (divisors below 2^23; 255 × 2^shift stays below 2^64).
void DivideRowSse2(uint64_t divisor, uint32_t* accumulators, size_t count) {
  const BoxDivisor divide(divisor);
  size_t i = 0;
  if (divide.reciprocal != 0 && divide.reciprocal <= 0xFFFFFFFF) {
    const __m128i reciprocal = _mm_set1_epi32(static_cast<int>(divide.reciprocal));
    const __m128i shift = _mm_cvtsi32_si128(static_cast<int>(divide.shift));
    for (; i + 4 <= count; i += 4) {
      auto* p = reinterpret_cast<__m128i*>(accumulators + i);
      const __m128i acc = _mm_loadu_si128(p);
      const __m128i even = _mm_srl_epi64(_mm_mul_epu32(acc, reciprocal), shift);
      const __m128i odd = _mm_srl_epi64(_mm_mul_epu32(_mm_srli_epi64(acc, 32), reciprocal), shift);
      _mm_storeu_si128(p, _mm_or_si128(even, _mm_slli_epi64(odd, 32)));
    }
  }
  for (; i < count; ++i) accumulators[i] = static_cast<uint32_t>(divide(accumulators[i]));
}
