// Exact quarter and half turns: pixels are moved, never computed.
//
// A quarter turn is a transpose (plus a flip): one side of it is read or written across rows,
// which the processor's own prefetching does not foresee, and left alone it waits for memory at
// nearly every cache line. So the turns walk the picture in tiles of a few hundred source rows and
// columns, and while one tile moves they ask for the next tile's cache lines a few at a time, in
// memory order: its source lines and, where blocks write the destination across many rows at
// once, its destination lines too. With SSE2, 8- and 32-bit pixels move in 8 × 8 and 4 × 4
// blocks transposed in registers, and 1-bit pixels in blocks of 16 rows by 64 columns; 3-byte
// pixels move one by one in long destination runs. The edges the blocks leave over move one by
// one, as does everything on a processor without SSE2 (every x86 build here has it; see
// CMakeLists.txt).
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

// Tiles of the moves one pixel at a time (edges, 4 bits, processors without SSE2): many source
// rows by few source columns, so that each source column of a tile becomes a long run in one
// destination row.
constexpr uint32_t kRunRows = 256;
constexpr uint32_t kRunCols = 16;

// Tiles whose successors are prefetched, source rows by source columns (multiples of the block
// sides); the sizes that measured best on 4000 × 3000 pictures.
constexpr uint32_t kBlockTileRows = 128, kBlockTileCols = 128;    // 8- and 32-bit blocks
constexpr uint32_t kTripleTileRows = 256, kTripleTileCols = 256;  // 3-byte pixels
constexpr uint32_t kBitTileRows = 256;                            // 1-bit blocks, kBitColumns wide

// Source rows [r0, r1) by source columns [x0, x1).
struct Tile {
  uint32_t r0, r1, x0, x1;
};

// Calls move(tile, next) for the tiles of rows [0, h) by columns [0, w), band of rows by band,
// `next` being the tile moved after `tile` (no rows after the last).
template <uint32_t Rows, uint32_t Cols, class Move>
void ForEachTile(uint32_t w, uint32_t h, Move move) {
  for (uint32_t r0 = 0; r0 < h; r0 += Rows) {
    const uint32_t r1 = std::min(h, r0 + Rows);
    for (uint32_t x0 = 0; x0 < w; x0 += Cols) {
      const Tile tile{r0, r1, x0, std::min(w, x0 + Cols)};
      if (tile.x1 < w)
        move(tile, Tile{r0, r1, tile.x1, std::min(w, tile.x1 + Cols)});
      else
        move(tile, Tile{r1, std::min(h, r1 + Rows), 0, std::min(w, Cols)});
    }
  }
}

// The cache lines of `rows` runs of `bytes` bytes, the first at `first` and each `step` from the
// one before, asked for in order over `calls` calls of Next. Prefetches never fault; the
// addresses asked for stay inside the runs all the same.
class LinePrefetch {
 public:
  LinePrefetch(const uint8_t* first, ptrdiff_t step, size_t bytes, uint32_t rows, uint32_t calls)
      : run_(first),
        step_(step),
        bytes_(bytes),
        lines_(bytes ? (bytes + 63) / 64 + 1 : 0),
        rows_(rows),
        perCall_(calls ? static_cast<uint32_t>((lines_ * rows + calls - 1) / calls) : 0) {}

  void Next() {
    for (uint32_t n = 0; n < perCall_ && rows_ > 0; ++n) {
      __builtin_prefetch(run_ + std::min(64 * line_, bytes_ - 1));
      if (++line_ == lines_) {
        line_ = 0;
        if (--rows_ > 0) run_ += step_;
      }
    }
  }

 private:
  const uint8_t* run_;
  ptrdiff_t step_;
  size_t bytes_, lines_, line_ = 0;
  uint32_t rows_, perCall_;
};

// The source lines of a tile of N-byte pixels.
LinePrefetch SourceLines(const Planes& p, size_t N, const Tile& t, uint32_t calls) {
  return {p.src + t.r0 * p.srcStride + t.x0 * N, static_cast<ptrdiff_t>(p.srcStride),
          (t.x1 - t.x0) * N, t.r1 - t.r0, calls};
}

// The destination lines a tile of N-byte pixels is turned into: the rows of its columns, in the
// order the columns are taken.
template <bool Clockwise>
LinePrefetch DestinationLines(const Planes& p, size_t N, const Tile& t, uint32_t calls) {
  const ptrdiff_t stride = static_cast<ptrdiff_t>(p.dstStride);
  const uint8_t* first = p.dst + size_t{Clockwise ? p.w - 1 - t.x0 : t.x0} * p.dstStride +
                         size_t{Clockwise ? t.r0 : p.h - t.r1} * N;
  return {first, Clockwise ? -stride : stride, (t.r1 - t.r0) * N, t.x1 - t.x0, calls};
}

// Whole pixels of N bytes, source columns [x0, x1) of rows [r0, r1), one by one, tile by tile.
template <size_t N, bool Clockwise>
void TurnPixels(const Planes& p, uint32_t x0, uint32_t x1, uint32_t r0, uint32_t r1) {
  const uint8_t* const src = p.src;
  uint8_t* const dst = p.dst;
  const size_t srcStride = p.srcStride, dstStride = p.dstStride;
  const uint32_t w = p.w, h = p.h;
  for (uint32_t rb = r0; rb < r1; rb += kRunRows) {
    const uint32_t re = std::min(r1, rb + kRunRows);
    for (uint32_t xb = x0; xb < x1; xb += kRunCols) {
      const uint32_t xe = std::min(x1, xb + kRunCols);
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
// row, written from left to right with 8-byte stores of two pixels (or 4-byte moves of one) whose
// extra bytes the next store overwrites; the last pixel of a run moves 3 bytes. The last source
// column takes 3-byte reads when the row has no padding byte to spare. The destination runs are
// long enough for the processor to foresee; the next tile's source lines are asked for, a few per
// run.
template <bool Clockwise>
void TurnTriples(const Planes& p) {
  const uint8_t* const src = p.src;
  uint8_t* const dst = p.dst;
  const size_t srcStride = p.srcStride, dstStride = p.dstStride;
  const uint32_t w = p.w, h = p.h;
  const uint32_t wide =
      size_t{3} * w + 1 <= srcStride ? w : w - 1;  // columns safe for 4-byte reads
  const ptrdiff_t step =
      Clockwise ? static_cast<ptrdiff_t>(srcStride) : -static_cast<ptrdiff_t>(srcStride);
  ForEachTile<kTripleTileRows, kTripleTileCols>(wide, h, [&](const Tile& t, const Tile& next) {
    LinePrefetch source = SourceLines(p, 3, next, t.x1 - t.x0);
    for (uint32_t x = t.x0; x < t.x1; ++x) {
      source.Next();
      // The run's first destination column and the source row that lands there.
      uint8_t* out = dst + size_t{Clockwise ? w - 1 - x : x} * dstStride +
                     size_t{Clockwise ? t.r0 : h - t.r1} * 3;
      const uint8_t* in = src + size_t{x} * 3 + size_t{Clockwise ? t.r0 : t.r1 - 1} * srcStride;
      // Two pixels to an 8-byte store while three or more are left, the last one alone.
      uint32_t n = t.r1 - t.r0 - 1;
      for (; n >= 2; n -= 2, in += 2 * step, out += 6) {
        uint32_t first, second;
        std::memcpy(&first, in, 4);
        std::memcpy(&second, in + step, 4);
        const uint64_t pair = (first & 0xFFFFFFu) | uint64_t{second} << 24;
        std::memcpy(out, &pair, 8);
      }
      for (; n > 0; --n, in += step, out += 3) std::memcpy(out, in, 4);
      std::memcpy(out, in, 3);
    }
  });
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
  for (uint32_t mb = 0; mb < bytes; mb += kRunRows / 2) {
    const uint32_t me = std::min(bytes, mb + kRunRows / 2);
    for (uint32_t xb = 0; xb < w; xb += kRunCols) {
      const uint32_t xe = std::min(w, xb + kRunCols);
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
    r[i] =
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + (Clockwise ? i : 7 - i) * srcStride));
  const __m128i a0 = _mm_unpacklo_epi8(r[0], r[1]), a1 = _mm_unpacklo_epi8(r[2], r[3]);
  const __m128i a2 = _mm_unpacklo_epi8(r[4], r[5]), a3 = _mm_unpacklo_epi8(r[6], r[7]);
  const __m128i b0 = _mm_unpacklo_epi16(a0, a1), b1 = _mm_unpackhi_epi16(a0, a1);
  const __m128i b2 = _mm_unpacklo_epi16(a2, a3), b3 = _mm_unpackhi_epi16(a2, a3);
  const __m128i c[4] = {_mm_unpacklo_epi32(b0, b2), _mm_unpackhi_epi32(b0, b2),
                        _mm_unpacklo_epi32(b1, b3), _mm_unpackhi_epi32(b1, b3)};
  for (int k = 0; k < 4; ++k) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 2 * k * dstStep), c[k]);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (2 * k + 1) * dstStep),
                     _mm_srli_si128(c[k], 8));
  }
}

// 32 bits, 4 × 4: pairs of rows interleaved by pixels, then by pixel pairs.
template <bool Clockwise>
void MoveBlock4x4(const uint8_t* in, size_t srcStride, uint8_t* out, ptrdiff_t dstStep) {
  __m128i r[4];
  for (int i = 0; i < 4; ++i)
    r[i] =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + (Clockwise ? i : 3 - i) * srcStride));
  const __m128i t0 = _mm_unpacklo_epi32(r[0], r[1]), t1 = _mm_unpacklo_epi32(r[2], r[3]);
  const __m128i t2 = _mm_unpackhi_epi32(r[0], r[1]), t3 = _mm_unpackhi_epi32(r[2], r[3]);
  const __m128i c[4] = {_mm_unpacklo_epi64(t0, t1), _mm_unpackhi_epi64(t0, t1),
                        _mm_unpacklo_epi64(t2, t3), _mm_unpackhi_epi64(t2, t3)};
  for (int k = 0; k < 4; ++k) _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k * dstStep), c[k]);
}

// Whole B × B blocks of N-byte pixels through Move, tile by tile; the edges pixel by pixel. A
// block writes B destination rows, so the next tile's destination lines are asked for as well as
// its source lines, one of each (on average) per block.
template <size_t N, uint32_t B, bool Clockwise,
          void (*Move)(const uint8_t*, size_t, uint8_t*, ptrdiff_t)>
void TurnBlocks(const Planes& p) {
  static_assert(kBlockTileCols % B == 0 && kBlockTileRows % B == 0);
  const uint8_t* const src = p.src;
  uint8_t* const dst = p.dst;
  const size_t srcStride = p.srcStride, dstStride = p.dstStride;
  const uint32_t w = p.w, h = p.h, wB = w - w % B, hB = h - h % B;
  const ptrdiff_t dstStep =
      Clockwise ? -static_cast<ptrdiff_t>(dstStride) : static_cast<ptrdiff_t>(dstStride);
  ForEachTile<kBlockTileRows, kBlockTileCols>(wB, hB, [&](const Tile& t, const Tile& next) {
    const uint32_t blocks = (t.r1 - t.r0) / B * ((t.x1 - t.x0) / B);
    LinePrefetch source = SourceLines(p, N, next, blocks);
    LinePrefetch target = DestinationLines<Clockwise>(p, N, next, blocks);
    for (uint32_t x0 = t.x0; x0 < t.x1; x0 += B) {
      uint8_t* out = dst + size_t{Clockwise ? w - 1 - x0 : x0} * dstStride;
      for (uint32_t r0 = t.r0; r0 < t.r1; r0 += B) {
        source.Next();
        target.Next();
        Move(src + r0 * srcStride + size_t{x0} * N, srcStride,
             out + size_t{Clockwise ? r0 : h - B - r0} * N, dstStep);
      }
    }
  });
  TurnPixels<N, Clockwise>(p, wB, w, 0, h);
  TurnPixels<N, Clockwise>(p, 0, wB, hB, h);
}

// 16 rows of 8 bytes, rows i and i + 8 in register i (low and high half): afterwards register j
// holds byte j of every row, row i in lane Lane(i). Each round interleaves v[k] with v[k + 4],
// which rotates the seven bits (register, lane) of every byte's place left by one; the place
// starts as (row bits 2-0 | row bit 3, byte) and after four rounds is (byte | row bits 2-0, row
// bit 3).
void TransposeBytes(__m128i (&v)[8]) {
  for (int round = 0; round < 4; ++round) {
    __m128i t[8];
    for (int k = 0; k < 4; ++k) {
      t[2 * k] = _mm_unpacklo_epi8(v[k], v[k + 4]);
      t[2 * k + 1] = _mm_unpackhi_epi8(v[k], v[k + 4]);
    }
    std::copy(t, t + 8, v);
  }
}
constexpr uint32_t Lane(uint32_t row) { return (row & 7) << 1 | row >> 3; }

// 1 bit, blocks of 16 source rows by 64 source columns: after the byte transpose each register
// holds one source byte of the 16 rows, and its lanes' top bits are the pixels of one source
// column. _mm_movemask_epi8 gathers them as two destination bytes, and adding the register to
// itself brings up the next column. The rows are placed so that lane L becomes bit L of the
// little-endian 16-bit result: lane L holds the row of destination column c0 + Place(L). A block
// at the right edge reads the bytes the row has (the rest as 0) and writes only real columns; the
// rows left over at the top (fewer than 16) go byte by byte. Tiles are destination columns
// [r0, r1) by source columns [x0, x1); each block writes two bytes to 64 destination rows, so the
// next tile's destination lines are asked for while one moves.
constexpr uint32_t Place(uint32_t lane) { return (lane & 8) | (7 - (lane & 7)); }
constexpr uint32_t kBitColumns = 64;

template <bool Clockwise>
void TurnBitBlocks(const Planes& p) {
  const uint8_t* const src = p.src;
  uint8_t* const dst = p.dst;
  const size_t srcStride = p.srcStride, dstStride = p.dstStride;
  const uint32_t w = p.w, h = p.h, srcBytes = (w + 7) / 8, h16 = h - h % 16;
  const ptrdiff_t dstStep =
      Clockwise ? -static_cast<ptrdiff_t>(dstStride) : static_cast<ptrdiff_t>(dstStride);
  static_assert(kBitTileRows % 16 == 0);
  ForEachTile<kBitTileRows, kBitColumns>(w, h16, [&](const Tile& t, const Tile& next) {
    const uint32_t bytes = std::min(8u, srcBytes - t.x0 / 8), columns = t.x1 - t.x0;
    LinePrefetch target(
        dst + size_t{Clockwise ? w - 1 - next.x0 : next.x0} * dstStride + next.r0 / 8, dstStep,
        (next.r1 - next.r0) / 8, next.x1 - next.x0, (t.r1 - t.r0) / 16);
    auto load = [&](uint32_t c) {
      const uint8_t* in = src + size_t{Clockwise ? c : h - 1 - c} * srcStride + t.x0 / 8;
      if (bytes == 8) return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in));
      uint8_t part[8] = {};
      std::memcpy(part, in, bytes);
      return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(part));
    };
    for (uint32_t c0 = t.r0; c0 < t.r1; c0 += 16) {
      target.Next();
      __m128i v[8];
      for (uint32_t i = 0; i < 8; ++i)
        v[i] = _mm_unpacklo_epi64(load(c0 + Place(Lane(i))), load(c0 + Place(Lane(i + 8))));
      TransposeBytes(v);
      uint8_t* out = dst + size_t{Clockwise ? w - 1 - t.x0 : t.x0} * dstStride + c0 / 8;
      for (uint32_t j = 0; 8 * j < columns; ++j) {
        __m128i column = v[j];
        // Spelled out for whole blocks, so that their loops unroll.
        const uint32_t count = columns == kBitColumns ? 8 : std::min(8u, columns - 8 * j);
        for (uint32_t b = 0; b < count; ++b, out += dstStep) {
          const auto bits = static_cast<uint16_t>(_mm_movemask_epi8(column));
          std::memcpy(out, &bits, 2);
          column = _mm_add_epi8(column, column);
        }
      }
    }
  });
  TurnBitsByBytes<Clockwise>(p, 0, w, h16 / 8, (h + 7) / 8);
}
#endif

template <bool Clockwise>
void Turn(const Planes& p, unsigned bits) {
  switch (bits) {
    case 4:
      TurnNibbles<Clockwise>(p);
      break;
    case 24:
      TurnTriples<Clockwise>(p);
      break;
#if defined(__SSE2__)
    case 1:
      TurnBitBlocks<Clockwise>(p);
      break;
    case 8:
      TurnBlocks<1, 8, Clockwise, MoveBlock8x8<Clockwise>>(p);
      break;
    case 32:
      TurnBlocks<4, 4, Clockwise, MoveBlock4x4<Clockwise>>(p);
      break;
#else
    case 1:
      TurnBitsByBytes<Clockwise>(p, 0, p.w, 0, (p.h + 7) / 8);
      break;
    case 8:
      TurnPixels<1, Clockwise>(p, 0, p.w, 0, p.h);
      break;
    case 32:
      TurnPixels<4, Clockwise>(p, 0, p.w, 0, p.h);
      break;
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
  const size_t used = static_cast<size_t>((uint64_t{bits} * width + 7) / 8);
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
      case 1:
        ReverseBitRow(in, out, srcWidth);
        break;
      case 4:
        ReverseNibbleRow(in, out, srcWidth);
        break;
      case 8:
        ReversePixelRow<1>(in, out, srcWidth);
        break;
      case 24:
        ReversePixelRow<3>(in, out, srcWidth);
        break;
      case 32:
        ReversePixelRow<4>(in, out, srcWidth);
        break;
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
  // A very wide, low picture can turn into one whose pixel bytes pass the limit (narrow rows are
  // padded to four bytes).
  if (!DibFits(s.bits, width, height)) {
    HP_ShowMessage(IDS_IMAGE_TOO_LARGE);
    return nullptr;
  }
  OwnedBlock result(
      HP_Alloc(PackedDibSize(ColorTableSize(*s.header), s.bits, width, height), HP_MOVEABLE));
  BlockLock lock(result.get());
  if (!lock) {
    image.lock.unlock();
    HP_ShowMessage(IDS_ROTATE_NO_MEMORY);
    return nullptr;
  }
  const DibView d = StartImageLike(s, lock.get(), width, height);
  switch (k) {
    case 1:
      ROT_Rotate90(s.rows, d.rows, s.stride, d.stride, s.width, s.height, s.bits);
      break;
    case 2:
      ROT_Rotate180(s.rows, d.rows, s.stride, d.stride, s.width, s.height, s.bits);
      break;
    case 3:
      ROT_Rotate270(s.rows, d.rows, s.stride, d.stride, s.width, s.height, s.bits);
      break;
  }
  lock.unlock();
  return result.release();
}
