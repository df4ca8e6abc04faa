// The row filters of a PNG file, both ways. Writing chooses them as libpng chooses them by
// default, so that a file written here is as small as one libpng writes: for true colour, each row
// gets the filter (none, sub, up, average, Paeth) whose bytes, read as signed, have the smallest
// sum of magnitudes, the first of equals; palette rows and rows of fewer than 8 bits per sample are
// not filtered. Reading undoes any of them.
//
// The filters of reading have two kernel sets, as the engines' vector kernels do: the portable one,
// always built, and on x86 builds (IMAGE_SSE2) one with SSE2 registers for the filters that carry
// a dependency from pixel to pixel. The tests hold the vector set to the portable one.
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

// The kernels, in two sets as the engines' are: the portable one, always built, and on x86 builds
// (IMAGE_SSE2) one with SSE2 registers, which FilterPngRow, UnfilterPngRow and SwapRedBlue use.
// The tests hold the vector set to the portable one.

// The filter FilterPngRow chooses for a row of `bpp` 3 or 4 (the portable set tries each into
// `scratch`, 4 × bytes).
uint8_t ChoosePngFilterPortable(const uint8_t* raw, const uint8_t* prior, size_t bytes,
                                unsigned bpp, uint8_t* scratch);
// Undoes filter `type` (0-4, checked by the caller) on one row in place: `row` holds `bytes`
// filtered bytes and gets the raw ones; `prior` is the raw row above (zeros for the first) and
// must not overlap `row`; `bpp` as for FilterPngRow.
void UnfilterPngRowPortable(uint8_t type, uint8_t* row, const uint8_t* prior, size_t bytes,
                            unsigned bpp);
// Copies `bytes` bytes of pixels of `bpp` (3 or 4) bytes with the first and third of each
// exchanged: red-green-blue(-alpha) to blue-green-red(-alpha) and back. The two must not overlap.
void SwapRedBluePortable(const uint8_t* from, size_t bytes, unsigned bpp, uint8_t* to);

#if IMAGE_SSE2
uint8_t ChoosePngFilterSse2(const uint8_t* raw, const uint8_t* prior, size_t bytes, unsigned bpp,
                            uint8_t* scratch);
void UnfilterPngRowSse2(uint8_t type, uint8_t* row, const uint8_t* prior, size_t bytes,
                        unsigned bpp);
void SwapRedBlueSse2(const uint8_t* from, size_t bytes, unsigned bpp, uint8_t* to);
#endif

// The kernels this build uses.
inline uint8_t ChoosePngFilter(const uint8_t* raw, const uint8_t* prior, size_t bytes, unsigned bpp,
                               uint8_t* scratch) {
#if IMAGE_SSE2
  return ChoosePngFilterSse2(raw, prior, bytes, bpp, scratch);
#else
  return ChoosePngFilterPortable(raw, prior, bytes, bpp, scratch);
#endif
}
inline void UnfilterPngRow(uint8_t type, uint8_t* row, const uint8_t* prior, size_t bytes,
                           unsigned bpp) {
#if IMAGE_SSE2
  UnfilterPngRowSse2(type, row, prior, bytes, bpp);
#else
  UnfilterPngRowPortable(type, row, prior, bytes, bpp);
#endif
}
inline void SwapRedBlue(const uint8_t* from, size_t bytes, unsigned bpp, uint8_t* to) {
#if IMAGE_SSE2
  SwapRedBlueSse2(from, bytes, bpp, to);
#else
  SwapRedBluePortable(from, bytes, bpp, to);
#endif
}
