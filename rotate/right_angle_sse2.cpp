// The quarter turns in SSE2 registers: 8- and 32-bit pixels in 8 × 8 and 4 × 4 blocks transposed
// in registers, 1-bit pixels in blocks of 16 rows by 64 columns, tile by tile with the next tile
// prefetched; the edges the blocks leave over, and 4- and 24-bit pixels, as the portable set
// moves them.
#include <emmintrin.h>

#include <bit>

#include "rotate/right_angle_kernels.h"

static_assert(std::endian::native == std::endian::little,
              "the block moves assume little-endian byte order");

namespace turn_kernels {
namespace {

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

template <unsigned Bits, bool Clockwise>
void Turn(const Planes& p) {
  if constexpr (Bits == 1)
    TurnBitBlocks<Clockwise>(p);
  else if constexpr (Bits == 8)
    TurnBlocks<1, 8, Clockwise, MoveBlock8x8<Clockwise>>(p);
  else if constexpr (Bits == 32)
    TurnBlocks<4, 4, Clockwise, MoveBlock4x4<Clockwise>>(p);
  else
    TurnPortable(p, Bits, Clockwise);
}

}  // namespace

void TurnSse2(const Planes& p, unsigned bits, bool clockwise) {
  WithDepthAndDirection(bits, clockwise, [&](auto depth, auto direction) {
    Turn<decltype(depth)::value, decltype(direction)::value>(p);
  });
}

}  // namespace turn_kernels
