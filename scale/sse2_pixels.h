// Pixel loads shared by the SSE2 scale kernels (shrink_sse2.cpp, enlarge_sse2.cpp).
#pragma once

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace scale_kernels {

// The four bytes at `p` as 16-bit lanes 0…3. A 24-bit row ends three bytes after its last
// pixel starts: `four` says whether a fourth may be read (the lane it lands in is never stored).
inline __m128i PixelBytes(const uint8_t* p, bool four) {
  uint32_t bytes = 0;
  if (four)
    std::memcpy(&bytes, p, 4);
  else
    std::memcpy(&bytes, p, 3);
  return _mm_cvtsi32_si128(static_cast<int>(bytes));
}
inline __m128i LoadPixel(const uint8_t* p, bool four) {
  return _mm_unpacklo_epi8(PixelBytes(p, four), _mm_setzero_si128());
}
// The pixels at `p` and `q` as lanes 0…3 and 4…7.
inline __m128i LoadPixels(const uint8_t* p, const uint8_t* q, bool four) {
  return _mm_unpacklo_epi8(_mm_unpacklo_epi32(PixelBytes(p, four), PixelBytes(q, four)),
                           _mm_setzero_si128());
}

}  // namespace scale_kernels
