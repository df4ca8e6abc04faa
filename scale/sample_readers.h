// The sample readers that the scale kernels share (see scale/kernels.h for the row formats).
// Only the kernel files include this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "dib/dib.h"

namespace scale_kernels {

// Sample readers: where the channels of sample i of a row lie, as consecutive bytes in result
// order (the index unsigned and pointer-wide, so that it scales inside the address). Palette
// readers point into the palette: at the blue of an entry (blue, green, red follow in RGBQUAD
// order) or, in grey mode, at its red.
struct Index1 {
  const uint8_t* entries;
  const uint8_t* operator()(const uint8_t* row, uint32_t i) const {
    return entries + 4 * size_t{(row[i >> 3] >> (7 - (i & 7))) & 1u};
  }
};
struct Index4 {
  const uint8_t* entries;
  const uint8_t* operator()(const uint8_t* row, uint32_t i) const {
    return entries + 4 * size_t{(row[i >> 1] >> (i & 1 ? 0 : 4)) & 0xFu};
  }
};
struct Index8 {
  const uint8_t* entries;
  const uint8_t* operator()(const uint8_t* row, uint32_t i) const {
    return entries + 4 * size_t{row[i]};
  }
};
// Rows that already hold bytes in result order: one pixel is `C` bytes.
template <unsigned C>
struct Bytes {
  const uint8_t* operator()(const uint8_t* row, uint32_t i) const { return row + size_t{C} * i; }
};

template <class T>
inline constexpr bool kIsBytes = false;
template <unsigned C>
inline constexpr bool kIsBytes<Bytes<C>> = true;

template <unsigned C>
using Channels = std::integral_constant<unsigned, C>;

// Calls fn(reader, Channels<C>) with the reader for `format` in the chosen mode; the one switch
// over formats that every row routine shares. Unknown formats call nothing.
template <class Fn>
void WithReader(unsigned format, const RgbQuad* palette, bool grey, Fn&& fn) {
  const uint8_t* entries = palette ? (grey ? &palette->rgbRed : &palette->rgbBlue) : nullptr;
  switch (format) {
    case 1:
      return grey ? fn(Index1{entries}, Channels<1>{}) : fn(Index1{entries}, Channels<3>{});
    case 4:
      return grey ? fn(Index4{entries}, Channels<1>{}) : fn(Index4{entries}, Channels<3>{});
    case 8:
      return grey ? fn(Index8{entries}, Channels<1>{}) : fn(Index8{entries}, Channels<3>{});
    case 24:
      return grey ? fn(Bytes<1>{}, Channels<1>{}) : fn(Bytes<3>{}, Channels<3>{});
    case 32:
      return grey ? fn(Bytes<1>{}, Channels<1>{}) : fn(Bytes<4>{}, Channels<4>{});
    default:
      return;
  }
}

}  // namespace scale_kernels
