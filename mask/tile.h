// Tile: an image repeated across and down, optionally with alternate copies reflected.
#pragma once

#include <cstdint>

#include "dib/dib.h"

// The largest width or height a tiled image may have.
constexpr uint32_t kTileMaxSide = 32766;

// Builds an image of `nx` copies of `source` across and `ny` copies down: width w × nx, height
// h × ny, the same depth, header fields and colour table. With `mirror`, copies 1, 3, 5, ... of
// each row of copies (counting from 0 at the left) are reversed left to right and alternate rows
// of copies are upside down, the top row of copies always upright, so the top-left copy is the
// image itself. The bits after the last pixel of each row and the row padding are zero.
// `source` is the caller's PackedDib, unlocked, only read, unlocked again on return. Returns a
// new unlocked PackedDib owned by the caller, or null after a message: IDS_TILE_BAD_WIDTH or
// IDS_TILE_BAD_HEIGHT for a count of 0, IDS_TILE_TOO_LARGE when the width or height would pass
// kTileMaxSide (the product is taken over the full source size), IDS_TILE_NO_MEMORY when the
// result or the row buffer cannot be allocated, IDS_UNSUPPORTED_IMAGE for an image the engines
// do not handle.
HostBlock TIL_TileDIB(HostBlock source, uint32_t nx, uint32_t ny, bool mirror);

// The work of TIL_TileDIB in memory the caller supplies: writes every row of `dest` (the
// source's depth, nx × w by ny × h), padding included. `rowBuffer` holds the source's stride in
// bytes; it is needed (and written) only for reversed copies, when `mirror` is set and nx > 1.
void TIL_TileRows(const DibView& source, uint32_t nx, uint32_t ny, bool mirror, const DibView& dest,
                  uint8_t* rowBuffer);
