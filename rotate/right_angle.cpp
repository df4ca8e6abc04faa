// Exact quarter and half turns: pixels are moved, never computed.
//
// The quarter turns are transposes, so they walk the picture in tiles small enough for both the
// source rows and the destination rows of a tile to stay in the first-level cache; 1- and 8-bit
// pixels are moved eight rows by eight columns at a time through 64-bit words.
#include <algorithm>
#include <bit>
#include <cstring>

#include "resources/text_ids.h"
#include "rotate/rotate.h"

static_assert(std::endian::native == std::endian::little,
              "the 64-bit block moves assume little-endian byte order");

namespace {

// One turn's two pixel areas. Rows are in memory order.
struct Planes {
  const uint8_t* src;
  uint8_t* dst;
  size_t srcStride;
  size_t dstStride;
  uint32_t w;  // source width
  uint32_t h;  // source height

  const uint8_t* SrcRow(uint32_t r) const { return src + r * srcStride; }
  uint8_t* DstRow(uint32_t k) const { return dst + k * dstStride; }
};

// Tile side in pixels: 64 rows of 64 pixels of up to 4 bytes use 16 KiB of source lines and as
// much of destination lines, well inside a first-level cache.
constexpr uint32_t kTile = 64;

uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

void Store64(uint8_t* p, uint64_t v) { std::memcpy(p, &v, 8); }

// Exchanges the `mask` parts of b with the parts of a that lie `shift` bits higher.
void SwapFields(uint64_t& a, uint64_t& b, unsigned shift, uint64_t mask) {
  const uint64_t t = ((a >> shift) ^ b) & mask;
  b ^= t;
  a ^= t << shift;
}

// 8 × 8 byte transpose: afterwards byte i of v[k] is what byte k of v[i] was.
void TransposeBytes(uint64_t v[8]) {
  for (int i = 0; i < 8; i += 2) SwapFields(v[i], v[i + 1], 8, 0x00FF00FF00FF00FFull);
  for (int i : {0, 1, 4, 5}) SwapFields(v[i], v[i + 2], 16, 0x0000FFFF0000FFFFull);
  for (int i = 0; i < 4; ++i) SwapFields(v[i], v[i + 4], 32, 0x00000000FFFFFFFFull);
}

// 8 × 8 bit transpose of one word seen as bit b of byte a: that bit moves to bit a of byte b.
uint64_t TransposeBits(uint64_t x) {
  uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
  x ^= t ^ (t << 7);
  t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
  x ^= t ^ (t << 14);
  t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
  x ^= t ^ (t << 28);
  return x;
}

// Where the quarter turns put things: source column x becomes destination row DstRowOf(x) and
// source row r becomes destination column DstColOf(r).
template <bool Clockwise>
uint32_t DstRowOf(const Planes& p, uint32_t x) {
  return Clockwise ? p.w - 1 - x : x;
}
template <bool Clockwise>
uint32_t DstColOf(const Planes& p, uint32_t r) {
  return Clockwise ? r : p.h - 1 - r;
}

// Whole pixels of N bytes, source columns [x0, x1) of rows [r0, r1), tile by tile.
template <size_t N, bool Clockwise>
void TurnPixels(const Planes& p, uint32_t x0, uint32_t x1, uint32_t r0, uint32_t r1) {
  for (uint32_t rb = r0; rb < r1; rb += kTile) {
    const uint32_t re = std::min(r1, rb + kTile);
    for (uint32_t xb = x0; xb < x1; xb += kTile) {
      const uint32_t xe = std::min(x1, xb + kTile);
      for (uint32_t x = xb; x < xe; ++x) {
        uint8_t* out = p.DstRow(DstRowOf<Clockwise>(p, x));
        for (uint32_t r = rb; r < re; ++r)
          std::memcpy(out + size_t{DstColOf<Clockwise>(p, r)} * N, p.SrcRow(r) + size_t{x} * N, N);
      }
    }
  }
}

// 8 bits: whole 8 × 8 blocks go through one byte transpose; the columns and rows left over at
// the right and top edges are moved one by one.
template <bool Clockwise>
void TurnBytes(const Planes& p) {
  const uint32_t w8 = p.w & ~7u, h8 = p.h & ~7u;
  for (uint32_t rb = 0; rb < h8; rb += kTile) {
    const uint32_t re = std::min(h8, rb + kTile);
    for (uint32_t xb = 0; xb < w8; xb += kTile) {
      const uint32_t xe = std::min(w8, xb + kTile);
      for (uint32_t r0 = rb; r0 < re; r0 += 8) {
        for (uint32_t x0 = xb; x0 < xe; x0 += 8) {
          // Clockwise the block's rows run up the destination columns, so row r0 + i lands at
          // byte i of each word; counter-clockwise they run down, so the rows are taken reversed.
          uint64_t v[8];
          for (uint32_t i = 0; i < 8; ++i) v[i] = Load64(p.SrcRow(r0 + (Clockwise ? i : 7 - i)) + x0);
          TransposeBytes(v);
          const uint32_t col = Clockwise ? r0 : p.h - 8 - r0;
          for (uint32_t k = 0; k < 8; ++k) Store64(p.DstRow(DstRowOf<Clockwise>(p, x0 + k)) + col, v[k]);
        }
      }
    }
  }
  TurnPixels<1, Clockwise>(p, w8, p.w, 0, p.h);
  TurnPixels<1, Clockwise>(p, 0, w8, h8, p.h);
}

// 1 bit: destination byte m of every row holds the pixels of eight source rows, bit 7 first. For
// each group of eight rows, eight source bytes of each row go through a byte transpose and then
// each resulting word through a bit transpose, giving the destination bytes of 64 source columns.
// Rows beyond the picture read as 0, so the bits after the last pixel of every row come out 0.
template <bool Clockwise>
void TurnBits(const Planes& p) {
  const uint32_t srcBytes = (p.w + 7) / 8;
  const uint32_t groups = (p.h + 7) / 8;
  for (uint32_t mb = 0; mb < groups; mb += 8) {
    const uint32_t me = std::min(groups, mb + 8);
    for (uint32_t j = 0; j < srcBytes; j += 8) {
      const uint32_t chunk = std::min(8u, srcBytes - j);
      for (uint32_t m = mb; m < me; ++m) {
        // v[i] holds the row of destination bit i (bit 0 is the last of the eight pixels).
        uint64_t v[8];
        for (uint32_t i = 0; i < 8; ++i) {
          const int64_t r = Clockwise ? int64_t{8} * m + 7 - i : int64_t{p.h} - 8 - int64_t{8} * m + i;
          v[i] = 0;
          if (r >= 0 && r < p.h) {
            if (chunk == 8)
              v[i] = Load64(p.SrcRow(static_cast<uint32_t>(r)) + j);
            else
              std::memcpy(&v[i], p.SrcRow(static_cast<uint32_t>(r)) + j, chunk);
          }
        }
        TransposeBytes(v);
        for (uint32_t k = 0; k < chunk; ++k) {
          const uint64_t bits = TransposeBits(v[k]);
          for (uint32_t c = 0; c < 8; ++c) {
            const uint32_t x = 8 * (j + k) + c;
            if (x >= p.w) break;
            p.DstRow(DstRowOf<Clockwise>(p, x))[m] = static_cast<uint8_t>(bits >> (8 * (7 - c)));
          }
        }
      }
    }
  }
}

// 4 bits: destination byte m holds columns 2m (high nibble) and 2m + 1 (low nibble, 0 past the
// last column), taken from the source rows that become those columns.
template <bool Clockwise>
void TurnNibbles(const Planes& p) {
  const uint32_t bytes = (p.h + 1) / 2;
  auto nibble = [&](uint32_t col, uint32_t x) -> unsigned {
    if (col >= p.h) return 0;
    const uint8_t b = p.SrcRow(Clockwise ? col : p.h - 1 - col)[x / 2];
    return x % 2 ? b & 0x0F : b >> 4;
  };
  for (uint32_t mb = 0; mb < bytes; mb += kTile) {
    const uint32_t me = std::min(bytes, mb + kTile);
    for (uint32_t xb = 0; xb < p.w; xb += kTile) {
      const uint32_t xe = std::min(p.w, xb + kTile);
      for (uint32_t x = xb; x < xe; ++x) {
        uint8_t* out = p.DstRow(DstRowOf<Clockwise>(p, x));
        for (uint32_t m = mb; m < me; ++m)
          out[m] = static_cast<uint8_t>(nibble(2 * m, x) << 4 | nibble(2 * m + 1, x));
      }
    }
  }
}

template <bool Clockwise>
void Turn(const Planes& p, unsigned bits) {
  switch (bits) {
    case 1: TurnBits<Clockwise>(p); break;
    case 4: TurnNibbles<Clockwise>(p); break;
    case 8: TurnBytes<Clockwise>(p); break;
    case 24: TurnPixels<3, Clockwise>(p, 0, p.w, 0, p.h); break;
    case 32: TurnPixels<4, Clockwise>(p, 0, p.w, 0, p.h); break;
  }
}

// Half turn of a 1-bit row: destination byte j holds source pixels w - 1 - 8j down to w - 8 - 8j.
// Those eight pixels are read as one byte (pixel w - 8 - 8j in bit 7) from the two source bytes
// they straddle, then bit-reversed. In the last byte the pixels before 0 read as 0, so the bits
// after the last destination pixel are 0.
void ReverseBitRow(const uint8_t* in, uint8_t* out, uint32_t w) {
  const uint32_t bytes = (w + 7) / 8;
  for (uint32_t j = 0; j < bytes; ++j) {
    const int64_t q = int64_t{w} - 8 - int64_t{8} * j;
    unsigned window;
    if (q < 0) {
      window = in[0] >> (-q);
    } else {
      const uint32_t at = static_cast<uint32_t>(q / 8), shift = static_cast<uint32_t>(q % 8);
      const unsigned pair = shift ? (in[at] << 8 | in[at + 1]) : in[at] << 8;
      window = (pair << shift) >> 8;
    }
    out[j] = BitReverseTable[window & 0xFF];
  }
}

// Half turn of a 4-bit row. For an even width the bytes are reversed with their nibbles swapped;
// for an odd width every pixel keeps its nibble position, so each destination byte takes the high
// nibble of one source byte and the low nibble of the byte before it (0 for the last byte).
void ReverseNibbleRow(const uint8_t* in, uint8_t* out, uint32_t w) {
  const uint32_t bytes = (w + 1) / 2;
  for (uint32_t j = 0; j < bytes; ++j) {
    if (w % 2 == 0) {
      const uint8_t b = in[bytes - 1 - j];
      out[j] = static_cast<uint8_t>(b << 4 | b >> 4);
    } else {
      const uint32_t k = bytes - 1 - j;
      out[j] = static_cast<uint8_t>((in[k] & 0xF0) | (k > 0 ? in[k - 1] & 0x0F : 0));
    }
  }
}

template <size_t N>
void ReversePixelRow(const uint8_t* in, uint8_t* out, uint32_t w) {
  for (uint32_t x = 0; x < w; ++x) std::memcpy(out + size_t{x} * N, in + size_t{w - 1 - x} * N, N);
}

// Zeroes every destination row after its last used byte.
void ZeroPadding(uint8_t* dst, size_t stride, uint32_t width, uint32_t height, unsigned bits) {
  const size_t used = (uint64_t{bits} * width + 7) / 8;
  if (used == stride) return;
  for (uint32_t k = 0; k < height; ++k) std::memset(dst + k * stride + used, 0, stride - used);
}

}  // namespace

void ROT_Rotate90(const uint8_t* src, uint8_t* dst, size_t srcStride, size_t dstStride,
                  uint32_t srcWidth, uint32_t srcHeight, unsigned bits) {
  Turn<true>({src, dst, srcStride, dstStride, srcWidth, srcHeight}, bits);
  ZeroPadding(dst, dstStride, srcHeight, srcWidth, bits);
}

void ROT_Rotate270(const uint8_t* src, uint8_t* dst, size_t srcStride, size_t dstStride,
                   uint32_t srcWidth, uint32_t srcHeight, unsigned bits) {
  Turn<false>({src, dst, srcStride, dstStride, srcWidth, srcHeight}, bits);
  ZeroPadding(dst, dstStride, srcHeight, srcWidth, bits);
}

void ROT_Rotate180(const uint8_t* src, uint8_t* dst, size_t srcStride, size_t dstStride,
                   uint32_t srcWidth, uint32_t srcHeight, unsigned bits) {
  for (uint32_t r = 0; r < srcHeight; ++r) {
    const uint8_t* in = src + r * srcStride;
    uint8_t* out = dst + (srcHeight - 1 - r) * dstStride;
    switch (bits) {
      case 1: ReverseBitRow(in, out, srcWidth); break;
      case 4: ReverseNibbleRow(in, out, srcWidth); break;
      case 8: ReversePixelRow<1>(in, out, srcWidth); break;
      case 24: ReversePixelRow<3>(in, out, srcWidth); break;
      case 32: ReversePixelRow<4>(in, out, srcWidth); break;
    }
  }
  ZeroPadding(dst, dstStride, srcWidth, srcHeight, bits);
}

HostBlock ROT_RightAngle(HostBlock source, int k) {
  if (k < 1 || k > 3) return nullptr;  // not a turn this function makes; callers pass 1 to 3
  LockedDib image(source);
  if (!image.ok) return nullptr;
  const DibView& s = image.view;

  const bool quarter = k != 2;
  const uint32_t width = quarter ? s.height : s.width;
  const uint32_t height = quarter ? s.width : s.height;
  // A very wide, low picture can turn into one whose pixel bytes overflow the header's 32-bit
  // biSizeImage (narrow rows are padded to four bytes).
  if (RowStride(s.bits, width) * height > UINT32_MAX) {
    HP_ShowMessage(IDS_IMAGE_TOO_LARGE);
    return nullptr;
  }
  OwnedBlock result(HP_Alloc(PackedDibSize(ColorTableSize(*s.header), s.bits, width, height), HP_MOVEABLE));
  BlockLock lock(result.get());
  if (!lock) {
    image.lock.unlock();
    HP_ShowMessage(IDS_ROTATE_NO_MEMORY);
    return nullptr;
  }
  const DibView d = StartImageLike(s, lock.get(), width, height);
  switch (k) {
    case 1: ROT_Rotate90(s.rows, d.rows, s.stride, d.stride, s.width, s.height, s.bits); break;
    case 2: ROT_Rotate180(s.rows, d.rows, s.stride, d.stride, s.width, s.height, s.bits); break;
    case 3: ROT_Rotate270(s.rows, d.rows, s.stride, d.stride, s.width, s.height, s.bits); break;
  }
  lock.unlock();
  return result.release();
}
