// Mirror: every row reversed in place, through a copy of the row in a scratch block.
//
// The kernels read the copy and write the row. While one row is reversed they ask for the next
// row's cache lines, a few at a time (`ahead`), so that the next copy finds it in the cache: rows
// fetched only when they are copied leave the processor waiting for memory at every row, and asking
// for a whole row at once stalls on the few misses it can have outstanding. With SSE2 (every x86
// build here; see CMakeLists.txt) 24- and 32-bit pixels move in registers; elsewhere one by one.
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "dib/dib.h"
#include "dib/transforms.h"
#include "resources/text_ids.h"

namespace {

void Prefetch(const uint8_t* p) { __builtin_prefetch(p); }

// The kernels of whole-byte pixels: `width` pixels of N bytes, reversed from `from` into `to`;
// `ahead` is the row to prefetch.

// One pixel at a time, output pixels [begin, end).
template <size_t N>
void ReversePixels(const uint8_t* from, uint8_t* to, size_t width, size_t begin, size_t end) {
  for (size_t x = begin; x < end; ++x) std::memcpy(to + N * x, from + N * (width - 1 - x), N);
}

#if defined(__SSE2__)
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

// 32 bits, four pixels to a register.
void Reverse32(const uint8_t* from, uint8_t* to, size_t width, const uint8_t* ahead) {
  size_t x = 0;
  for (; x + 4 <= width; x += 4) {
    if (x % 16 == 0) Prefetch(ahead + 4 * x);
    Store(to + 4 * x, _mm_shuffle_epi32(Load(from + 4 * (width - 4 - x)), 0x1B));
  }
  ReversePixels<4>(from, to, width, x, width);
}
#else
template <size_t N>
void ReverseEach(const uint8_t* from, uint8_t* to, size_t width, const uint8_t* ahead) {
  for (size_t x = 0; x < width; x += 16) {
    Prefetch(ahead + N * x);
    ReversePixels<N>(from, to, width, x, x + 16 < width ? x + 16 : width);
  }
}
void Reverse8(const uint8_t* from, uint8_t* to, size_t width, const uint8_t* ahead) {
  ReverseEach<1>(from, to, width, ahead);
}
void Reverse24(const uint8_t* from, uint8_t* to, size_t width, const uint8_t* ahead) {
  ReverseEach<3>(from, to, width, ahead);
}
void Reverse32(const uint8_t* from, uint8_t* to, size_t width, const uint8_t* ahead) {
  ReverseEach<4>(from, to, width, ahead);
}
#endif

// The order inside each byte, repaired after the bytes were reversed: the 8 bits of a 1-bit row,
// the 2 nibbles of a 4-bit row. Each comes as a byte function and as the same applied to every
// byte of a 64-bit word and, with SSE2, of a register.
uint64_t SwapBits(uint64_t v, uint64_t mask, int n) { return (v & mask) << n | (v >> n & mask); }
#if defined(__SSE2__)
__m128i SwapBits(__m128i v, __m128i mask, int n) {
  return _mm_or_si128(_mm_slli_epi16(_mm_and_si128(v, mask), n),
                      _mm_and_si128(_mm_srli_epi16(v, n), mask));
}
#endif

struct BitOrder {
  static uint8_t Byte(uint8_t b) { return BitReverseTable[b]; }
  static uint64_t Word(uint64_t w) {
    w = SwapBits(w, 0x0F0F0F0F0F0F0F0Full, 4);
    w = SwapBits(w, 0x3333333333333333ull, 2);
    return SwapBits(w, 0x5555555555555555ull, 1);
  }
#if defined(__SSE2__)
  static __m128i Vector(__m128i v) {
    v = SwapBits(v, _mm_set1_epi8(0x0F), 4);
    v = SwapBits(v, _mm_set1_epi8(0x33), 2);
    return SwapBits(v, _mm_set1_epi8(0x55), 1);
  }
#endif
};
struct NibbleOrder {
  static uint8_t Byte(uint8_t b) { return static_cast<uint8_t>(b << 4 | b >> 4); }
  static uint64_t Word(uint64_t w) { return SwapBits(w, 0x0F0F0F0F0F0F0F0Full, 4); }
#if defined(__SSE2__)
  static __m128i Vector(__m128i v) { return SwapBits(v, _mm_set1_epi8(0x0F), 4); }
#endif
};

// Mirrors a packed row `from` (the original, `stride` bytes) into `to`: the first `used` bytes in
// reverse order, the order inside every byte repaired, and then the whole row moved towards its
// start by `shift` bits (the padding bits that stood in the last used byte), each byte taking its
// low bits from the next byte as repaired. Bytes after the used ones are repaired in place.
// With SSE2, sixteen bytes at a time: the sixteen ending at used - j, repaired and put in reverse
// order, are output bytes j..j+15 before the shift, and each then takes its low bits from the byte
// after it. Then eight at a time: the eight bytes ending at used - j, loaded little-endian and
// repaired byte by byte, are exactly output bytes j..j+7 read big-endian.
template <class Order>
void MirrorPacked(const uint8_t* from, uint8_t* to, size_t used, size_t stride, unsigned shift,
                  const uint8_t* ahead) {
  auto repaired = [&](size_t j) -> unsigned {
    if (j >= stride) return 0;
    return Order::Byte(j < used ? from[used - 1 - j] : from[j]);
  };
  size_t j = 0;
#if defined(__SSE2__)
  const __m128i count = _mm_cvtsi32_si128(static_cast<int>(shift));
  const __m128i rest = _mm_cvtsi32_si128(static_cast<int>(8 - shift));
  const __m128i high = _mm_set1_epi8(static_cast<char>(0xFF << shift));
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
#endif
  for (; j + 8 < used; j += 8) {
    if (j % 64 == 0) Prefetch(ahead + j);
    uint64_t word;
    std::memcpy(&word, from + used - 8 - j, 8);
    word = Order::Word(word);
    if (shift) word = word << shift | repaired(j + 8) >> (8 - shift);
    word = __builtin_bswap64(word);
    std::memcpy(to + j, &word, 8);
  }
  for (; j < stride; ++j) {
    const unsigned value =
        shift ? (repaired(j) << shift | repaired(j + 1) >> (8 - shift)) : repaired(j);
    to[j] = static_cast<uint8_t>(value);
  }
}

}  // namespace

bool MirrorDib(HostBlock dib) {
  LockedDib image(dib);
  if (!image.ok) return false;
  const DibView& v = image.view;

  OwnedBlock scratchBlock(HP_Alloc(v.stride, HP_MOVEABLE));
  BlockLock scratch(scratchBlock.get());
  if (!scratch) {
    HP_ShowMessage(IDS_MIRROR_NO_MEMORY);
    return false;
  }
  uint8_t* buffer = scratch.get();
  // The low bits of the last used byte of a 1-bit row that hold no pixel.
  const unsigned shift1 = static_cast<unsigned>((v.stride * 8 - v.width) % 8);
  for (size_t k = 0; k < v.height; ++k) {
    uint8_t* row = v.Row(k);
    const uint8_t* ahead = v.Row(k + 1 < v.height ? k + 1 : k);
    std::memcpy(buffer, row, v.stride);
    switch (v.bits) {
      case 1:
        MirrorPacked<BitOrder>(buffer, row, v.UsedBytes(), v.stride, shift1, ahead);
        break;
      case 4:
        MirrorPacked<NibbleOrder>(buffer, row, v.UsedBytes(), v.stride, v.width % 2 ? 4 : 0, ahead);
        break;
      case 8:
        Reverse8(buffer, row, v.width, ahead);
        break;
      case 24:
        Reverse24(buffer, row, v.width, ahead);
        break;
      case 32:
        Reverse32(buffer, row, v.width, ahead);
        break;
    }
  }
  return true;
}
