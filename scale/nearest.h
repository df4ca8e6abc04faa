// A fast nearest-neighbour resize at every depth: the low-quality scale. It stands in for the
// host's DibResize where the host is not there to do it: imagetool's "scale --quality low".
#pragma once

#include <cstdint>

#include "dib/host_port.h"

// Returns a new PackedDib of width × height (the caller owns it) with the source's depth and
// colour table, so palette images stay palette images; the rest of the header is copied from the
// source. Result pixel (x, y), counted from the top left, is the source pixel that holds its
// centre: (floor((2x + 1) × W / 2w), floor((2y + 1) × H / 2h)). Padding is 0. The source
// (unlocked, owned by the caller) is not changed.
// Like DibResize it reports nothing itself: null means the source is not a well-formed PackedDib,
// the size is 0 or beyond ScaledImageFits, or memory ran out, and the caller reports it.
HostBlock ResizeNearest(HostBlock source, uint32_t width, uint32_t height);
