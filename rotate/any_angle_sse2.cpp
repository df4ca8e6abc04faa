// The inside columns of high-quality colour rows in SSE2 registers: each sample is read as four
// bytes, the four samples of a pixel widened to 16 bits, added, halved twice and packed back, two
// pixels at a time.
#include <emmintrin.h>

#include <bit>
#include <cstring>

#include "rotate/any_angle_kernels.h"

static_assert(std::endian::native == std::endian::little,
              "the pixel sums assume little-endian byte order");

namespace any_angle_kernels {
namespace {

inline uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// The sample tables, copied out of the sampler: stores through the output's byte pointer could
// alias its fields otherwise, and the compiler would read them again after every store.
struct Tables {
  const uint8_t* const* rows;
  const Coeff* colCos;
  const Coeff* colSin;
  const RgbQuad* palette;
};

// The four bytes of the sample at twice-position (tx, ty), inside the source: its colour-table
// entry for palette sources, its own bytes at 32 bits. A 24-bit pixel is read as the four bytes
// that end with it, its blue in the second byte: the byte before it is the previous pixel, the
// previous row's padding or, before row 0, the image's header, so the read stays inside the
// locked image, where the byte after the last pixel of the last row may not.
template <unsigned Bits>
inline uint32_t Sample(const Tables& t, int32_t ty, int32_t tx) {
  const uint8_t* row = t.rows[ty >> 1];
  const auto sx = static_cast<uint32_t>(tx >> 1);
  if constexpr (Bits <= 8) return Load32(&t.palette[ReadIndex<Bits>(row, sx)].rgbBlue);
  if constexpr (Bits == 24) return Load32(row + size_t{sx} * 3 - 1);
  return Load32(row + size_t{sx} * 4);
}

// The four samples of inside pixel x, one to a 32-bit lane.
template <unsigned Bits>
inline __m128i Samples(const Tables& t, const Sampler::RowBase& base, uint32_t x) {
  const Coeff c = t.colCos[x], s = t.colSin[x];
  return _mm_setr_epi32(static_cast<int>(Sample<Bits>(t, base.ya - s.a, base.xa + c.a)),
                        static_cast<int>(Sample<Bits>(t, base.ya - s.b, base.xa + c.b)),
                        static_cast<int>(Sample<Bits>(t, base.yb - s.a, base.xb + c.a)),
                        static_cast<int>(Sample<Bits>(t, base.yb - s.b, base.xb + c.b)));
}

// The four lanes' bytes added as 16-bit words: words 0-3 and 4-7 both hold the sums.
inline __m128i SumLanes(__m128i v) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i pairs = _mm_add_epi16(_mm_unpacklo_epi8(v, zero), _mm_unpackhi_epi8(v, zero));
  return _mm_add_epi16(pairs, _mm_shuffle_epi32(pairs, _MM_SHUFFLE(1, 0, 3, 2)));
}

// The averages of two pixels' samples, four bytes each, the first pixel in the low half.
inline uint64_t AverageTwo(__m128i first, __m128i second) {
  const __m128i sums = _mm_unpacklo_epi64(SumLanes(first), SumLanes(second));
  const __m128i averages = _mm_srli_epi16(sums, 2);
  uint64_t v;
  _mm_storel_epi64(reinterpret_cast<__m128i*>(&v), _mm_packus_epi16(averages, averages));
  return v;
}

template <unsigned Bits>
void HighColorSpan(const Sampler& sm, uint32_t y, Span in, uint8_t* out) {
  constexpr size_t kOut = Bits == 32 ? 4 : 3;
  constexpr unsigned kShift = Bits == 24 ? 8 : 0;  // where blue sits in an average
  const Sampler::RowBase base = sm.Base(y);
  const Tables t{sm.rows, sm.colCos, sm.colSin, sm.palette};
  uint32_t x = in.begin;
  // Two pixels a step, stored as eight bytes; with three bytes a pixel the last two are the next
  // pixel's, written again after it, so such a pair needs a pixel of the span after it.
  const bool ahead = y + Sampler::kPrefetchRows < sm.newHeight;
  const Sampler::RowBase next = sm.Base(ahead ? y + Sampler::kPrefetchRows : y);
  for (; x + (kOut == 4 ? 1 : 2) < in.end; x += 2, out += 2 * kOut) {
    if (ahead && x % 4 < 2) sm.Prefetch(next.xa, next.ya, t.colCos[x].a, t.colSin[x].a);
    uint64_t two = AverageTwo(Samples<Bits>(t, base, x), Samples<Bits>(t, base, x + 1));
    if constexpr (kOut == 3) two = (two >> kShift & 0xFFFFFF) | (two >> (32 + kShift)) << 24;
    std::memcpy(out, &two, 8);
  }
  for (; x < in.end; ++x, out += kOut) {
    const auto one =
        static_cast<uint32_t>(AverageTwo(Samples<Bits>(t, base, x), _mm_setzero_si128()) >> kShift);
    std::memcpy(out, &one, kOut);
  }
}

}  // namespace

void HighColorInsideSse2(const Sampler& sm, uint32_t y, Span inner, uint8_t* out) {
  WithDepth(sm.srcBits,
            [&](auto bits) { HighColorSpan<decltype(bits)::value>(sm, y, inner, out); });
}

}  // namespace any_angle_kernels
