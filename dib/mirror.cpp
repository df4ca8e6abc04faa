#include <cstring>

#include "dib/dib.h"
#include "dib/transforms.h"
#include "resources/text_ids.h"

namespace {

// Reverses the order of `width` pixels from `from` into `to`; equal to reversing the used bytes
// and then restoring the byte order inside each pixel. Plain indexed loops, which the compiler
// turns into vector shuffles.
void Reverse8(const uint8_t* from, uint8_t* to, size_t width) {
  size_t x = 0;
  for (; x + 8 <= width; x += 8) {
    uint64_t word;
    std::memcpy(&word, from + width - 8 - x, 8);
    word = __builtin_bswap64(word);
    std::memcpy(to + x, &word, 8);
  }
  for (; x < width; ++x) to[x] = from[width - 1 - x];
}

// Eight pixels (three 64-bit words) at a time are put in reverse order by shifts; the remaining
// pixels go byte by byte.
void Reverse24(const uint8_t* from, uint8_t* to, size_t width) {
  size_t x = 0;
  for (; x + 8 <= width; x += 8) {
    const uint8_t* src = from + 3 * (width - 8 - x);
    uint64_t u0, u1, u2;
    std::memcpy(&u0, src, 8);
    std::memcpy(&u1, src + 8, 8);
    std::memcpy(&u2, src + 16, 8);
    // Pixels p0..p7 occupy bytes 0-2, 3-5, ..., 21-23 of the 24; the output holds p7..p0.
    const uint64_t o0 = u2 >> 40 | (u2 >> 16 & 0xFFFFFF) << 24 | (u1 >> 56) << 48 | u2 << 56;
    const uint64_t o1 = (u2 >> 8 & 0xFF) | (u1 >> 32 & 0xFFFFFF) << 8 | (u1 >> 8 & 0xFFFFFF) << 32 |
                        (u0 >> 48 & 0xFF) << 56;
    const uint64_t o2 = u0 >> 56 | (u1 & 0xFF) << 8 | (u0 >> 24 & 0xFFFFFF) << 16 | u0 << 40;
    std::memcpy(to + 3 * x, &o0, 8);
    std::memcpy(to + 3 * x + 8, &o1, 8);
    std::memcpy(to + 3 * x + 16, &o2, 8);
  }
  for (; x < width; ++x) {
    const uint8_t* src = from + 3 * (width - 1 - x);
    to[3 * x] = src[0];
    to[3 * x + 1] = src[1];
    to[3 * x + 2] = src[2];
  }
}

void Reverse32(const uint8_t* from, uint8_t* to, size_t width) {
  for (size_t x = 0; x < width; ++x) {
    uint32_t pixel;
    std::memcpy(&pixel, from + 4 * (width - 1 - x), 4);
    std::memcpy(to + 4 * x, &pixel, 4);
  }
}

// The order inside each byte, repaired after the bytes were reversed: the 8 bits of a 1-bit row,
// the 2 nibbles of a 4-bit row. Each comes as a byte function and as the same applied to every
// byte of a 64-bit word.
struct BitOrder {
  static uint8_t Byte(uint8_t b) { return BitReverseTable[b]; }
  static uint64_t Word(uint64_t w) {
    w = (w & 0x0F0F0F0F0F0F0F0Full) << 4 | (w >> 4 & 0x0F0F0F0F0F0F0F0Full);
    w = (w & 0x3333333333333333ull) << 2 | (w >> 2 & 0x3333333333333333ull);
    return (w & 0x5555555555555555ull) << 1 | (w >> 1 & 0x5555555555555555ull);
  }
};
struct NibbleOrder {
  static uint8_t Byte(uint8_t b) { return static_cast<uint8_t>(b << 4 | b >> 4); }
  static uint64_t Word(uint64_t w) {
    return (w & 0x0F0F0F0F0F0F0F0Full) << 4 | (w >> 4 & 0x0F0F0F0F0F0F0F0Full);
  }
};

// Mirrors a packed row `from` (the original, `stride` bytes) into `to`: the first `used` bytes in
// reverse order, the order inside every byte repaired, and then the whole row moved towards its
// start by `shift` bits (the padding bits that stood in the last used byte), each byte taking its
// low bits from the next byte as repaired. Bytes after the used ones are repaired in place.
// Eight bytes at a time: the eight bytes ending at used - j, loaded little-endian and repaired
// byte by byte, are exactly output bytes j..j+7 read big-endian.
template <class Order>
void MirrorPacked(const uint8_t* from, uint8_t* to, size_t used, size_t stride, unsigned shift) {
  auto repaired = [&](size_t j) -> unsigned {
    if (j >= stride) return 0;
    return Order::Byte(j < used ? from[used - 1 - j] : from[j]);
  };
  size_t j = 0;
  for (; j + 8 < used; j += 8) {
    uint64_t word;
    std::memcpy(&word, from + used - 8 - j, 8);
    word = Order::Word(word);
    if (shift) word = word << shift | repaired(j + 8) >> (8 - shift);
    word = __builtin_bswap64(word);
    std::memcpy(to + j, &word, 8);
  }
  for (; j < stride; ++j) {
    const unsigned value = shift ? (repaired(j) << shift | repaired(j + 1) >> (8 - shift)) : repaired(j);
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
    std::memcpy(buffer, row, v.stride);
    switch (v.bits) {
      case 1: MirrorPacked<BitOrder>(buffer, row, v.UsedBytes(), v.stride, shift1); break;
      case 4: MirrorPacked<NibbleOrder>(buffer, row, v.UsedBytes(), v.stride, v.width % 2 ? 4 : 0); break;
      case 8: Reverse8(buffer, row, v.width); break;
      case 24: Reverse24(buffer, row, v.width); break;
      case 32: Reverse32(buffer, row, v.width); break;
    }
  }
  return true;
}
