// The parts of the row mirror's kernels that the portable and the SSE2 set share (see
// dib/row_mirror.h). Only the kernel files include this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "dib/dib.h"

namespace mirror_kernels {

inline void Prefetch(const uint8_t* p) { __builtin_prefetch(p); }

// Whole-byte pixels: of `width` pixels of N bytes reversed from `from` into `to`, output pixels
// [begin, end), one at a time.
template <size_t N>
void ReversePixels(const uint8_t* from, uint8_t* to, size_t width, size_t begin, size_t end) {
  for (size_t x = begin; x < end; ++x) std::memcpy(to + N * x, from + N * (width - 1 - x), N);
}

// The order inside each byte, repaired after the bytes were reversed: the 8 bits of a 1-bit row,
// the 2 nibbles of a 4-bit row; for one byte and for each byte of a 64-bit word.
inline uint64_t SwapBits(uint64_t v, uint64_t mask, int n) {
  return (v & mask) << n | (v >> n & mask);
}
struct BitOrder {
  static uint8_t Byte(uint8_t b) { return BitReverseTable[b]; }
  static uint64_t Word(uint64_t w) {
    w = SwapBits(w, 0x0F0F0F0F0F0F0F0Full, 4);
    w = SwapBits(w, 0x3333333333333333ull, 2);
    return SwapBits(w, 0x5555555555555555ull, 1);
  }
};
struct NibbleOrder {
  static uint8_t Byte(uint8_t b) { return static_cast<uint8_t>(b << 4 | b >> 4); }
  static uint64_t Word(uint64_t w) { return SwapBits(w, 0x0F0F0F0F0F0F0F0Full, 4); }
};

// The bits that a 1- or 4-bit row is moved towards its start after its bytes are reversed: the
// low bits of the last used byte that hold no pixel.
inline unsigned PackedShift(unsigned bits, uint32_t width) {
  return bits == 1 ? (8 - width % 8) % 8 : width % 2 ? 4 : 0;
}

// Mirrors a packed row `from` (`stride` bytes) into `to` from output byte `j` on: the first `used`
// bytes in reverse order, the order inside every byte repaired, and then the whole row moved
// towards its start by `shift` bits, each byte taking its low bits from the next byte as repaired.
// Bytes after the used ones are repaired in place. Eight bytes at a time: the eight bytes ending
// at used - j, loaded little-endian and repaired byte by byte, are exactly output bytes j..j+7
// read big-endian; then byte by byte.
template <class Order>
void MirrorPackedFrom(const uint8_t* from, uint8_t* to, size_t used, size_t stride, unsigned shift,
                      const uint8_t* ahead, size_t j) {
  auto repaired = [&](size_t i) -> unsigned {
    if (i >= stride) return 0;
    return Order::Byte(i < used ? from[used - 1 - i] : from[i]);
  };
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

}  // namespace mirror_kernels
