// Invert, Flip and Mirror: in-place changes of a PackedDib that keep its size, depth and
// colour-table length. Each takes a block the caller owns (unlocked), locks it for the work and
// unlocks it again. On failure the block's contents are unchanged and the failure has been
// reported; the caller still owns (and frees) the block.
#pragma once

#include "dib/host_port.h"

// Inverts the image. 4 and 8 bits: the colour table's blue, green and red are complemented and the
// pixels left alone. 1 and 24 bits: every byte of every row, padding included, is complemented.
// 32 bits: blue, green and red of every pixel; the fourth byte stays. For 1, 24 and 32 bits a
// progress meter owned by `progressOwner` reports rows 0, 16, 32, ..., the last row, then the
// height. Returns false only for an image the engines do not handle.
bool InvertDib(HostBlock dib, HostWindow progressOwner);

// Turns the image upside down by exchanging whole rows through a one-row scratch block.
// Returns false when the image is not handled or the scratch row cannot be allocated
// (IDS_FLIP_NO_MEMORY is shown).
bool FlipDib(HostBlock dib);

// Reverses the order of the pixels of every row; padding bits after the last pixel are carried
// along so that the mirrored row starts at the first bit. Returns false when the image is not
// handled or the scratch row cannot be allocated (IDS_MIRROR_NO_MEMORY is shown).
bool MirrorDib(HostBlock dib);
