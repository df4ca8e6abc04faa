// The row filters of a PNG file, chosen as libpng chooses them by default, so that a file written
// here is as small as one libpng writes: for true colour, each row gets the filter (none, sub, up,
// average, Paeth) whose bytes, read as signed, have the smallest sum of magnitudes, the first of
// equals; palette rows and rows of fewer than 8 bits per sample are not filtered.
#pragma once

#include <cstddef>
#include <cstdint>

// Filters one row of `bytes` raw bytes with `prior` (the raw row above; zeros for the first) at
// `bpp` bytes per pixel (1 below 8 bits). `out` gets the filter type byte and then `bytes`
// filtered bytes; `scratch` holds 4 × bytes for the candidates. `choose` false: always filter
// none. `swap`: the rows hold blue-green-red(-alpha) pixels and `out` gets red-green-blue(-alpha)
// ones: every filter treats the bytes of a pixel alike, so their order can change after
// filtering, in the copy made anyway.
void FilterPngRow(const uint8_t* raw, const uint8_t* prior, size_t bytes, unsigned bpp, bool choose,
                  bool swap, uint8_t* scratch, uint8_t* out);
