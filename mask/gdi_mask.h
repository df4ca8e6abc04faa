// The plug-in's mask renderer: a metafile played by GDI and read back as a mask raster, and the
// metafile form of MAS_ApplyMask that the Mask command and the caption step of Frame call.
#pragma once

#include <windows.h>

#include <cstdint>

#include "mask/mask.h"

// The screen's bits per pixel (bits per pixel × planes); it chooses the mask layout.
uint32_t DisplayBits();

// A MaskRenderer's work done by GDI: plays `metafile`, its logical window stretched onto the
// whole raster, into a one-bit bitmap filled white, and writes the result into `raster` (any depth
// MaskRaster allows): painted pixels all bits 0, others all bits 1. A null metafile paints
// nothing. The caller keeps the metafile. Returns false after showing IDS_MASK_NO_MEMORY_MASK when
// the drawing surface, its bitmap or the read-back cannot be had; nothing is left behind.
bool RenderMetafileGdi(HMETAFILE metafile, const MaskRaster& raster);

// Masks `source` (a PackedDib the caller owns; only read) with the drawing of `metafile` (null: an
// empty drawing), by the rules of the engine's MAS_ApplyMask, for the layout this display calls
// for. Returns the new PackedDib, which the caller owns, or null after the failure was shown.
HGLOBAL MAS_ApplyMask(HGLOBAL source, HMETAFILE metafile, int32_t invert, int32_t alphaMask,
                      int32_t alphaColor);
