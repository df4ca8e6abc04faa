#include <algorithm>
#include <cstring>

#include "dib/dib.h"
#include "dib/transforms.h"
#include "resources/text_ids.h"

namespace {

// Reverses the pixel order of `width` pixels of `bytesPerPixel` bytes, from `from` into `to`.
// Equal to reversing the used bytes and then restoring the byte order inside each pixel.
template <size_t BytesPerPixel>
void ReversePixels(const uint8_t* from, uint8_t* to, size_t width) {
  const uint8_t* src = from + (width - 1) * BytesPerPixel;
  for (size_t x = 0; x < width; ++x, src -= BytesPerPixel, to += BytesPerPixel)
    std::memcpy(to, src, BytesPerPixel);
}

// Moves the packed row towards its start by `shift` bits (1 to 7): the bit-reversed bytes are
// shifted left and take their low bits from the next byte, as it was before this pass.
void ShiftRowLeft(uint8_t* row, size_t stride, unsigned shift) {
  for (size_t j = 0; j < stride; ++j) {
    unsigned value = (row[j] << shift) & 0xFF;
    if (j + 1 < stride) value |= row[j + 1] >> (8 - shift);
    row[j] = static_cast<uint8_t>(value);
  }
}

// Mirrors a 1- or 4-bit row in `scratch` (a copy of the row): the used bytes reversed, the
// order inside each byte repaired, then the row moved back to its first bit when the last used
// byte held padding.
void MirrorPackedRow(uint8_t* scratch, const DibView& v) {
  const size_t used = v.UsedBytes();
  std::reverse(scratch, scratch + used);
  if (v.bits == 1) {
    for (size_t j = 0; j < v.stride; ++j) scratch[j] = BitReverseTable[scratch[j]];
    const unsigned shift = static_cast<unsigned>((v.stride * 8 - v.width) % 8);
    if (shift != 0) ShiftRowLeft(scratch, v.stride, shift);
  } else {
    for (size_t j = 0; j < v.stride; ++j)
      scratch[j] = static_cast<uint8_t>((scratch[j] << 4) | (scratch[j] >> 4));
    if (v.width % 2 != 0) ShiftRowLeft(scratch, v.stride, 4);
  }
}

}  // namespace

bool MirrorDib(HostBlock dib) {
  LockedDib image(dib);
  if (!image.ok) return false;
  const DibView& v = image.view;

  OwnedBlock scratchBlock(HP_Alloc(v.stride, HP_MOVEABLE));
  BlockLock scratch(scratchBlock.get());
  if (!scratch) {
    HP_ShowMessage(IDS_MIRROR_NO_MEMORY);
    return false;
  }
  uint8_t* buffer = scratch.get();
  for (size_t k = 0; k < v.height; ++k) {
    uint8_t* row = v.Row(k);
    std::memcpy(buffer, row, v.stride);
    switch (v.bits) {
      case 1:
      case 4:
        MirrorPackedRow(buffer, v);
        std::memcpy(row, buffer, v.stride);
        break;
      case 8: ReversePixels<1>(buffer, row, v.width); break;
      case 24: ReversePixels<3>(buffer, row, v.width); break;
      case 32: ReversePixels<4>(buffer, row, v.width); break;
    }
  }
  return true;
}
