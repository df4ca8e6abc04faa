// Exact quarter and half turns: pixels are moved, never computed.
//
// The quarter turns run one of the kernel sets of rotate/right_angle_kernels.h; the portable set
// moves 3-byte pixels in long destination runs and every other depth one pixel (or one
// destination byte) at a time, tile by tile. The half turn reverses rows with the row mirror.
#include "dib/row_mirror.h"
#include "resources/text_ids.h"
#include "rotate/right_angle_kernels.h"
#include "rotate/rotate.h"

namespace turn_kernels {
namespace {

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

template <unsigned Bits, bool Clockwise>
void Turn(const Planes& p) {
  if constexpr (Bits == 1)
    TurnBitsByBytes<Clockwise>(p, 0, p.w, 0, (p.h + 7) / 8);
  else if constexpr (Bits == 4)
    TurnNibbles<Clockwise>(p);
  else if constexpr (Bits == 24)
    TurnTriples<Clockwise>(p);
  else
    TurnPixels<Bits / 8, Clockwise>(p, 0, p.w, 0, p.h);
}

}  // namespace

void TurnPortable(const Planes& p, unsigned bits, bool clockwise) {
  WithDepthAndDirection(bits, clockwise, [&](auto depth, auto direction) {
    Turn<decltype(depth)::value, decltype(direction)::value>(p);
  });
}

}  // namespace turn_kernels

namespace {

// The kernel set this build uses.
void QuarterTurn(const turn_kernels::Planes& p, unsigned bits, bool clockwise) {
#if IMAGE_SSE2
  turn_kernels::TurnSse2(p, bits, clockwise);
#else
  turn_kernels::TurnPortable(p, bits, clockwise);
#endif
}

}  // namespace

void ROT_Rotate90(const uint8_t* src, uint8_t* dst, size_t srcStride, size_t dstStride,
                  uint32_t srcWidth, uint32_t srcHeight, unsigned bits) {
  QuarterTurn({src, dst, srcStride, dstStride, srcWidth, srcHeight}, bits, true);
  for (uint32_t k = 0; k < srcWidth; ++k)
    ClearPadding(dst + k * dstStride, bits, srcHeight, dstStride);
}

void ROT_Rotate270(const uint8_t* src, uint8_t* dst, size_t srcStride, size_t dstStride,
                   uint32_t srcWidth, uint32_t srcHeight, unsigned bits) {
  QuarterTurn({src, dst, srcStride, dstStride, srcWidth, srcHeight}, bits, false);
  for (uint32_t k = 0; k < srcWidth; ++k)
    ClearPadding(dst + k * dstStride, bits, srcHeight, dstStride);
}

void ROT_Rotate180(const uint8_t* src, uint8_t* dst, size_t srcStride, size_t dstStride,
                   uint32_t srcWidth, uint32_t srcHeight, unsigned bits) {
  // The mirror reads and writes whole rows: only as far as both strides reach.
  const size_t stride = std::min(srcStride, dstStride);
  for (uint32_t r = 0; r < srcHeight; ++r) {
    const uint8_t* in = src + r * srcStride;
    uint8_t* out = dst + (srcHeight - 1 - r) * dstStride;
    MirrorRow(in, out, bits, srcWidth, stride, r + 1 < srcHeight ? in + srcStride : in);
    ClearPadding(out, bits, srcWidth, dstStride);
  }
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
  NewImage result(image, width, height, IDS_ROTATE_NO_MEMORY);
  if (!result) return nullptr;
  const DibView& d = result.view;
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
  return result.Release();
}
