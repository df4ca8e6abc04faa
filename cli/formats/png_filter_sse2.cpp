// The PNG row kernels with SSE2 registers.
//
// Choosing a filter: the four candidates of 16 bytes are made in registers and only the sums of
// their magnitudes kept (psadbw adds 8 bytes at a time), instead of each candidate row being
// written out and read back. Undoing the filters: up adds 16 bytes at a time; sub, average and
// Paeth depend on the pixel to the left, so they go a pixel at a time, but with all of a 3- or
// 4-byte pixel in one register instead of a byte at a time. Paeth works in 16-bit lanes, where its
// differences fit. Rows of one byte per pixel, and rows too short for a register, keep the
// portable loops.
#include <emmintrin.h>

#include <cstring>

#include "cli/formats/png_filter.h"

namespace {

__m128i Load(const uint8_t* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); }
void Store(uint8_t* at, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(at), v); }

// A pixel of N bytes in the low bytes of a register, and back: exactly N bytes are read and
// written, so the last pixel of a row touches nothing after it.
template <unsigned N>
__m128i LoadPixel(const uint8_t* at) {
  int value = 0;
  std::memcpy(&value, at, N);
  return _mm_cvtsi32_si128(value);
}

template <unsigned N>
void StorePixel(uint8_t* at, __m128i pixel) {
  const int value = _mm_cvtsi128_si32(pixel);
  std::memcpy(at, &value, N);
}

// The mean of the bytes rounded down: pavgb rounds up, one too many where the sum is odd.
__m128i Mean(__m128i a, __m128i b) {
  return _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1)));
}

__m128i Abs16(__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v)); }

// The Paeth predictor of 16-bit lanes a (left), b (above) and c (above left): a where |b - c| is
// the least of it, |a - c| and |a + b - 2c|, else b where |a - c| is no more than the last, else c.
__m128i Paeth16(__m128i a, __m128i b, __m128i c) {
  const __m128i p = _mm_sub_epi16(b, c), q = _mm_sub_epi16(a, c);
  const __m128i pa = Abs16(p), pb = Abs16(q), pc = Abs16(_mm_add_epi16(p, q));
  const __m128i least = _mm_min_epi16(_mm_min_epi16(pa, pb), pc);
  const __m128i takeA = _mm_cmpeq_epi16(pa, least), takeB = _mm_cmpeq_epi16(pb, least);
  const __m128i bOrC = _mm_or_si128(_mm_and_si128(takeB, b), _mm_andnot_si128(takeB, c));
  return _mm_or_si128(_mm_and_si128(takeA, a), _mm_andnot_si128(takeA, bOrC));
}

// The Paeth predictor of 16 bytes.
__m128i Paeth8(__m128i a, __m128i b, __m128i c) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i low =
      Paeth16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero), _mm_unpacklo_epi8(c, zero));
  const __m128i high =
      Paeth16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero), _mm_unpackhi_epi8(c, zero));
  return _mm_packus_epi16(low, high);
}

// The bytes' magnitudes read as signed (the smaller of v and 256 - v), added up in the two 64-bit
// lanes of `sum`.
void AddMagnitudes(__m128i& sum, __m128i v) {
  const __m128i zero = _mm_setzero_si128();
  sum = _mm_add_epi64(sum, _mm_sad_epu8(_mm_min_epu8(v, _mm_sub_epi8(zero, v)), zero));
}

// The sums of the candidates' magnitudes, as the portable set adds them up, a register at a time;
// rows of at least 16 + N bytes.
template <unsigned N>
uint8_t Choose(const uint8_t* raw, const uint8_t* prior, size_t bytes) {
  // Where the row is not a whole number of registers, its last 16 bytes are one more, with the
  // lanes already counted masked out: kTail + r keeps the last r lanes.
  static constexpr uint8_t kTail[32] = {0,    0,    0,    0,    0,    0,    0,    0,
                                        0,    0,    0,    0,    0,    0,    0,    0,
                                        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  __m128i sums[5] = {};
  const size_t whole = bytes / 16 * 16;
  for (size_t i = 0; i < bytes; i += 16) {
    const size_t at = i < whole ? i : bytes - 16;
    const __m128i keep = i < whole ? _mm_set1_epi8(-1) : Load(kTail + bytes % 16);
    const __m128i x = Load(raw + at), b = Load(prior + at);
    // The first register's left bytes are its own moved along a pixel, with zeros coming in.
    const __m128i a = at == 0 ? _mm_slli_si128(x, N) : Load(raw + at - N);
    const __m128i c = at == 0 ? _mm_slli_si128(b, N) : Load(prior + at - N);
    const __m128i candidates[5] = {x, _mm_sub_epi8(x, a), _mm_sub_epi8(x, b),
                                   _mm_sub_epi8(x, Mean(a, b)), _mm_sub_epi8(x, Paeth8(a, b, c))};
    for (int t = 0; t < 5; ++t) AddMagnitudes(sums[t], _mm_and_si128(candidates[t], keep));
  }
  uint8_t type = 0;
  uint64_t least = UINT64_MAX;
  for (uint8_t t = 0; t < 5; ++t) {
    uint64_t lanes[2];
    Store(reinterpret_cast<uint8_t*>(lanes), sums[t]);
    if (lanes[0] + lanes[1] < least) least = lanes[0] + lanes[1], type = t;
  }
  return type;
}

// Byte masks of the three registers of 48 bytes of 3-byte pixels: in register k, lane j holds
// byte (k + j) % 3 of its pixel, which takes the byte 2 after it (0), itself (1) or the byte 2
// before it (2).
struct SwapMasks {
  uint8_t lanes[3][3][16];
};
constexpr SwapMasks MakeSwapMasks() {
  SwapMasks m{};
  for (int k = 0; k < 3; ++k)
    for (int j = 0; j < 16; ++j) m.lanes[k][(k + j) % 3][j] = 0xFF;
  return m;
}
constexpr SwapMasks kSwapMasks = MakeSwapMasks();

// Byte `p` of a row of 3-byte pixels with the first and third of each exchanged.
uint8_t Swapped3(const uint8_t* from, size_t p) { return from[p + 2 - 2 * (p % 3)]; }

void Swap3(const uint8_t* from, size_t bytes, uint8_t* to) {
  // Registers from byte 16 on, while the bytes 2 before and 2 after each are in the row; the
  // bytes before and after them one at a time.
  size_t i = 16;
  for (; i + 18 <= bytes; i += 16) {
    const auto& masks = kSwapMasks.lanes[i / 16 % 3];
    const __m128i next = _mm_and_si128(Load(from + i + 2), Load(masks[0]));
    const __m128i same = _mm_and_si128(Load(from + i), Load(masks[1]));
    const __m128i before = _mm_and_si128(Load(from + i - 2), Load(masks[2]));
    Store(to + i, _mm_or_si128(_mm_or_si128(next, same), before));
  }
  for (size_t p = 0; p < 16 && p < bytes; ++p) to[p] = Swapped3(from, p);
  for (size_t p = i < 16 ? 16 : i; p < bytes; ++p) to[p] = Swapped3(from, p);
}

void Swap4(const uint8_t* from, size_t bytes, uint8_t* to) {
  const __m128i greenAlpha = _mm_set1_epi32(static_cast<int>(0xFF00FF00u));
  const __m128i low = _mm_set1_epi32(0xFF);
  size_t i = 0;
  for (; i + 16 <= bytes; i += 16) {
    const __m128i v = Load(from + i);
    const __m128i red = _mm_and_si128(_mm_srli_epi32(v, 16), low);
    const __m128i blue = _mm_slli_epi32(_mm_and_si128(v, low), 16);
    Store(to + i, _mm_or_si128(_mm_and_si128(v, greenAlpha), _mm_or_si128(red, blue)));
  }
  SwapRedBluePortable(from + i, bytes - i, 4, to + i);
}

template <unsigned N>
void Sub(uint8_t* row, size_t bytes) {
  __m128i left = _mm_setzero_si128();
  for (size_t i = 0; i + N <= bytes; i += N) {
    left = _mm_add_epi8(LoadPixel<N>(row + i), left);
    StorePixel<N>(row + i, left);
  }
}

template <unsigned N>
void Average(uint8_t* row, const uint8_t* prior, size_t bytes) {
  __m128i left = _mm_setzero_si128();
  for (size_t i = 0; i + N <= bytes; i += N) {
    left = _mm_add_epi8(LoadPixel<N>(row + i), Mean(left, LoadPixel<N>(prior + i)));
    StorePixel<N>(row + i, left);
  }
}

template <unsigned N>
void Paeth(uint8_t* row, const uint8_t* prior, size_t bytes) {
  const __m128i zero = _mm_setzero_si128();
  __m128i left = zero, aboveLeft = zero;  // widened to 16 bits
  for (size_t i = 0; i + N <= bytes; i += N) {
    const __m128i above = _mm_unpacklo_epi8(LoadPixel<N>(prior + i), zero);
    const __m128i predictor = _mm_packus_epi16(Paeth16(left, above, aboveLeft), zero);
    const __m128i raw = _mm_add_epi8(LoadPixel<N>(row + i), predictor);
    StorePixel<N>(row + i, raw);
    left = _mm_unpacklo_epi8(raw, zero);
    aboveLeft = above;
  }
}

void Up(uint8_t* row, const uint8_t* prior, size_t bytes) {
  size_t i = 0;
  for (; i + 16 <= bytes; i += 16) Store(row + i, _mm_add_epi8(Load(row + i), Load(prior + i)));
  for (; i < bytes; ++i) row[i] = static_cast<uint8_t>(row[i] + prior[i]);
}

}  // namespace

uint8_t ChoosePngFilterSse2(const uint8_t* raw, const uint8_t* prior, size_t bytes, unsigned bpp,
                            uint8_t* scratch) {
  if (bytes < 32) return ChoosePngFilterPortable(raw, prior, bytes, bpp, scratch);
  return bpp == 3 ? Choose<3>(raw, prior, bytes) : Choose<4>(raw, prior, bytes);
}

void UnfilterPngRowSse2(uint8_t type, uint8_t* row, const uint8_t* prior, size_t bytes,
                        unsigned bpp) {
  if (type == 2) return Up(row, prior, bytes);
  if (bpp != 3 && bpp != 4) return UnfilterPngRowPortable(type, row, prior, bytes, bpp);
  switch (type) {
    case 1:
      return bpp == 3 ? Sub<3>(row, bytes) : Sub<4>(row, bytes);
    case 3:
      return bpp == 3 ? Average<3>(row, prior, bytes) : Average<4>(row, prior, bytes);
    case 4:
      return bpp == 3 ? Paeth<3>(row, prior, bytes) : Paeth<4>(row, prior, bytes);
    default:
      return;
  }
}

void SwapRedBlueSse2(const uint8_t* from, size_t bytes, unsigned bpp, uint8_t* to) {
  if (bpp == 3)
    Swap3(from, bytes, to);
  else
    Swap4(from, bytes, to);
}
