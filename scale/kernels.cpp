#include "scale/kernels.h"

#include <cstring>
#include <type_traits>

#include "scale/sample_readers.h"

namespace {

using namespace scale_kernels;

// Acc holds a column's sums (at most 255 × n); `divide` takes them to quotients.
template <unsigned C, class Acc, class Reader, class Divide>
void ShrinkKernel(Reader sample, const uint8_t* row, uint32_t m, const ShrinkColumn* columns,
                  uint8_t* out, Divide divide) {
  uint32_t cursor = 0;
  for (uint32_t j = 0; j < m; ++j, out += C) {
    const ShrinkColumn& column = columns[j];
    Acc acc[C], whole[C] = {};
    const uint8_t* s = sample(row, cursor++);
    for (unsigned c = 0; c < C; ++c) acc[c] = Acc{s[c]} * column.first;
    // The samples in between all weigh m: sum them first, multiply once.
    for (uint32_t k = 0; k < column.fullCount; ++k) {
      s = sample(row, cursor++);
      for (unsigned c = 0; c < C; ++c) whole[c] += s[c];
    }
    if (column.last != 0) {
      s = sample(row, cursor);  // shared with the next column: the cursor stays
      for (unsigned c = 0; c < C; ++c) acc[c] += Acc{s[c]} * column.last;
    }
    for (unsigned c = 0; c < C; ++c) out[c] = static_cast<uint8_t>(divide(acc[c] + whole[c] * m));
  }
}

template <unsigned C, class Reader>
void EnlargeKernel(Reader sample, const uint8_t* row, uint32_t count, const EnlargeColumn* columns,
                   uint8_t* out) {
  for (uint32_t j = 0; j < count; ++j, out += C) {
    const EnlargeColumn& column = columns[j];
    const uint8_t* a = sample(row, column.cursor);
    if (column.right == 0) {
      // (a × total) div total: the source sample itself.
      for (unsigned c = 0; c < C; ++c) out[c] = a[c];
    } else {
      const uint8_t* b = sample(row, column.cursor + 1);
      const uint64_t left = column.total.divisor - column.right;
      for (unsigned c = 0; c < C; ++c)
        out[c] = static_cast<uint8_t>(column.total(a[c] * left + b[c] * column.right));
    }
  }
}

// acc = value × weight (Load) or acc += value × weight (Add) over a whole row.
template <bool kAdd, class Acc>
void Accumulate(const uint8_t* row, Acc weight, Acc* acc, unsigned format, uint32_t width,
                const RgbQuad* palette, bool grey) {
  WithReader(format, palette, grey, [&](auto sample, auto channels) {
    constexpr unsigned C = decltype(channels)::value;
    if constexpr (kIsBytes<decltype(sample)>) {
      // Bytes already in accumulator order: one flat loop the compiler can vectorise.
      const size_t count = size_t{C} * width;
      for (size_t i = 0; i < count; ++i) acc[i] = (kAdd ? acc[i] : 0) + row[i] * weight;
    } else {
      for (uint32_t x = 0; x < width; ++x, acc += C) {
        const uint8_t* s = sample(row, x);
        for (unsigned c = 0; c < C; ++c) acc[c] = (kAdd ? acc[c] : 0) + s[c] * weight;
      }
    }
  });
}

}  // namespace

void SCL_BuildShrinkTables(uint32_t n, uint32_t m, ShrinkColumn* columns) {
  // budget < m + n ≤ 2^32: the walk fits in 32 bits for any image width.
  uint32_t budget = n, first = m;
  for (uint32_t j = 0; j < m; ++j) {
    const uint32_t remainder = budget - m;
    const uint32_t rest = remainder % m;
    columns[j] = {first, remainder / m, rest};
    first = m - rest;
    budget = budget % m + n;
  }
}

void SCL_BuildEnlargeTables(uint32_t n, uint32_t m, uint32_t first, uint32_t count,
                            EnlargeColumn* columns) {
  const uint64_t span = m - 1, step = n - 1;
  uint64_t phase = first * step % span;
  auto cursor = static_cast<uint32_t>(first * step / span);
  for (uint32_t j = 0; j < count; ++j) {
    const uint64_t left = (span - phase) * (span - phase), right = phase * phase;
    columns[j] = {right, ExactDivisor(left + right), cursor,
                  FixedWeightPair(SCL_FixedWeight(right, left + right))};
    phase += step;
    if (phase >= span) {
      phase -= span;
      ++cursor;
    }
  }
}

// With x = right / total and w = round(x × 2^22), write d × x = g + f (g whole, 0 ≤ f < 1):
// d × w + 128 = 2^22 × (g + f) + d × (w − x × 2^22) + 128, whose last two terms lie in
// [0.5, 255.5], so the shift gives g unless 1 − f ≤ 255.5 / 2^22 with f ≠ 0, that is unless some
// ±d × x lies within 255.5 / 2^22 below a whole number without reaching it. Over 1 ≤ d ≤ 255 the
// multiples of x come nearest to whole numbers at the convergent denominators q of x (best
// approximations), where the distance is |q × right − p × total| / total: the continued fraction
// of right / total, up to denominators of 255, decides it exactly.
uint32_t SCL_FixedWeight(uint64_t right, uint64_t total) {
  if (right == 0) return 0;
  if (total >= (uint64_t{1} << 40)) return kNoFixedWeight;
  // Successive convergent denominators with their errors |q × right − p × total|.
  uint64_t before = 0, beforeError = total, q = 1, error = right;
  while (q <= 255 && error != 0) {
    if (error << 23 <= 511 * total) return kNoFixedWeight;
    const uint64_t a = beforeError / error, next = a * q + before,
                   nextError = beforeError - a * error;
    before = q, beforeError = error, q = next, error = nextError;
  }
  const uint64_t w = ((right << 22) + total / 2) / total;
  // 2^22 would not split into the 16-bit halves the vector kernels multiply by.
  return w < (uint64_t{1} << 22) ? static_cast<uint32_t>(w) : kNoFixedWeight;
}

void ShrinkRowPortable(uint32_t n, uint32_t m, unsigned format, const uint8_t* row,
                       const RgbQuad* palette, uint8_t* result, const ShrinkColumn* columns,
                       bool grey) {
  // Sums in 32 bits and BoxDivisor's multiply and shift without its test, wherever they do.
  const BoxDivisor divide(n);
  const bool narrow = divide.reciprocal != 0 && n <= 0xFFFFFFFF / 255;
  const auto reciprocal = [&](uint64_t sum) { return (sum * divide.reciprocal) >> divide.shift; };
  WithReader(format, palette, grey, [&](auto sample, auto channels) {
    constexpr unsigned C = decltype(channels)::value;
    if (narrow)
      ShrinkKernel<C, uint32_t>(sample, row, m, columns, result, reciprocal);
    else
      ShrinkKernel<C, uint64_t>(sample, row, m, columns, result, divide);
  });
}

// The kernel set this build uses.
void SCL_ShrinkRows(uint32_t n, uint32_t m, unsigned format, const uint8_t* const* rows,
                    unsigned count, const RgbQuad* palette, uint8_t* const* results,
                    const ShrinkColumn* columns, bool grey) {
#if IMAGE_SSE2
  ShrinkRowsSse2(n, m, format, rows, count, palette, results, columns, grey);
#else
  for (unsigned r = 0; r < count; ++r)
    ShrinkRowPortable(n, m, format, rows[r], palette, results[r], columns, grey);
#endif
}

void EnlargeRowPortable(uint32_t, uint32_t count, unsigned format, const uint8_t* row,
                        const RgbQuad* palette, uint8_t* result, const EnlargeColumn* columns,
                        bool grey) {
  WithReader(format, palette, grey, [&](auto sample, auto channels) {
    EnlargeKernel<decltype(channels)::value>(sample, row, count, columns, result);
  });
}

void SCL_EnlargeRow(uint32_t n, uint32_t, uint32_t, uint32_t count, unsigned format,
                    const uint8_t* row, const RgbQuad* palette, uint8_t* result,
                    const EnlargeColumn* columns, bool grey) {
#if IMAGE_SSE2
  EnlargeRowSse2(n, count, format, row, palette, result, columns, grey);
#else
  EnlargeRowPortable(n, count, format, row, palette, result, columns, grey);
#endif
}

template <class Acc>
void AccumulateRowPortable(const uint8_t* row, Acc weight, Acc* accumulators, unsigned format,
                           uint32_t width, const RgbQuad* palette, bool grey, bool add) {
  if (add)
    Accumulate<true>(row, weight, accumulators, format, width, palette, grey);
  else
    Accumulate<false>(row, weight, accumulators, format, width, palette, grey);
}

template <class Acc>
void DivideRowPortable(uint64_t divisor, Acc* accumulators, size_t count) {
  const BoxDivisor divide(divisor);
  for (size_t i = 0; i < count; ++i) accumulators[i] = static_cast<Acc>(divide(accumulators[i]));
}

namespace {

// The kernel set this build uses for SCL_LoadRow and SCL_AddRow.
template <bool kAdd, class Acc>
void AccumulateRow(const uint8_t* row, Acc weight, Acc* accumulators, unsigned format,
                   uint32_t width, const RgbQuad* palette, bool grey) {
#if IMAGE_SSE2
  if constexpr (std::is_same_v<Acc, uint32_t>)
    return AccumulateRowSse2(row, weight, accumulators, format, width, palette, grey, kAdd);
#endif
  Accumulate<kAdd>(row, weight, accumulators, format, width, palette, grey);
}

}  // namespace

template <class Acc>
void SCL_LoadRow(const uint8_t* row, Acc weight, Acc* accumulators, unsigned format, uint32_t width,
                 const RgbQuad* palette, bool grey) {
  AccumulateRow<false>(row, weight, accumulators, format, width, palette, grey);
}

template <class Acc>
void SCL_AddRow(const uint8_t* row, Acc weight, Acc* accumulators, unsigned format, uint32_t width,
                const RgbQuad* palette, bool grey) {
  AccumulateRow<true>(row, weight, accumulators, format, width, palette, grey);
}

// The kernel set this build uses.
template <class Acc>
void SCL_DivideRow(uint64_t divisor, Acc* accumulators, uint32_t width, bool grey, bool four) {
  const size_t count = size_t{ResultChannels(grey, four)} * width;
#if IMAGE_SSE2
  if constexpr (std::is_same_v<Acc, uint32_t>) return DivideRowSse2(divisor, accumulators, count);
#endif
  DivideRowPortable(divisor, accumulators, count);
}

template <class Acc>
void SCL_StoreRow(uint8_t* result, const Acc* accumulators, uint32_t width, bool grey, bool four) {
  const size_t count = size_t{ResultChannels(grey, four)} * width;
  for (size_t i = 0; i < count; ++i) result[i] = static_cast<uint8_t>(accumulators[i]);
}

template void AccumulateRowPortable(const uint8_t*, uint32_t, uint32_t*, unsigned, uint32_t,
                                    const RgbQuad*, bool, bool);
template void AccumulateRowPortable(const uint8_t*, uint64_t, uint64_t*, unsigned, uint32_t,
                                    const RgbQuad*, bool, bool);
template void DivideRowPortable(uint64_t, uint32_t*, size_t);
template void DivideRowPortable(uint64_t, uint64_t*, size_t);
template void SCL_LoadRow(const uint8_t*, uint32_t, uint32_t*, unsigned, uint32_t, const RgbQuad*,
                          bool);
template void SCL_LoadRow(const uint8_t*, uint64_t, uint64_t*, unsigned, uint32_t, const RgbQuad*,
                          bool);
template void SCL_AddRow(const uint8_t*, uint32_t, uint32_t*, unsigned, uint32_t, const RgbQuad*,
                         bool);
template void SCL_AddRow(const uint8_t*, uint64_t, uint64_t*, unsigned, uint32_t, const RgbQuad*,
                         bool);
template void SCL_DivideRow(uint64_t, uint32_t*, uint32_t, bool, bool);
template void SCL_DivideRow(uint64_t, uint64_t*, uint32_t, bool, bool);
template void SCL_StoreRow(uint8_t*, const uint32_t*, uint32_t, bool, bool);
template void SCL_StoreRow(uint8_t*, const uint64_t*, uint32_t, bool, bool);

void SCL_BlendOffsets(uint64_t right, uint64_t total, int16_t offset[511]) {
  // Walks d × right = quotient × total + remainder (right ≤ total: one carry at most a step).
  offset[255] = 0;
  uint64_t quotient = 0, remainder = 0;
  for (int d = 1; d <= 255; ++d) {
    remainder += right;
    if (remainder >= total) remainder -= total, ++quotient;
    offset[255 + d] = static_cast<int16_t>(quotient);
    offset[255 - d] = static_cast<int16_t>(-static_cast<int>(quotient + (remainder != 0)));
  }
}

void BlendRowsPortable(const uint8_t* a, const uint8_t* b, uint64_t right, uint64_t total,
                       uint8_t* result, unsigned format, uint32_t width, const RgbQuad* palette,
                       bool grey) {
  int16_t offset[511];
  SCL_BlendOffsets(right, total, offset);
  const int16_t* delta = offset + 255;
  WithReader(format, palette, grey, [&](auto sample, auto channels) {
    constexpr unsigned C = decltype(channels)::value;
    if constexpr (kIsBytes<decltype(sample)>) {
      const size_t count = size_t{C} * width;
      for (size_t i = 0; i < count; ++i)
        result[i] = static_cast<uint8_t>(a[i] + delta[b[i] - a[i]]);
    } else {
      uint8_t* out = result;
      for (uint32_t x = 0; x < width; ++x, out += C) {
        const uint8_t* sa = sample(a, x);
        const uint8_t* sb = sample(b, x);
        for (unsigned c = 0; c < C; ++c)
          out[c] = static_cast<uint8_t>(sa[c] + delta[sb[c] - sa[c]]);
      }
    }
  });
}

void SCL_BlendRows(const uint8_t* a, const uint8_t* b, uint64_t right, uint64_t total,
                   uint8_t* result, unsigned format, uint32_t width, const RgbQuad* palette,
                   bool grey) {
#if IMAGE_SSE2
  BlendRowsSse2(a, b, right, total, result, format, width, palette, grey);
#else
  BlendRowsPortable(a, b, right, total, result, format, width, palette, grey);
#endif
}
