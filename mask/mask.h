// The mask engine: merges a rendered drawing with an image. Pixels on one side of the drawing keep
// their source values, pixels on the other side take the mask colour (and, for 32-bit images,
// optionally an opaque alpha).
//
// The engine never sees the drawing itself: a renderer paints it into a raster the engine hands
// it. The plug-in's renderer plays the metafile through GDI; imagetool and the tests use the
// portable player of mask/metafile.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "dib/host_port.h"

// The colour written into replaced pixels: `index` for 1-, 4- and 8-bit images (for 1-bit images
// any non-zero index acts as 1), red, green and blue for 24- and 32-bit images.
struct MaskColorValue {
  int32_t index;
  uint8_t red;
  uint8_t green;
  uint8_t blue;
};

// The process-wide mask colour shared by the Mask command and the caption step of Frame. It starts
// at index 0 and grey 192, 192, 192 and lasts as long as the program; it is not saved.
extern MaskColorValue MaskColor;

// Stores the four values into MaskColor.
void MAS_SetMaskColor(int32_t index, uint8_t red, uint8_t green, uint8_t blue);

// A raster the renderer paints into: `height` rows of `stride` bytes, bottom row first, each
// holding `width` pixels of `bits` bits in the packed-bitmap encoding (1, 4, 8, 24 or 32).
struct MaskRaster {
  uint8_t* rows;
  size_t stride;
  uint32_t width;
  uint32_t height;
  uint32_t bits;
};

// Paints the drawing, its logical window stretched onto the whole raster, with no smoothing: every
// pixel the drawing paints gets all its bits 0, every other pixel all its bits 1. Padding after the
// last pixel of a row may hold anything. Returns false (after telling the user why) when it could
// not render; the engine then gives up and frees what it allocated.
using MaskRenderer = std::function<bool(const MaskRaster& raster)>;

// Fills `raster` from a one-bit drawing of the same size (rows bottom first, `monoStride` bytes
// each, a set bit for an unpainted pixel): every pixel gets all its bits equal to its drawing bit.
// A renderer that can only draw at one bit per pixel thereby serves every raster format.
void MAS_RasterFromMono(const uint8_t* mono, size_t monoStride, const MaskRaster& raster);

// How the raster is read back before merging.
enum class MaskLayout {
  Separate,  // a second block holding an 8-bit mask (one byte per pixel)
  InPlace,   // the raster is rendered into the new image's own pixel area, in its own format
};

// The layout the plug-in uses for an image of `imageBits` on a display of `displayBits` bits per
// pixel: separate for 32-bit images, and for 4- and 24-bit images on an 8-bit display; in place
// for everything else.
MaskLayout ChooseMaskLayout(uint32_t imageBits, uint32_t displayBits);

// Masks `source` (a PackedDib the caller owns; locked for reading, never changed) with the drawing
// that `render` paints. A pixel keeps its source value when (unpainted) equals (invert != 0);
// otherwise it takes MaskColor. For 32-bit images a replaced pixel takes MaskColor's blue, green
// and red only when alphaColor != 0 (else keeps its own) and alpha 255 only when alphaMask != 0
// (else keeps its own). `displayBits` chooses the layout as ChooseMaskLayout does; both layouts
// give the same pixels.
//
// Returns a new PackedDib of the same size, depth, header and colour table, rows bottom-up, with
// zero padding after the last pixel of each row; the caller owns it. Returns null after a failure:
// IDS_MASK_NO_MEMORY_IMAGE or IDS_MASK_NO_MEMORY_MASK shown when memory is short,
// IDS_UNSUPPORTED_IMAGE for an image the engines do not handle (16-bit ones included), nothing
// more when `render` failed. Every block allocated on the way is freed on every failure.
HostBlock MAS_ApplyMask(HostBlock source, const MaskRenderer& render, int32_t invert,
                        int32_t alphaMask, int32_t alphaColor, uint32_t displayBits);
