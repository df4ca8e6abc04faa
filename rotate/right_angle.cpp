// Exact quarter and half turns: pixels are moved, never computed.
//
// The quarter turns are transposes, so they walk the picture in tiles small enough for both the
// source rows and the destination rows of a tile to stay in the first-level cache; 1- and 8-bit
// pixels are moved eight rows by eight columns at a time through 64-bit words.
#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "resources/text_ids.h"
#include "rotate/rotate.h"

static_assert(std::endian::native == std::endian::little,
              "the 64-bit block moves assume little-endian byte order");

namespace {

// One turn's two pixel areas. Rows are in memory order. Kernels copy the fields into locals
// before their loops: stores through byte pointers could alias them otherwise, and the compiler
// would reload them after every store.
struct Planes {
  const uint8_t* src;
  uint8_t* dst;
  size_t srcStride;
  size_t dstStride;
  uint32_t w;  // source width
  uint32_t h;  // source height
};

// Tile side in pixels for the quarter turns: the source rows and destination rows a tile touches
// stay in the first-level cache and its pages in the first-level TLB.
constexpr uint32_t kTile = 32;

// Whole pixels of N bytes, source columns [x0, x1) of rows [r0, r1), one by one, tile by tile.
// This moves the edges the block kernels leave over, and everything where there are none.
template <size_t N, bool Clockwise>
void TurnPixels(const Planes& p, uint32_t x0, uint32_t x1, uint32_t r0, uint32_t r1) {
  const uint8_t* const src = p.src;
  uint8_t* const dst = p.dst;
  const size_t srcStride = p.srcStride, dstStride = p.dstStride;
  const uint32_t w = p.w, h = p.h;
  for (uint32_t rb = r0; rb < r1; rb += kTile) {
    const uint32_t re = std::min(r1, rb + kTile);
    for (uint32_t xb = x0; xb < x1; xb += kTile) {
      const uint32_t xe = std::min(x1, xb + kTile);
      for (uint32_t x = xb; x < xe; ++x) {
        uint8_t* out = dst + size_t{Clockwise ? w - 1 - x : x} * dstStride;
        const uint8_t* in = src + size_t{x} * N;
        for (uint32_t r = rb; r < re; ++r)
          std::memcpy(out + size_t{Clockwise ? r : h - 1 - r} * N, in + r * srcStride, N);
      }
    }
  }
}

// 24 bits: each source column of a tile becomes a run of consecutive pixels in one destination
// row, written from left to right with 4-byte moves whose fourth byte the next pixel overwrites;
// the last pixel of a run moves 3 bytes. The last source column takes 3-byte reads when the row
// has no padding byte to spare.
template <bool Clockwise>
void TurnTriples(const Planes& p) {
  const uint8_t* const src = p.src;
  uint8_t* const dst = p.dst;
  const size_t srcStride = p.srcStride, dstStride = p.dstStride;
  const uint32_t w = p.w, h = p.h;
  const uint32_t wide = size_t{3} * w + 1 <= srcStride ? w : w - 1;  // columns safe for 4-byte reads
  for (uint32_t rb = 0; rb < h; rb += kTile) {
    const uint32_t re = std::min(h, rb + kTile);
    for (uint32_t xb = 0; xb < wide; xb += kTile) {
      const uint32_t xe = std::min(wide, xb + kTile);
      for (uint32_t x = xb; x < xe; ++x) {
        // The run's first destination column and the source row that lands there.
        uint8_t* out = dst + size_t{Clockwise ? w - 1 - x : x} * dstStride +
                       size_t{Clockwise ? rb : h - re} * 3;
        const uint8_t* in = src + size_t{x} * 3 + size_t{Clockwise ? rb : re - 1} * srcStride;
        const ptrdiff_t step = Clockwise ? static_cast<ptrdiff_t>(srcStride) : -static_cast<ptrdiff_t>(srcStride);
        for (uint32_t n = re - rb - 1; n > 0; --n, in += step, out += 3) std::memcpy(out, in, 4);
        std::memcpy(out, in, 3);
      }
    }
  }
  TurnPixels<3, Clockwise>(p, wide, w, 0, h);
}

#if defined(__SSE2__)
// 8 bits, 8 × 8 blocks: eight 8-byte rows interleaved by bytes, then 16-bit pairs, then 32-bit
// quads give the eight columns. `in` is the block's first source row, `out` the destination row
// of its first column; Clockwise the rows land at increasing columns, otherwise at decreasing
// ones, so they are read in reverse.
template <bool Clockwise>
void MoveBlock8x8(const uint8_t* in, size_t srcStride, uint8_t* out, ptrdiff_t dstStep) {
  __m128i r[8];
  for (int i = 0; i < 8; ++i)
    r[i] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + (Clockwise ? i : 7 - i) * srcStride));
  const __m128i a0 = _mm_unpacklo_epi8(r[0], r[1]), a1 = _mm_unpacklo_epi8(r[2], r[3]);
  const __m128i a2 = _mm_unpacklo_epi8(r[4], r[5]), a3 = _mm_unpacklo_epi8(r[6], r[7]);
  const __m128i b0 = _mm_unpacklo_epi16(a0, a1), b1 = _mm_unpackhi_epi16(a0, a1);
  const __m128i b2 = _mm_unpacklo_epi16(a2, a3), b3 = _mm_unpackhi_epi16(a2, a3);
  const __m128i c[4] = {_mm_unpacklo_epi32(b0, b2), _mm_unpackhi_epi32(b0, b2),
                        _mm_unpacklo_epi32(b1, b3), _mm_unpackhi_epi32(b1, b3)};
  for (int k = 0; k < 4; ++k) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 2 * k * dstStep), c[k]);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (2 * k + 1) * dstStep), _mm_srli_si128(c[k], 8));
  }
}

// 32 bits, 4 × 4 blocks: pairs of rows interleaved by pixels, then by pixel pairs.
template <bool Clockwise>
void MoveBlock4x4(const uint8_t* in, size_t srcStride, uint8_t* out, ptrdiff_t dstStep) {
  __m128i r[4];
  for (int i = 0; i < 4; ++i)
    r[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + (Clockwise ? i : 3 - i) * srcStride));
  const __m128i t0 = _mm_unpacklo_epi32(r[0], r[1]), t1 = _mm_unpacklo_epi32(r[2], r[3]);
  const __m128i t2 = _mm_unpackhi_epi32(r[0], r[1]), t3 = _mm_unpackhi_epi32(r[2], r[3]);
  const __m128i c[4] = {_mm_unpacklo_epi64(t0, t1), _mm_unpackhi_epi64(t0, t1),
                        _mm_unpacklo_epi64(t2, t3), _mm_unpackhi_epi64(t2, t3)};
  for (int k = 0; k < 4; ++k) _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k * dstStep), c[k]);
}

// Whole B × B blocks of N-byte pixels through Move, tile by tile; the edges pixel by pixel.
template <size_t N, uint32_t B, bool Clockwise, void (*Move)(const uint8_t*, size_t, uint8_t*, ptrdiff_t)>
void TurnBlocks(const Planes& p) {
  const uint8_t* const src = p.src;
  uint8_t* const dst = p.dst;
  const size_t srcStride = p.srcStride, dstStride = p.dstStride;
  const uint32_t w = p.w, h = p.h, wB = w - w % B, hB = h - h % B;
  const ptrdiff_t dstStep = Clockwise ? -static_cast<ptrdiff_t>(dstStride) : static_cast<ptrdiff_t>(dstStride);
  for (uint32_t rb = 0; rb < hB; rb += kTile) {
    const uint32_t re = std::min(hB, rb + kTile);
    for (uint32_t xb = 0; xb < wB; xb += kTile) {
      const uint32_t xe = std::min(wB, xb + kTile);
      for (uint32_t x0 = xb; x0 < xe; x0 += B)
        for (uint32_t r0 = rb; r0 < re; r0 += B)
          Move(src + r0 * srcStride + x0 * N, srcStride,
               dst + size_t{Clockwise ? w - 1 - x0 : x0} * dstStride + size_t{Clockwise ? r0 : h - B - r0} * N,
               dstStep);
    }
  }
  TurnPixels<N, Clockwise>(p, wB, w, 0, h);
  TurnPixels<N, Clockwise>(p, 0, wB, hB, h);
}
#endif

// 1 bit, 64 × 64 blocks: 64 source rows of 64 pixels, seen as a square of bits, transposed by
// six rounds of exchanging halves, quarters, ... of the rows. Pixel x of a row sits at bit
// 8 (x / 8) + 7 - x % 8 of its little-endian word (Bit(x)); rows are placed at the same
// positions, so the transposed word of source column x is its destination row's word as it is.
// Rows beyond the picture and bits beyond a row read as 0, so the bits after the last pixel of
// every destination row come out 0.
constexpr uint32_t Bit(uint32_t i) { return (i & ~7u) | (7 - (i & 7u)); }

void Transpose64(uint64_t (&a)[64]) {
  uint64_t mask = 0x00000000FFFFFFFFull;
  for (unsigned j = 32; j != 0; j >>= 1, mask ^= mask << j) {
    for (unsigned k = 0; k < 64; k = (k + j + 1) & ~j) {
      const uint64_t t = ((a[k] >> j) ^ a[k + j]) & mask;
      a[k + j] ^= t;
      a[k] ^= t << j;
    }
  }
}

template <bool Clockwise>
void TurnBits(const Planes& p) {
  const uint8_t* const src = p.src;
  uint8_t* const dst = p.dst;
  const size_t srcStride = p.srcStride, dstStride = p.dstStride;
  const uint32_t w = p.w, h = p.h;
  const uint32_t srcBytes = (w + 7) / 8, dstBytes = (h + 7) / 8;
  for (uint32_t c0 = 0; c0 < h; c0 += 64) {  // 64 destination columns: eight bytes of each row
    const uint32_t outBytes = std::min(8u, dstBytes - c0 / 8);
    for (uint32_t j0 = 0; j0 < srcBytes; j0 += 8) {  // 64 source columns: eight bytes of each row
      const uint32_t inBytes = std::min(8u, srcBytes - j0);
      uint64_t a[64];
      for (uint32_t i = 0; i < 64; ++i) {
        const uint32_t c = c0 + i;
        a[Bit(i)] = 0;
        if (c < h) std::memcpy(&a[Bit(i)], src + size_t{Clockwise ? c : h - 1 - c} * srcStride + j0, inBytes);
      }
      Transpose64(a);
      const uint32_t columns = std::min(64u, w - 8 * j0);
      for (uint32_t i = 0; i < columns; ++i) {
        const uint32_t x = 8 * j0 + i;
        std::memcpy(dst + size_t{Clockwise ? w - 1 - x : x} * dstStride + c0 / 8, &a[Bit(i)], outBytes);
      }
    }
  }
}

// 4 bits: destination byte m holds columns 2m (high nibble) and 2m + 1 (low nibble, 0 past the
// last column), taken from the source rows that become those columns.
template <bool Clockwise>
void TurnNibbles(const Planes& p) {
  const uint8_t* const src = p.src;
  uint8_t* const dst = p.dst;
  const size_t srcStride = p.srcStride, dstStride = p.dstStride;
  const uint32_t w = p.w, h = p.h, bytes = (h + 1) / 2;
  auto nibble = [&](uint32_t col, uint32_t x) -> unsigned {
    if (col >= h) return 0;
    const uint8_t b = src[size_t{Clockwise ? col : h - 1 - col} * srcStride + x / 2];
    return x % 2 ? b & 0x0F : b >> 4;
  };
  for (uint32_t mb = 0; mb < bytes; mb += kTile) {
    const uint32_t me = std::min(bytes, mb + kTile);
    for (uint32_t xb = 0; xb < w; xb += kTile) {
      const uint32_t xe = std::min(w, xb + kTile);
      for (uint32_t x = xb; x < xe; ++x) {
        uint8_t* out = dst + size_t{Clockwise ? w - 1 - x : x} * dstStride;
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
    case 24: TurnTriples<Clockwise>(p); break;
#if defined(__SSE2__)
    case 8: TurnBlocks<1, 8, Clockwise, MoveBlock8x8<Clockwise>>(p); break;
    case 32: TurnBlocks<4, 4, Clockwise, MoveBlock4x4<Clockwise>>(p); break;
#else
    case 8: TurnPixels<1, Clockwise>(p, 0, p.w, 0, p.h); break;
    case 32: TurnPixels<4, Clockwise>(p, 0, p.w, 0, p.h); break;
#endif
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
