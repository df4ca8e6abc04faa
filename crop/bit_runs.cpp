#include "crop/bit_runs.h"

#include <bit>
#include <cstring>

#include "dib/dib.h"

namespace {

// Eight bytes as one big-endian word, so that shifting the word shifts the bit string.
uint64_t LoadBig64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
  return v;
}

void StoreBig64(uint8_t* p, uint64_t v) {
  if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
  std::memcpy(p, &v, 8);
}

}  // namespace

void ExtractBitRun(const uint8_t* src, unsigned shift, size_t bitCount, uint8_t* dst) {
  if (bitCount == 0) return;
  const size_t outBytes = (bitCount + 7) / 8;
  if (shift == 0) {
    if (dst != src) std::memcpy(dst, src, outBytes);
  } else {
    // Output byte j is the low 8 - shift bits of src[j] followed by the high shift bits of
    // src[j + 1]; eight at a time while nine source bytes are at hand.
    const size_t inBytes = (shift + bitCount + 7) / 8;
    size_t j = 0;
    for (; j + 9 <= inBytes; j += 8)
      StoreBig64(dst + j, LoadBig64(src + j) << shift | src[j + 8] >> (8 - shift));
    for (; j < outBytes; ++j) {
      unsigned v = src[j] << shift;
      if (j + 1 < inBytes) v |= src[j + 1] >> (8 - shift);
      dst[j] = static_cast<uint8_t>(v);
    }
  }
  if (bitCount % 8 != 0) dst[outBytes - 1] &= HighBitsMask[bitCount % 8];
}

void InsertBitRun(uint8_t* dst, unsigned shift, const uint8_t* src, size_t bitCount) {
  if (bitCount == 0) return;
  const size_t srcBytes = (bitCount + 7) / 8;
  const size_t last = (shift + bitCount - 1) / 8;  // the run covers dst[0] to dst[last]
  const unsigned endBits = (shift + bitCount) % 8;
  const uint8_t keepFirst = HighBitsMask[shift];
  const uint8_t keepLast = endBits ? static_cast<uint8_t>(~HighBitsMask[endBits]) : 0;
  // Destination byte j of the run: the low `shift` bits of src[j - 1], then the high 8 - shift
  // bits of src[j]. (last <= srcBytes, so src[j - 1] always exists.)
  auto piece = [&](size_t j) {
    unsigned v = j < srcBytes ? src[j] >> shift : 0;
    if (j > 0 && shift != 0) v |= src[j - 1] << (8 - shift);
    return static_cast<uint8_t>(v);
  };
  auto merge = [](uint8_t old, uint8_t run, uint8_t keep) {
    return static_cast<uint8_t>((old & keep) | (run & ~keep));
  };
  if (last == 0) {
    dst[0] = merge(dst[0], piece(0), keepFirst | keepLast);
    return;
  }
  dst[0] = merge(dst[0], piece(0), keepFirst);
  size_t j = 1;
  if (shift == 0) {
    std::memcpy(dst + 1, src + 1, last - 1);
    j = last;
  } else {
    for (; j + 8 <= last && j + 8 <= srcBytes; j += 8)
      StoreBig64(dst + j, LoadBig64(src + j - 1) << (8 - shift) | src[j + 7] >> shift);
  }
  for (; j < last; ++j) dst[j] = piece(j);
  dst[last] = merge(dst[last], piece(last), keepLast);
}
