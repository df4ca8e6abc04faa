// The row mirror in SSE2 registers: 8-, 24- and 32-bit pixels and 1- and 4-bit rows sixteen bytes
// at a time, the ends as the portable kernels do them.
#include <emmintrin.h>

#include "dib/mirror_kernels.h"
#include "dib/row_mirror.h"

using namespace mirror_kernels;

namespace {

__m128i Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
void Store(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// The 16 bytes in reverse order: dwords, then the words in each, then the bytes in each word.
__m128i ReverseBytes(__m128i v) {
  v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(_mm_shuffle_epi32(v, 0x1B), 0xB1), 0xB1);
  return _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
}

// 8 bits, sixteen pixels to a register.
void Reverse8(const uint8_t* from, uint8_t* to, size_t width, const uint8_t* ahead) {
  size_t x = 0;
  for (; x + 16 <= width; x += 16) {
    if (x % 64 == 0) Prefetch(ahead + x);
    Store(to + x, ReverseBytes(Load(from + width - 16 - x)));
  }
  ReversePixels<1>(from, to, width, x, width);
}

// 24 bits, five pixels to a register: output pixels x..x+4 are source pixels width-1-x down to
// width-5-x. Each comes from its own unaligned load, made where the pixel lands on its output
// place, and is masked to its three bytes. The 16th byte stored belongs to output pixel x+5, which
// is written afterwards. The loads reach 12 bytes either side of the five pixels, so the first
// five and the last few output pixels go one by one.
void Reverse24(const uint8_t* from, uint8_t* to, size_t width, const uint8_t* ahead) {
  const __m128i m0 = _mm_setr_epi8(-1, -1, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m128i m1 = _mm_slli_si128(m0, 3), m2 = _mm_slli_si128(m0, 6);
  const __m128i m3 = _mm_slli_si128(m0, 9), m4 = _mm_slli_si128(m0, 12);
  const size_t head = width < 5 ? width : 5;
  ReversePixels<3>(from, to, width, 0, head);
  size_t x = head;
  for (; x + 9 <= width; x += 5) {
    Prefetch(ahead + 3 * x);
    const uint8_t* in = from + 3 * (width - 5 - x);  // the five source pixels
    const __m128i p01 =
        _mm_or_si128(_mm_and_si128(Load(in + 12), m0), _mm_and_si128(Load(in + 6), m1));
    const __m128i p23 = _mm_or_si128(_mm_and_si128(Load(in), m2), _mm_and_si128(Load(in - 6), m3));
    Store(to + 3 * x, _mm_or_si128(_mm_or_si128(p01, p23), _mm_and_si128(Load(in - 12), m4)));
  }
  ReversePixels<3>(from, to, width, x, width);
}

// 32 bits, four pixels to a register, sixteen (a cache line, one prefetch) a step. With the
// prefetch under a branch inside the loop, the compiler entered the loop by a jump into its middle,
// its top was not aligned as loops are, and it ran up to an eighth slower wherever the link put it
// across a 64-byte boundary. Without a branch inside, the loop starts on one.
void Reverse32(const uint8_t* from, uint8_t* to, size_t width, const uint8_t* ahead) {
  auto reverse4 = [&](size_t x) {
    Store(to + 4 * x, _mm_shuffle_epi32(Load(from + 4 * (width - 4 - x)), 0x1B));
  };
  size_t x = 0;
  for (; x + 16 <= width; x += 16) {
    Prefetch(ahead + 4 * x);
    reverse4(x);
    reverse4(x + 4);
    reverse4(x + 8);
    reverse4(x + 12);
  }
  if (x < width) Prefetch(ahead + 4 * x);
  for (; x + 4 <= width; x += 4) reverse4(x);
  ReversePixels<4>(from, to, width, x, width);
}

// The repair of the order inside every byte of a register (see BitOrder and NibbleOrder).
__m128i SwapBits(__m128i v, __m128i mask, int n) {
  return _mm_or_si128(_mm_slli_epi16(_mm_and_si128(v, mask), n),
                      _mm_and_si128(_mm_srli_epi16(v, n), mask));
}
struct BitVector : BitOrder {
  static __m128i Vector(__m128i v) {
    v = SwapBits(v, _mm_set1_epi8(0x0F), 4);
    v = SwapBits(v, _mm_set1_epi8(0x33), 2);
    return SwapBits(v, _mm_set1_epi8(0x55), 1);
  }
};
struct NibbleVector : NibbleOrder {
  static __m128i Vector(__m128i v) { return SwapBits(v, _mm_set1_epi8(0x0F), 4); }
};

// MirrorPackedFrom with sixteen bytes at a time first: the sixteen ending at used - j, repaired
// and put in reverse order, are output bytes j..j+15 before the shift, and each then takes its
// low bits from the byte after it.
template <class Order>
void MirrorPacked(const uint8_t* from, uint8_t* to, size_t used, size_t stride, unsigned shift,
                  const uint8_t* ahead) {
  const __m128i count = _mm_cvtsi32_si128(static_cast<int>(shift));
  const __m128i rest = _mm_cvtsi32_si128(static_cast<int>(8 - shift));
  const __m128i high = _mm_set1_epi8(static_cast<char>(0xFF << shift));
  size_t j = 0;
  for (; j + 16 < used; j += 16) {
    if (j % 64 == 0) Prefetch(ahead + j);
    __m128i bytes = ReverseBytes(Order::Vector(Load(from + used - 16 - j)));
    if (shift) {
      const __m128i after = _mm_slli_si128(_mm_cvtsi32_si128(Order::Byte(from[used - 17 - j])), 15);
      const __m128i next = _mm_or_si128(_mm_srli_si128(bytes, 1), after);
      bytes = _mm_or_si128(_mm_and_si128(_mm_sll_epi16(bytes, count), high),
                           _mm_andnot_si128(high, _mm_srl_epi16(next, rest)));
    }
    Store(to + j, bytes);
  }
  MirrorPackedFrom<Order>(from, to, used, stride, shift, ahead, j);
}

}  // namespace

void MirrorRowSse2(const uint8_t* from, uint8_t* to, unsigned bits, uint32_t width, size_t stride,
                   const uint8_t* ahead) {
  const auto used = static_cast<size_t>((uint64_t{bits} * width + 7) / 8);
  switch (bits) {
    case 1:
      MirrorPacked<BitVector>(from, to, used, stride, PackedShift(1, width), ahead);
      break;
    case 4:
      MirrorPacked<NibbleVector>(from, to, used, stride, PackedShift(4, width), ahead);
      break;
    case 8:
      Reverse8(from, to, width, ahead);
      break;
    case 24:
      Reverse24(from, to, width, ahead);
      break;
    case 32:
      Reverse32(from, to, width, ahead);
      break;
  }
}
