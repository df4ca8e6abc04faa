// The row mirror: the pixels of a packed row in reverse order. Mirror, the half turn and the
// mirrored copies of Tile all reverse rows through it.
//
// Two kernel sets compute it: the portable one, always built, and on x86 builds (IMAGE_SSE2, set
// in dib/CMakeLists.txt) one with SSE2 registers, which the engines then use. The tests hold the
// vector set to the portable one byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>

// Each kernel writes the `width` pixels of `bits` (1, 4, 8, 24 or 32) of row `from` into row `to`
// in reverse order, the last pixel first. Both rows are `stride` bytes long and must not overlap.
// At 1 and 4 bits the whole row is written and the bits after the last pixel come from the padding
// of `from`, carried along as Mirror's rule moves them (the padded row reversed, then moved to the
// start of the row by the bits that hold no pixel); at 8, 24 and 32 bits the bytes after the
// pixels are not written. Callers that want clean padding clear it afterwards (ClearPadding).
// `ahead` is a row that will be read next; its cache lines are asked for while this one moves.
void MirrorRowPortable(const uint8_t* from, uint8_t* to, unsigned bits, uint32_t width,
                       size_t stride, const uint8_t* ahead);
#if IMAGE_SSE2
void MirrorRowSse2(const uint8_t* from, uint8_t* to, unsigned bits, uint32_t width, size_t stride,
                   const uint8_t* ahead);
#endif

// The kernel set this build uses.
inline void MirrorRow(const uint8_t* from, uint8_t* to, unsigned bits, uint32_t width,
                      size_t stride, const uint8_t* ahead) {
#if IMAGE_SSE2
  MirrorRowSse2(from, to, bits, width, stride, ahead);
#else
  MirrorRowPortable(from, to, bits, width, stride, ahead);
#endif
}
