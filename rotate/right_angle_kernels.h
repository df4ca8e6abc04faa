// The quarter turns' kernel sets: the portable one, always built, and on x86 builds (IMAGE_SSE2,
// set in dib/CMakeLists.txt) one that moves blocks in SSE2 registers, which ROT_Rotate90 and
// ROT_Rotate270 then use. The tests hold the vector set to the portable one byte for byte. Below
// the two entry points are the tiles, prefetches and pixel moves both sets share.
//
// A quarter turn is a transpose (plus a flip): one side of it is read or written across rows,
// which the processor's own prefetching does not foresee, and left alone it waits for memory at
// nearly every cache line. So the turns walk the picture in tiles of a few hundred source rows and
// columns, and while one tile moves they ask for the next tile's cache lines a few at a time, in
// memory order: its source lines and, where blocks write the destination across many rows at
// once, its destination lines too.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "dib/dib.h"

namespace turn_kernels {

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

// Tiles of the moves one pixel at a time (edges, 4 bits, the portable set): many source
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
inline LinePrefetch SourceLines(const Planes& p, size_t N, const Tile& t, uint32_t calls) {
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

// Calls turn(depth, direction) for a depth (1, 4, 8, 24 or 32) and direction, both as constants:
// std::integral_constant<unsigned, bits> and std::bool_constant<clockwise>. Each kernel set reaches
// its kernels through it.
template <class Turn>
void WithDepthAndDirection(unsigned bits, bool clockwise, Turn&& turn) {
  WithDepth(bits, [&](auto depth) {
    if (clockwise)
      turn(depth, std::true_type{});
    else
      turn(depth, std::false_type{});
  });
}

// Turns every pixel of `p` by a quarter turn, clockwise or counter-clockwise (in the terms of
// ROT_Rotate90 and ROT_Rotate270). Every destination byte that holds a pixel is written; the
// padding bytes after them are not.
void TurnPortable(const Planes& p, unsigned bits, bool clockwise);
#if IMAGE_SSE2
void TurnSse2(const Planes& p, unsigned bits, bool clockwise);
#endif

}  // namespace turn_kernels
