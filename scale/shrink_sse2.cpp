// The SSE2 box averages: SCL_ShrinkRows for colour rows, one result pixel per row and step, its
// channels side by side in the lanes of one register (grey rows, where one channel would use one
// lane of four, and rows outside the ranges below go to the portable kernel); and the row sums and
// divisions of a shrink down the columns.
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
//
// R rows (1, 2 or 4) that share the column tables are averaged side by side, two to a register:
// row r's pixel in 16-bit lanes 4 (r mod 2) … 4 (r mod 2) + 3 of register r / 2, so that the
// walk over the columns serves every row. Only the first `count` rows are stored: the others
// repeat a row to fill the registers.
template <unsigned C, unsigned R, class Reader>
void ShrinkColour(Reader sample, const uint8_t* const* rows, unsigned count, uint32_t n, uint32_t m,
                  const ShrinkColumn* columns, uint8_t* const* outs) {
  constexpr unsigned P = (R + 1) / 2;
  const BoxDivisor divide(n);
  const __m128i shift = _mm_cvtsi32_si128(static_cast<int>(divide.shift));
  const __m128i wholeWeight = _mm_set1_epi32(static_cast<int>(m));
  const __m128i reciprocal = _mm_set1_epi32(static_cast<int>(divide.reciprocal));
  const __m128i zero = _mm_setzero_si128();
  // (acc × reciprocal) >> shift in 64 bits, channels 0 and 2, then 1 and 3.
  const auto quotients = [&](__m128i acc) {
    const __m128i even = _mm_srl_epi64(_mm_mul_epu32(acc, reciprocal), shift);
    const __m128i odd = _mm_srl_epi64(_mm_mul_epu32(_mm_srli_epi64(acc, 32), reciprocal), shift);
    return _mm_or_si128(even, _mm_slli_epi64(odd, 32));
  };
  // The reader's bytes may run to the row's end only in a 24-bit row; palette entries have four.
  // Every sample of a column but the last lies before the row's last sample (the last column
  // spans two samples at least, unless m = n and each column is one sample): `inside` says so.
  // Returns the result pixels of the R rows as bytes 4r … 4r + 3.
  const auto pixel = [&](const ShrinkColumn& column, uint32_t& cursor, auto inside) {
    const auto load = [&](uint32_t i, __m128i* into) {
      const bool four = decltype(inside)::value || !kIsBytes<Reader> || C == 4 || i + 1 < n;
      if constexpr (R == 1) {
        into[0] = LoadPixel(sample(rows[0], i), four);
      } else {
        for (unsigned p = 0; p < P; ++p)
          into[p] = LoadPixels(sample(rows[2 * p], i), sample(rows[2 * p + 1], i), four);
      }
    };
    __m128i first[P], whole[P], last[P], sample_[P];
    load(cursor++, first);
    for (unsigned p = 0; p < P; ++p) whole[p] = zero, last[p] = zero;
    for (uint32_t k = 0; k < column.fullCount; ++k) {
      load(cursor++, sample_);
      for (unsigned p = 0; p < P; ++p) whole[p] = _mm_add_epi16(whole[p], sample_[p]);
    }
    // The shared sample is read only when it weighs something: the last column's cursor is n.
    if (column.last != 0) load(cursor, last);
    // Lanes of 16-bit pairs (first sample, last sample) × (first, last), and (whole sum, 0) × m.
    const __m128i ends = _mm_set1_epi32(static_cast<int>(column.first | column.last << 16));
    const auto average = [&](__m128i pairs, __m128i wholes) {
      return quotients(
          _mm_add_epi32(_mm_madd_epi16(pairs, ends), _mm_madd_epi16(wholes, wholeWeight)));
    };
    __m128i words[P];
    for (unsigned p = 0; p < P; ++p) {
      const __m128i low =
          average(_mm_unpacklo_epi16(first[p], last[p]), _mm_unpacklo_epi16(whole[p], zero));
      const __m128i high = R == 1 ? low
                                  : average(_mm_unpackhi_epi16(first[p], last[p]),
                                            _mm_unpackhi_epi16(whole[p], zero));
      words[p] = _mm_packs_epi32(low, high);
    }
    return _mm_packus_epi16(words[0], words[P - 1]);
  };
  const auto store = [&](__m128i bytes, uint32_t j, unsigned size) {
    for (unsigned r = 0; r < count; ++r, bytes = _mm_srli_si128(bytes, 4)) {
      const auto value = static_cast<uint32_t>(_mm_cvtsi128_si32(bytes));
      std::memcpy(outs[r] + size_t{C} * j, &value, size);
    }
  };
  uint32_t cursor = 0;
  // A 24-bit result pixel's fourth byte is the next pixel's first, rewritten by it; the last
  // pixel writes three, leaving the padding after it.
  for (uint32_t j = 0; j + 1 < m; ++j) store(pixel(columns[j], cursor, std::true_type{}), j, 4);
  store(pixel(columns[m - 1], cursor, std::false_type{}), m - 1, C);
}

// acc = byte × weight, or acc += byte × weight, for `count` bytes: 16-bit multiplies whose low and
// high halves make the 32-bit products (SSE2 has no 32-bit multiply).
void AccumulateBytes(const uint8_t* row, uint16_t weight, uint32_t* acc, size_t count, bool add) {
  const __m128i w = _mm_set1_epi16(static_cast<int16_t>(weight));
  const __m128i zero = _mm_setzero_si128();
  size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
    for (int half = 0; half < 2; ++half) {
      const __m128i words = half ? _mm_unpackhi_epi8(bytes, zero) : _mm_unpacklo_epi8(bytes, zero);
      const __m128i low = _mm_mullo_epi16(words, w), high = _mm_mulhi_epu16(words, w);
      for (int quarter = 0; quarter < 2; ++quarter) {
        auto* p = reinterpret_cast<__m128i*>(acc + i + 8 * half + 4 * quarter);
        const __m128i product =
            quarter ? _mm_unpackhi_epi16(low, high) : _mm_unpacklo_epi16(low, high);
        _mm_storeu_si128(p, add ? _mm_add_epi32(_mm_loadu_si128(p), product) : product);
      }
    }
  }
  for (; i < count; ++i) acc[i] = (add ? acc[i] : 0) + uint32_t{row[i]} * weight;
}

}  // namespace

void ShrinkRowsSse2(uint32_t n, uint32_t m, unsigned format, const uint8_t* const* rows,
                    unsigned count, const RgbQuad* palette, uint8_t* const* results,
                    const ShrinkColumn* columns, bool grey) {
  if (grey || m >= (1u << 15) || n / 128 >= m) {
    for (unsigned r = 0; r < count; ++r)
      ShrinkRowPortable(n, m, format, rows[r], palette, results[r], columns, grey);
    return;
  }
  // Rows past `count` repeat the first, to fill a register.
  const uint8_t* padded[kShrinkRowsAtOnce];
  for (unsigned r = 0; r < kShrinkRowsAtOnce; ++r) padded[r] = rows[r < count ? r : 0];
  WithReader(format, palette, grey, [&](auto sample, auto channels) {
    constexpr unsigned C = decltype(channels)::value;
    if constexpr (C > 1) {
      if (count > 2)
        ShrinkColour<C, 4>(sample, padded, count, n, m, columns, results);
      else if (count == 2)
        ShrinkColour<C, 2>(sample, padded, count, n, m, columns, results);
      else
        ShrinkColour<C, 1>(sample, padded, count, n, m, columns, results);
    }
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

void AccumulateRowSse2(const uint8_t* row, uint32_t weight, uint32_t* accumulators, unsigned format,
                       uint32_t width, const RgbQuad* palette, bool grey, bool add) {
  // 24- and 32-bit rows hold their samples' channels as bytes in accumulator order.
  if ((format != 24 && format != 32) || weight > 0xFFFF)
    return AccumulateRowPortable(row, weight, accumulators, format, width, palette, grey, add);
  AccumulateBytes(row, static_cast<uint16_t>(weight), accumulators,
                  size_t{ResultChannels(grey, format == 32)} * width, add);
}
