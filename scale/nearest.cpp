#include "scale/nearest.h"

#include <cstring>

#include "dib/block.h"
#include "dib/dib.h"
#include "scale/resample.h"

namespace {

// The source index holding the centre of result index i of n, for a side of `from` samples.
uint32_t CentreSource(uint32_t i, uint32_t n, uint32_t from) {
  return static_cast<uint32_t>((2 * uint64_t{i} + 1) * from / (2 * uint64_t{n}));
}

// Fills one result row (already zero) from one source row through the column map.
template <unsigned Bits>
void PickRow(const uint8_t* in, uint8_t* out, const uint32_t* columns, uint32_t width) {
  for (uint32_t x = 0; x < width; ++x) {
    const uint32_t s = columns[x];
    if constexpr (Bits == 1) {
      const unsigned bit = (in[s >> 3] >> (7 - (s & 7))) & 1;
      out[x >> 3] = static_cast<uint8_t>(out[x >> 3] | bit << (7 - (x & 7)));
    } else if constexpr (Bits == 4) {
      const unsigned nibble = (in[s >> 1] >> (s & 1 ? 0 : 4)) & 0xF;
      out[x >> 1] = static_cast<uint8_t>(out[x >> 1] | nibble << (x & 1 ? 0 : 4));
    } else {
      std::memcpy(out + size_t{Bits / 8} * x, in + size_t{Bits / 8} * s, Bits / 8);
    }
  }
}

}  // namespace

HostBlock ResizeNearest(HostBlock sourceBlock, uint32_t width, uint32_t height) {
  LockedDib image(sourceBlock, kNoMessage);
  if (!image.ok) return nullptr;
  const DibView& source = image.view;
  if (!ScaledImageFits(source.bits, width, height)) return nullptr;

  OwnedBlock columnsBlock(HP_Alloc(uint64_t{width} * sizeof(uint32_t), HP_FIXED));
  BlockLock columnsLock(columnsBlock.get());
  if (!columnsLock) return nullptr;
  NewImage result(image, width, height, kNoMessage);
  if (!result) return nullptr;

  auto* columns = reinterpret_cast<uint32_t*>(columnsLock.get());
  for (uint32_t x = 0; x < width; ++x) columns[x] = CentreSource(x, width, source.width);
  const DibView& out = result.view;
  uint32_t previous = 0;
  for (uint32_t y = 0; y < height; ++y) {
    const uint32_t from = CentreSource(y, height, source.height);
    uint8_t* row = out.RowFromTop(y);
    if (y > 0 && from == previous) {
      std::memcpy(row, out.RowFromTop(y - 1), out.stride);
      continue;
    }
    previous = from;
    std::memset(row, 0, out.stride);
    const uint8_t* in = source.RowFromTop(from);
    WithDepth(source.bits,
              [&](auto bits) { PickRow<decltype(bits)::value>(in, row, columns, width); });
  }
  return result.Release();
}
