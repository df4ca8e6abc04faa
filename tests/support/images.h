// Test images: PackedDib blocks made through the host port, and per-pixel reads and writes at any
// depth, written independently of the engines so that they can serve as references.
#pragma once

#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dib/dib.h"

namespace testimg {

// The depths every engine handles, for parameterised tests.
inline constexpr unsigned kDepths[] = {1, 4, 8, 24, 32};

// A new PackedDib of the given depth and size with a full colour table of distinct colours
// (2, 16 or 256 entries) for palette depths, pixels from a generator seeded with `seed`, and
// zero padding. The caller owns the block.
HostBlock Make(unsigned bits, uint32_t width, uint32_t height, uint32_t seed);

// Entry `i` of the colour tables Make writes.
RgbQuad TableEntry(uint32_t i);

// A bottom-up uncompressed header of that depth and size with `colors` table entries.
BitmapInfoHeader Header(unsigned bits, uint32_t width, uint32_t height, uint32_t colors,
                        int32_t pelsPerMeter = 0);

// The whole block as bytes.
std::vector<uint8_t> Bytes(HostBlock block);
// A new block holding `bytes`; the caller owns it.
HostBlock FromBytes(const std::vector<uint8_t>& bytes);

// "8 bits, 13 x 40": an image named for a failure message or a SCOPED_TRACE.
std::string Describe(unsigned bits, uint32_t width, uint32_t height);
std::string Describe(const DibView& v);
// The parts streamed one after another: a case named for a failure message or a SCOPED_TRACE.
template <typename... Parts>
std::string Cat(const Parts&... parts) {
  std::ostringstream out;
  (out << ... << parts);
  return out.str();
}
// "8bit": the name of an instance of a test parameterised over kDepths.
std::string DepthName(const testing::TestParamInfo<unsigned>& info);

// Pixel value at (x, y), y counted from the top of the picture: an index for palette depths,
// the stored bytes read little-endian for 24 and 32 bits: 0xRRGGBB and 0xXXRRGGBB (blue lowest).
uint32_t GetPixel(const DibView& v, uint32_t x, uint32_t y);
void SetPixel(const DibView& v, uint32_t x, uint32_t y, uint32_t value);

// The first padding bit (after the last pixel of a stored row, padding bytes included) that is not
// `bit`, as "row k, bit b"; "" when there is none.
std::string StrayPadding(const DibView& v, unsigned bit = 0);

// A locked view of a block for reading in a test; the lock lives as long as the object.
struct View {
  explicit View(HostBlock block);
  BlockLock lock;
  DibView v;
};

// Runs `operation` with the 1st, 2nd, ... allocation failing until a run completes without the
// planned failure being reached; `check` is called after each failed run with its failure number.
// Returns the number of failure points found.
int ForEachAllocationFailure(const std::function<void()>& operation,
                             const std::function<void(int)>& check);

}  // namespace testimg
