// The rotation engine: exact quarter and half turns at every depth, and turns by any other whole
// angle resampled onto a larger canvas with a fill colour.
//
// Images are PackedDib blocks (dib/dib.h): rows in memory order, row 0 the bottom row of the
// picture. No function here changes its source; each new image belongs to the caller.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dib/dib.h"
#include "dib/host_port.h"

// The colour of the canvas that an any-angle turn leaves uncovered.
struct RotateFill {
  uint8_t red = 192;  // 24- and 32-bit images
  uint8_t green = 192;
  uint8_t blue = 192;
  int32_t index = 0;  // palette images: a colour-table entry, entry 0 when not in the table
};

enum : uint16_t {
  kQualityLow = 0,   // one sample per output pixel, same depth and colour table
  kQualityHigh = 1,  // 2 × 2 samples averaged; may give an 8-bit grey or a true-colour result
};

// Turns `source` (unlocked; locked during the call and unlocked again) by `angle` whole degrees,
// clockwise on screen for positive angles, counter-clockwise for negative ones. Angles are taken
// modulo 360 (sign kept): a multiple of 360 returns null without any message; ±90, ±180, ±270
// are exact pixel moves (ROT_RightAngle); any other angle is resampled at `quality`
// (ROT_RotateAny) with the fill colour `fill`, and a high-quality turn shows a progress meter
// owned by `progressOwner`. Returns the new image, unlocked, owned by the caller; null after a
// failure, which has been reported to the user (IDS_ROTATE_NO_MEMORY, IDS_UNSUPPORTED_IMAGE,
// IDS_IMAGE_TOO_LARGE).
HostBlock ROT_RotateDIB(HostBlock source, uint16_t quality, int32_t angle, RotateFill fill,
                        HostWindow progressOwner);

// Exact turns: k = 1 a quarter turn clockwise, 2 a half turn, 3 a quarter turn counter-clockwise.
// The new image has the source's header (width and height swapped for quarter turns, resolution
// kept as it is), depth and colour table; padding bits and bytes are zero. Returns it unlocked and
// owned by the caller, or null after reporting a failure.
HostBlock ROT_RightAngle(HostBlock source, int k);

// Row kernels of the exact turns. `src` and `dst` are the first (bottom) rows of the pixel areas;
// the source is srcWidth × srcHeight pixels of `bits` (1, 4, 8, 24 or 32), the destination has
// the turned size (srcHeight × srcWidth for quarter turns). Every destination row is written
// whole, padding zero. In memory-row terms (x = column, r = row):
//   ROT_Rotate90:  pixel (x, r) goes to row srcWidth - 1 - x, column r (clockwise on screen);
//   ROT_Rotate180: row r goes to row srcHeight - 1 - r with its pixels in reverse order;
//   ROT_Rotate270: pixel (x, r) goes to row x, column srcHeight - 1 - r (counter-clockwise).
void ROT_Rotate90(const uint8_t* src, uint8_t* dst, size_t srcStride, size_t dstStride,
                  uint32_t srcWidth, uint32_t srcHeight, unsigned bits);
void ROT_Rotate180(const uint8_t* src, uint8_t* dst, size_t srcStride, size_t dstStride,
                   uint32_t srcWidth, uint32_t srcHeight, unsigned bits);
void ROT_Rotate270(const uint8_t* src, uint8_t* dst, size_t srcStride, size_t dstStride,
                   uint32_t srcWidth, uint32_t srcHeight, unsigned bits);

// Turns `source` counter-clockwise by d degrees (1 to 359) onto a canvas just large enough for the
// whole turned picture (odd width and height); uncovered pixels get the fill colour `fill` (its
// index for palette images, entry 0 when the index is not in the image's table; red, green and
// blue for 24 and 32 bits, with 255 in the fourth byte at 32 bits). Low quality keeps
// depth and colour table. High quality gives an 8-bit image with a grey ramp for grey palette
// sources, a 32-bit image for 32-bit sources and a 24-bit image for every other source, and shows a
// progress meter owned by `progressOwner`. Returns the new image unlocked and owned by the caller,
// or null after reporting a failure.
HostBlock ROT_RotateAny(HostBlock source, uint16_t quality, int32_t d, RotateFill fill,
                        HostWindow progressOwner);

// The canvas of an any-angle turn by d degrees of a width × height picture, from its four corners.
// 64-bit so that absurd sizes can be refused rather than wrapped.
struct RotatedSize {
  int64_t width;
  int64_t height;
};
RotatedSize ROT_RotatedSize(uint32_t width, uint32_t height, int32_t d);

// True when a source below 24 bits has only grey entries (red = green = blue) among its first
// biClrUsed colour-table entries; always false for 24 and 32 bits.
bool ROT_IsGreyPalette(const DibView& source);

// The samplers of ROT_RotateAny. `source` and `dest` are locked images of the sizes that
// ROT_RotatedSize gives; `radians` is the counter-clockwise angle. Each writes every row of
// `dest` (padding zero) and returns true, or returns false after reporting IDS_ROTATE_NO_MEMORY
// when its work tables cannot be allocated, having freed whatever it obtained.
//   ROT_SampleLow: one sample per pixel into a destination of the source's depth.
//   ROT_SampleHighGrey: grey palette sources into an 8-bit grey-ramp destination.
//   ROT_SampleHighColor: any source into a 24-bit destination (32-bit for 32-bit sources).
// The high-quality samplers step a progress meter owned by `progressOwner` through the rows.
bool ROT_SampleLow(const DibView& source, const DibView& dest, double radians, RotateFill fill);
bool ROT_SampleHighGrey(const DibView& source, const DibView& dest, double radians, RotateFill fill,
                        HostWindow progressOwner);
bool ROT_SampleHighColor(const DibView& source, const DibView& dest, double radians,
                         RotateFill fill, HostWindow progressOwner);
