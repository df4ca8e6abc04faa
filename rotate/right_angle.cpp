// Exact quarter and half turns: pixels are moved, never computed.
//
// A quarter turn is a transpose (plus a flip). It walks the picture in tiles of many source rows
// by few source columns: each source column of a tile becomes a long run in one destination row,
// so the destination is written in whole cache lines and few of its rows are open at a time,
// while the tile's source lines stay cached for the next tile along the rows. With SSE2, 8- and
// 32-bit pixels move in 8 × 8 and 4 × 4 blocks transposed in registers, and 1-bit pixels in
// blocks of 16 rows by 128 columns; the edges the blocks leave over move one by one, as does
// everything on a processor without SSE2 (every x86 build here has it; see CMakeLists.txt).
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "resources/text_ids.h"
#include "rotate/rotate.h"

static_assert(std::endian::native == std::endian::little,
              "the block moves assume little-endian byte order");

namespace {

using std::ptrdiff_t;

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

// Tiles of the quarter turns: source rows by source columns (multiples of every block side).
// 3-byte pixels gain from runs twice as long; longer runs gain nothing at the other depths.
constexpr uint32_t kTileRows = 256;
constexpr uint32_t kTileRowsOf3 = 512;
constexpr uint32_t kTileCols = 16;

// Whole pixels of N bytes, source columns [x0, x1) of rows [r0, r1), one by one, tile by tile.
template <size_t N, bool Clockwise>
void TurnPixels(const Planes& p, uint32_t x0, uint32_t x1, uint32_t r0, uint32_t r1) {
  const uint8_t* const src = p.src;
  uint8_t* const dst = p.dst;
  const size_t srcStride = p.srcStride, dstStride = p.dstStride;
  const uint32_t w = p.w, h = p.h;
  for (uint32_t rb = r0; rb < r1; rb += kTileRows) {
    const uint32_t re = std::min(r1, rb + kTileRows);
    for (uint32_t xb = x0; xb < x1; xb += kTileCols) {
      const uint32_t xe = std::min(x1, xb + kTileCols);
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
  const ptrdiff_t step = Clockwise ? static_cast<ptrdiff_t>(srcStride) : -static_cast<ptrdiff_t>(srcStride);
  for (uint32_t rb = 0; rb < h; rb += kTileRowsOf3) {
    const uint32_t re = std::min(h, rb + kTileRowsOf3);
    for (uint32_t xb = 0; xb < wide; xb += kTileCols) {
      const uint32_t xe = std::min(wide, xb + kTileCols);
      for (uint32_t x = xb; x < xe; ++x) {
        // The run's first destination column and the source row that lands there.
        uint8_t* out = dst + size_t{Clockwise ? w - 1 - x : x} * dstStride + size_t{Clockwise ? rb : h - re} * 3;
        const uint8_t* in = src + size_t{x} * 3 + size_t{Clockwise ? rb : re - 1} * srcStride;
        for (uint32_t n = re - rb - 1; n > 0; --n, in += step, out += 3) std::memcpy(out, in, 4);
        std::memcpy(out, in, 3);
      }
    }
  }
  TurnPixels<3, Clockwise>(p, wide, w, 0, h);
}

// 1 bit, one destination byte at a time: bit 7 - i of byte m of the row of source column x is
// pixel x of the source row that becomes column 8m + i; columns past the last are 0.
template <bool Clockwise>
void TurnBitsByBytes(const Planes& p, uint32_t x0, uint32_t x1, uint32_t m0, uint32_t m1) {
  const uint8_t* const src = p.src;
  uint8_t* const dst = p.dst;
  const size_t srcStride = p.srcStride, dstStride = p.dstStride;
  const uint32_t w = p.w, h = p.h;
  for (uint32_t x = x0; x < x1; ++x) {
    uint8_t* out = dst + size_t{Clockwise ? w - 1 - x : x} * dstStride;
    const uint8_t* in = src + x / 8;
    const unsigned shift = 7 - x % 8;
    for (uint32_t m = m0; m < m1; ++m) {
      unsigned byte = 0;
      for (uint32_t i = 0, c = 8 * m; i < 8 && c < h; ++i, ++c)
        byte |= ((in[size_t{Clockwise ? c : h - 1 - c} * srcStride] >> shift) & 1u) << (7 - i);
      out[m] = static_cast<uint8_t>(byte);
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
  for (uint32_t mb = 0; mb < bytes; mb += kTileRows / 2) {
    const uint32_t me = std::min(bytes, mb + kTileRows / 2);
    for (uint32_t xb = 0; xb < w; xb += kTileCols) {
      const uint32_t xe = std::min(w, xb + kTileCols);
      for (uint32_t x = xb; x < xe; ++x) {
        uint8_t* out = dst + size_t{Clockwise ? w - 1 - x : x} * dstStride;
        for (uint32_t m = mb; m < me; ++m)
          out[m] = static_cast<uint8_t>(nibble(2 * m, x) << 4 | nibble(2 * m + 1, x));
      }
    }
  }
}

#if defined(__SSE2__)
// Block movers. `in` is the block's first source row; `out` is where its first source row lands
// in the destination row of its first source column, and `dstStep` leads to the destination row
// of the next source column. Clockwise, source rows land at increasing destination columns;
// counter-clockwise at decreasing ones, so the rows are read in reverse (and `out` is where the
// block's last row lands).

// 8 bits, 8 × 8: the rows interleaved by bytes, then 16-bit pairs, then 32-bit quads give the
// eight columns, two to a register.
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

// 32 bits, 4 × 4: pairs of rows interleaved by pixels, then by pixel pairs.
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
  static_assert(kTileCols % B == 0 && kTileRows % B == 0);
  const uint8_t* const src = p.src;
  uint8_t* const dst = p.dst;
  const size_t srcStride = p.srcStride, dstStride = p.dstStride;
  const uint32_t w = p.w, h = p.h, wB = w - w % B, hB = h - h % B;
  const ptrdiff_t dstStep = Clockwise ? -static_cast<ptrdiff_t>(dstStride) : static_cast<ptrdiff_t>(dstStride);
  for (uint32_t rb = 0; rb < hB; rb += kTileRows) {
    const uint32_t re = std::min(hB, rb + kTileRows);
    for (uint32_t xb = 0; xb < wB; xb += kTileCols) {
      const uint32_t xe = std::min(wB, xb + kTileCols);
      for (uint32_t x0 = xb; x0 < xe; x0 += B) {
        uint8_t* out = dst + size_t{Clockwise ? w - 1 - x0 : x0} * dstStride;
        for (uint32_t i = 0; i < re - rb; i += B) {
          // Counter-clockwise the rows are taken from the top of the tile down, so that the
          // destination run is written forwards either way.
          const uint32_t r0 = Clockwise ? rb + i : re - B - i;
          Move(src + r0 * srcStride + size_t{x0} * N, srcStride,
               out + size_t{Clockwise ? r0 : h - B - r0} * N, dstStep);
        }
      }
    }
  }
  TurnPixels<N, Clockwise>(p, wB, w, 0, h);
  TurnPixels<N, Clockwise>(p, 0, wB, hB, h);
}

// 16 × 16 byte transpose: afterwards lane L of v[j] is what byte j of v[L] was. Each round
// interleaves v[i] with v[i + 8], which rotates the eight bits (vector, lane) of every byte's
// place left by one; four rounds swap the two halves.
void TransposeBytes16(__m128i (&v)[16]) {
  for (int round = 0; round < 4; ++round) {
    __m128i t[16];
    for (int i = 0; i < 8; ++i) {
      t[2 * i] = _mm_unpacklo_epi8(v[i], v[i + 8]);
      t[2 * i + 1] = _mm_unpackhi_epi8(v[i], v[i + 8]);
    }
    std::copy(t, t + 16, v);
  }
}

// 1 bit, blocks of 16 source rows by 128 source columns: after a 16 × 16 byte transpose each
// register holds one source byte of the 16 rows, and its lanes' top bits are the pixels of one
// source column. _mm_movemask_epi8 gathers them as two destination bytes, and adding the register
// to itself brings up the next column. The rows are placed so that lane L becomes bit L of the
// little-endian 16-bit result: lane L holds the row of destination column c0 + Place(L). A block
// at the right edge reads the bytes the row has (the rest as 0) and writes only real columns; the
// rows left over at the top (fewer than 16) go byte by byte.
constexpr uint32_t Place(uint32_t lane) { return (lane & 8) | (7 - (lane & 7)); }

template <bool Clockwise>
void TurnBitBlocks(const Planes& p) {
  const uint8_t* const src = p.src;
  uint8_t* const dst = p.dst;
  const size_t srcStride = p.srcStride, dstStride = p.dstStride;
  const uint32_t w = p.w, h = p.h, srcBytes = (w + 7) / 8, h16 = h - h % 16;
  const ptrdiff_t dstStep = Clockwise ? -static_cast<ptrdiff_t>(dstStride) : static_cast<ptrdiff_t>(dstStride);
  for (uint32_t cb = 0; cb < h16; cb += kTileRows) {
    const uint32_t ce = std::min(h16, cb + kTileRows);
    for (uint32_t x0 = 0; x0 < w; x0 += 128) {
      const uint32_t bytes = std::min(16u, srcBytes - x0 / 8), columns = std::min(128u, w - x0);
      for (uint32_t c0 = cb; c0 < ce; c0 += 16) {
        __m128i v[16];
        for (uint32_t lane = 0; lane < 16; ++lane) {
          const uint32_t c = c0 + Place(lane);
          const uint8_t* in = src + size_t{Clockwise ? c : h - 1 - c} * srcStride + x0 / 8;
          if (bytes == 16) {
            v[lane] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
          } else {
            uint8_t part[16] = {};
            std::memcpy(part, in, bytes);
            v[lane] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(part));
          }
        }
        TransposeBytes16(v);
        uint8_t* out = dst + size_t{Clockwise ? w - 1 - x0 : x0} * dstStride + c0 / 8;
        for (uint32_t j = 0; 8 * j < columns; ++j) {
          __m128i column = v[j];
          const uint32_t count = std::min(8u, columns - 8 * j);
          for (uint32_t b = 0; b < count; ++b, out += dstStep) {
            const auto bits = static_cast<uint16_t>(_mm_movemask_epi8(column));
            std::memcpy(out, &bits, 2);
            column = _mm_add_epi8(column, column);
          }
        }
      }
    }
  }
  TurnBitsByBytes<Clockwise>(p, 0, w, h16 / 8, (h + 7) / 8);
}
#endif

template <bool Clockwise>
void Turn(const Planes& p, unsigned bits) {
  switch (bits) {
    case 4: TurnNibbles<Clockwise>(p); break;
    case 24: TurnTriples<Clockwise>(p); break;
#if defined(__SSE2__)
    case 1: TurnBitBlocks<Clockwise>(p); break;
    case 8: TurnBlocks<1, 8, Clockwise, MoveBlock8x8<Clockwise>>(p); break;
    case 32: TurnBlocks<4, 4, Clockwise, MoveBlock4x4<Clockwise>>(p); break;
#else
    case 1: TurnBitsByBytes<Clockwise>(p, 0, p.w, 0, (p.h + 7) / 8); break;
    case 8: TurnPixels<1, Clockwise>(p, 0, p.w, 0, p.h); break;
    case 32: TurnPixels<4, Clockwise>(p, 0, p.w, 0, p.h); break;
#endif
  }
}

uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

void Store64(uint8_t* p, uint64_t v) { std::memcpy(p, &v, 8); }

uint64_t ReverseBytes(uint64_t v) {
  v = v >> 32 | v << 32;
  v = (v >> 16 & 0x0000FFFF0000FFFFull) | (v & 0x0000FFFF0000FFFFull) << 16;
  return (v >> 8 & 0x00FF00FF00FF00FFull) | (v & 0x00FF00FF00FF00FFull) << 8;
}

uint64_t ReverseBitsOfEachByte(uint64_t v) {
  v = (v >> 1 & 0x5555555555555555ull) | (v & 0x5555555555555555ull) << 1;
  v = (v >> 2 & 0x3333333333333333ull) | (v & 0x3333333333333333ull) << 2;
  return (v >> 4 & 0x0F0F0F0F0F0F0F0Full) | (v & 0x0F0F0F0F0F0F0F0Full) << 4;
}

// Half turn of a 1-bit row: destination pixel i is source pixel w - 1 - i. Eight destination
// bytes at a time: the 64 source pixels they take, read as a big-endian word from the bytes they
// straddle, are in reverse order already but for the order of bits inside each byte. The bytes
// left over at the end take their eight pixels from the (at most two) source bytes they straddle;
// pixels before the first read as 0, so the bits after the last destination pixel are 0.
void ReverseBitRow(const uint8_t* in, uint8_t* out, uint32_t w) {
  const uint32_t bytes = (w + 7) / 8;
  uint32_t j = 0;
  for (; 8 * j + 64 <= w; j += 8) {
    const uint32_t q = w - 64 - 8 * j, at = q / 8, shift = q % 8;  // q lands last of the 64
    uint64_t window = ReverseBytes(Load64(in + at));
    if (shift) window = window << shift | in[at + 8] >> (8 - shift);
    Store64(out + j, ReverseBitsOfEachByte(window));
  }
  for (; j < bytes; ++j) {
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
  uint32_t x = 0;
  if constexpr (N == 1)
    for (; x + 8 <= w; x += 8) Store64(out + x, ReverseBytes(Load64(in + w - 8 - x)));
  for (; x < w; ++x) std::memcpy(out + size_t{x} * N, in + size_t{w - 1 - x} * N, N);
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
