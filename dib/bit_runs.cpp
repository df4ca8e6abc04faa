#include "dib/bit_runs.h"

#include <cstring>
#include <type_traits>

#include "dib/dib.h"

namespace {

// Sixteen bytes of a run moved by `LeftShift` bits (1 to 7): out[j] = a[j] << LeftShift |
// b[j] >> (8 - LeftShift), each byte on its own. With b = a + 1 that is the bit string shifted
// towards its start. The compiler turns it into SSE2 on x86 and spells it out elsewhere; vectors
// stay inside the function so that no calling convention depends on them.
template <unsigned LeftShift>
void ShiftBytes16(uint8_t* out, const uint8_t* a, const uint8_t* b) {
  typedef uint8_t Bytes16 __attribute__((vector_size(16)));
  Bytes16 x, y;
  std::memcpy(&x, a, sizeof x);
  std::memcpy(&y, b, sizeof y);
  const Bytes16 v = x << LeftShift | y >> (8 - LeftShift);
  std::memcpy(out, &v, sizeof v);
}

// Calls loop(std::integral_constant<unsigned, shift>) for shift 1 to 7, so that the loops shift
// by a constant.
template <typename Loop>
size_t WithConstantShift(unsigned shift, Loop loop) {
  switch (shift) {
    case 1:
      return loop(std::integral_constant<unsigned, 1>{});
    case 2:
      return loop(std::integral_constant<unsigned, 2>{});
    case 3:
      return loop(std::integral_constant<unsigned, 3>{});
    case 4:
      return loop(std::integral_constant<unsigned, 4>{});
    case 5:
      return loop(std::integral_constant<unsigned, 5>{});
    case 6:
      return loop(std::integral_constant<unsigned, 6>{});
    default:
      return loop(std::integral_constant<unsigned, 7>{});
  }
}

}  // namespace

void ExtractBitRun(const uint8_t* src, unsigned shift, size_t bitCount, uint8_t* dst) {
  if (bitCount == 0) return;
  const size_t outBytes = (bitCount + 7) / 8;
  if (shift == 0) {
    if (dst != src) std::memcpy(dst, src, outBytes);
  } else {
    // Output byte j is the low 8 - shift bits of src[j] followed by the high shift bits of
    // src[j + 1]. Sixteen at a time while seventeen source bytes are at hand; in place, each
    // group is read before it is written.
    const size_t inBytes = (shift + bitCount + 7) / 8;
    const size_t j = WithConstantShift(shift, [&](auto s) {
      constexpr unsigned kShift = decltype(s)::value;
      size_t i = 0;
      for (; i + 17 <= inBytes; i += 16) ShiftBytes16<kShift>(dst + i, src + i, src + i + 1);
      return i;
    });
    for (size_t i = j; i < outBytes; ++i) {
      unsigned v = src[i] << shift;
      if (i + 1 < inBytes) v |= src[i + 1] >> (8 - shift);
      dst[i] = static_cast<uint8_t>(v);
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
    // Sixteen whole bytes at a time while they lie before the last one and their source bytes
    // src[j - 1] to src[j + 15] exist.
    j = WithConstantShift(shift, [&](auto s) {
      constexpr unsigned kShift = decltype(s)::value;
      size_t i = 1;
      for (; i + 16 <= last && i + 16 <= srcBytes; i += 16)
        ShiftBytes16<8 - kShift>(dst + i, src + i - 1, src + i);
      return i;
    });
  }
  for (; j < last; ++j) dst[j] = piece(j);
  dst[last] = merge(dst[last], piece(last), keepLast);
}
