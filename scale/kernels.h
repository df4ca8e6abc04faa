// The arithmetic of high-quality scaling: reading samples from a row of any depth, the two
// one-dimensional rules (an exact box average to shrink, a quadratic-weight interpolation between
// the two nearest samples to enlarge), their per-column weight tables, and the row routines with
// which a vertical pass combines whole rows. Integer arithmetic only.
//
// Row formats. A row handed to these routines is the start of a stored row. Format 1, 4 and 8 are
// palette indices (1 bit: leftmost sample in the most significant bit; 4 bits: left sample in the
// high nibble) looked up in `palette`, which must hold 2^format entries. Format 24 is blue, green,
// red; format 32 is blue, green, red and a fourth byte. In grey mode a palette sample gives one
// channel, the red of its entry, and formats 24 and 32 are read as one byte per sample: that is
// how the grey rows these routines write are read back.
//
// Result rows are written in the result format: one byte per pixel in grey mode, otherwise blue,
// green, red per pixel followed by the fourth byte when the row format is 32. Padding after the
// last pixel is not touched. No routine here allocates memory.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dib/dib.h"

// Channels of one result pixel: 1 in grey mode, 4 for a 32-bit colour source, else 3.
constexpr unsigned ResultChannels(bool grey, bool four) { return grey ? 1 : four ? 4 : 3; }

// floor(n / divisor) for every n ≤ 255 × divisor, with one multiply, a shift and a one-step
// correction instead of a division per value. With r = floor(2^40 / d), n × r / 2^40 falls short
// of n / d by less than n / 2^40 < 1 (as n < 2^40 when d < 2^32), so the estimate is the quotient
// or one less. Divisors of 2^32 and more are divided by the processor.
struct ExactDivisor {
  uint64_t divisor = 1;
  uint64_t reciprocal = uint64_t{1} << 40;

  ExactDivisor() = default;
  // `d` must be at least 1.
  explicit ExactDivisor(uint64_t d)
      : divisor(d), reciprocal(d < (uint64_t{1} << 32) ? (uint64_t{1} << 40) / d : 0) {}

  uint64_t operator()(uint64_t n) const {
    if (reciprocal == 0) return n / divisor;
    const uint64_t q = (n * reciprocal) >> 40;
    return q + (n - q * divisor >= divisor ? 1 : 0);
  }
};

// floor(n / divisor) for every n ≤ 255 × divisor with one multiply and a shift and no correction
// step, for the box averages' hot loops. For d < 2^24, with k the least power such that
// 2^k ≥ 255 × d² and r = ceil(2^k / d), n × r / 2^k exceeds n / d by
// n × (r × d − 2^k) / (d × 2^k) < 255 × d² / (d × 2^k) ≤ 1 / d, too little to carry any fraction
// of n / d (at most (d − 1) / d) past the next whole number; n × r < 255 × 2^k + 255 × d < 2^64.
// Larger divisors go to ExactDivisor.
struct BoxDivisor {
  ExactDivisor wide;
  uint64_t reciprocal = 0;  // 0: divisor of 2^24 or more
  unsigned shift = 0;

  // `d` must be at least 1.
  explicit BoxDivisor(uint64_t d) : wide(d) {
    if (d >= (uint64_t{1} << 24)) return;
    while ((uint64_t{1} << shift) < 255 * d * d) ++shift;
    reciprocal = ((uint64_t{1} << shift) + d - 1) / d;
  }

  uint64_t operator()(uint64_t n) const {
    return reciprocal != 0 ? (n * reciprocal) >> shift : wide(n);
  }
};

// Shrink weights of one result column (n source samples to m ≤ n). Each source sample counts as
// m units and each result sample covers n units: the column takes `first` units of the sample at
// the cursor, m units of each of the `fullCount` samples after it, and `last` units of the next
// one, which it shares with the following column (`last` = 0: nothing shared).
struct ShrinkColumn {
  uint32_t first;
  uint32_t fullCount;
  uint32_t last;
};

// Enlarge weights of one result column (n source samples to m > n). Result sample j lies at
// source position j × (n − 1) / (m − 1); with D = m − 1 and phase p = j × (n − 1) mod D the
// sample to its left, at `cursor`, weighs (D − p)², the one to its right p², and `total` is their
// sum. `fixed` is FixedWeightPair(SCL_FixedWeight(right, total)).
struct EnlargeColumn {
  uint64_t right;
  ExactDivisor total;
  uint32_t cursor;
  uint32_t fixed;
};

// What SCL_FixedWeight returns when no 22-bit weight gives the exact quotients.
inline constexpr uint32_t kNoFixedWeight = 0xFFFFFFFF;

// A fixed weight w as the two 16-bit factors (w >> 7, w & 127), low half first, by which the
// vector kernels multiply a difference d written as the pair (d × 128, d); kNoFixedWeight stays.
constexpr uint32_t FixedWeightPair(uint32_t w) {
  return w == kNoFixedWeight ? w : w >> 7 | (w & 127) << 16;
}

// A blend of samples a and b is a + floor((b − a) × right / total), the difference d = b − a
// lying in −255 … 255. This returns w ≤ 2^22 − 1 such that (d × w + 128) >> 22 (an arithmetic
// shift) is that floor for every d, so that 32-bit lanes compute it, or kNoFixedWeight when there
// is none (right and total beyond 2^40, and a few weights whose multiples come too close to whole
// numbers). Needs right < total.
uint32_t SCL_FixedWeight(uint64_t right, uint64_t total);

// Fills `columns` (m entries) with the box-average walk for n → m, 1 ≤ m ≤ n (m = n gives the
// identity: every column takes one whole sample).
void SCL_BuildShrinkTables(uint32_t n, uint32_t m, ShrinkColumn* columns);

// Fills `columns` (count entries) with the quadratic weights of result columns first … first +
// count − 1 for n → m, 1 ≤ n < m ≤ 2^28 (so that 255 × total fits in 64 bits).
void SCL_BuildEnlargeTables(uint32_t n, uint32_t m, uint32_t first, uint32_t count,
                            EnlargeColumn* columns);

// Resamples `count` rows (1 … kShrinkRowsAtOnce) of n samples in `format` to m samples by the box
// average: result = (sum of sample × weight) div n per channel, truncated, from rows[r] into
// results[r]. `columns` come from SCL_BuildShrinkTables(n, m); the rows walk them together.
inline constexpr unsigned kShrinkRowsAtOnce = 4;
void SCL_ShrinkRows(uint32_t n, uint32_t m, unsigned format, const uint8_t* const* rows,
                    unsigned count, const RgbQuad* palette, uint8_t* const* results,
                    const ShrinkColumn* columns, bool grey);

// Two kernel sets compute SCL_ShrinkRows: the portable one (a row at a time), always built, and
// on x86 builds (IMAGE_SSE2, set in dib/CMakeLists.txt) one with SSE2 registers, which
// SCL_ShrinkRows then uses. The tests hold the vector set to the portable one byte for byte.
void ShrinkRowPortable(uint32_t n, uint32_t m, unsigned format, const uint8_t* row,
                       const RgbQuad* palette, uint8_t* result, const ShrinkColumn* columns,
                       bool grey);
#if IMAGE_SSE2
void ShrinkRowsSse2(uint32_t n, uint32_t m, unsigned format, const uint8_t* const* rows,
                    unsigned count, const RgbQuad* palette, uint8_t* const* results,
                    const ShrinkColumn* columns, bool grey);
#endif

// Resamples one row of n samples in `format` to m > n samples by the quadratic weights:
// result = (left sample × left + right sample × right) div total per channel, truncated. The right
// sample is read only when its weight is not zero, so the last column never reads past the row.
// Only result columns first … first + count − 1 are made, into `result` (which points at column
// `first`); `columns` come from SCL_BuildEnlargeTables(n, m, first, count).
void SCL_EnlargeRow(uint32_t n, uint32_t m, uint32_t first, uint32_t count, unsigned format,
                    const uint8_t* row, const RgbQuad* palette, uint8_t* result,
                    const EnlargeColumn* columns, bool grey);

// offset[255 + d] = floor(d × right / total), rounded toward minus infinity, for d = −255 … 255;
// right ≤ total.
void SCL_BlendOffsets(uint64_t right, uint64_t total, int16_t offset[511]);

// Two kernel sets compute SCL_EnlargeRow and SCL_BlendRows as they do SCL_ShrinkRows: the portable
// one and, on x86 builds, one with SSE2 registers and fixed weights (SCL_FixedWeight). Each pair
// is declared through one function type, so the two cannot drift apart.
using EnlargeRowKernel = void(uint32_t n, uint32_t count, unsigned format, const uint8_t* row,
                              const RgbQuad* palette, uint8_t* result, const EnlargeColumn* columns,
                              bool grey);
using BlendRowsKernel = void(const uint8_t* a, const uint8_t* b, uint64_t right, uint64_t total,
                             uint8_t* result, unsigned format, uint32_t width,
                             const RgbQuad* palette, bool grey);
EnlargeRowKernel EnlargeRowPortable;
BlendRowsKernel BlendRowsPortable;
#if IMAGE_SSE2
EnlargeRowKernel EnlargeRowSse2;
BlendRowsKernel BlendRowsSse2;
#endif

// The row accumulators of a vertical pass: one array of width × ResultChannels(grey, four)
// values, interleaved in result order (blue, green, red[, fourth] per pixel, or the grey value).
// Acc is uint32_t, or uint64_t where 255 × the divisor would not fit in 32 bits.

// Sets each accumulator of columns 0 … width − 1 to channel value × weight. Any format other than
// 1, 4, 8, 24 and 32 leaves the accumulators untouched.
template <class Acc>
void SCL_LoadRow(const uint8_t* row, Acc weight, Acc* accumulators, unsigned format, uint32_t width,
                 const RgbQuad* palette, bool grey);

// Adds channel value × weight to each accumulator; the arguments are those of SCL_LoadRow.
template <class Acc>
void SCL_AddRow(const uint8_t* row, Acc weight, Acc* accumulators, unsigned format, uint32_t width,
                const RgbQuad* palette, bool grey);

// Divides each accumulator by `divisor` (at least 1), truncating. Every accumulator must be at
// most 255 × divisor, which holds when the weights loaded and added sum to the divisor.
template <class Acc>
void SCL_DivideRow(uint64_t divisor, Acc* accumulators, uint32_t width, bool grey, bool four);

// Two kernel sets compute SCL_LoadRow (add false), SCL_AddRow (add true) and SCL_DivideRow, the
// latter on the `count` values at `accumulators`: the portable one, for both accumulator widths,
// and on x86 builds one with SSE2 registers for 32-bit accumulators, which those then use. The
// vector accumulation takes rows of bytes (24 and 32 bits, grey or not) with weights below 2^16
// and leaves the rest to the portable kernel.
template <class Acc>
void AccumulateRowPortable(const uint8_t* row, Acc weight, Acc* accumulators, unsigned format,
                           uint32_t width, const RgbQuad* palette, bool grey, bool add);
template <class Acc>
void DivideRowPortable(uint64_t divisor, Acc* accumulators, size_t count);
#if IMAGE_SSE2
void AccumulateRowSse2(const uint8_t* row, uint32_t weight, uint32_t* accumulators, unsigned format,
                       uint32_t width, const RgbQuad* palette, bool grey, bool add);
void DivideRowSse2(uint64_t divisor, uint32_t* accumulators, size_t count);
#endif

// Writes the low byte of each accumulator into `result` (width pixels in the result format).
template <class Acc>
void SCL_StoreRow(uint8_t* result, const Acc* accumulators, uint32_t width, bool grey, bool four);

// One result row of a vertical enlarge: (a × left + b × right) div total per channel, where
// left = total − right, for rows `a` and `b` in `format`. Gives exactly what SCL_LoadRow(a, left),
// SCL_AddRow(b, right), SCL_DivideRow(total) and SCL_StoreRow give, in one pass and without wide
// accumulators: a × left + b × right = a × total + (b − a) × right, so the result is
// a + floor((b − a) × right / total), looked up in a table of the 511 possible differences.
// Pass b = a when right is 0. total must be at least 1 and below 2^56, right at most total.
void SCL_BlendRows(const uint8_t* a, const uint8_t* b, uint64_t right, uint64_t total,
                   uint8_t* result, unsigned format, uint32_t width, const RgbQuad* palette,
                   bool grey);
