// The portable row mirror, the reference for the vector kernels: 1- and 4-bit rows eight bytes at
// a time, deeper pixels one by one.
//
// While one row is reversed the kernels ask for the next row's cache lines, a few at a time, so
// that it is in the cache when its turn comes: rows fetched only when they are read leave the
// processor waiting for memory at every row, and asking for a whole row at once stalls on the few
// misses it can have outstanding.
#include "dib/mirror_kernels.h"
#include "dib/row_mirror.h"

using namespace mirror_kernels;

namespace {

template <size_t N>
void ReverseEach(const uint8_t* from, uint8_t* to, size_t width, const uint8_t* ahead) {
  for (size_t x = 0; x < width; x += 16) {
    Prefetch(ahead + N * x);
    ReversePixels<N>(from, to, width, x, x + 16 < width ? x + 16 : width);
  }
}

}  // namespace

void MirrorRowPortable(const uint8_t* from, uint8_t* to, unsigned bits, uint32_t width,
                       size_t stride, const uint8_t* ahead) {
  const auto used = static_cast<size_t>((uint64_t{bits} * width + 7) / 8);
  switch (bits) {
    case 1:
      MirrorPackedFrom<BitOrder>(from, to, used, stride, PackedShift(1, width), ahead, 0);
      break;
    case 4:
      MirrorPackedFrom<NibbleOrder>(from, to, used, stride, PackedShift(4, width), ahead, 0);
      break;
    case 8:
      ReverseEach<1>(from, to, width, ahead);
      break;
    case 24:
      ReverseEach<3>(from, to, width, ahead);
      break;
    case 32:
      ReverseEach<4>(from, to, width, ahead);
      break;
  }
}
