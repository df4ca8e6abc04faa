#include "crop/crop.h"

#include <cstring>

#include "dib/bit_runs.h"
#include "resources/text_ids.h"

void CRP_CropRows(const DibView& source, uint32_t left, uint32_t bottom, const DibView& dest) {
  // Every depth is a run of bits; only 1- and 4-bit rows can start inside a byte, and those runs
  // are shifted back to bit 7 of byte 0.
  const uint64_t startBit = uint64_t{left} * source.bits;
  const size_t firstByte = static_cast<size_t>(startBit / 8);
  const unsigned shift = static_cast<unsigned>(startBit % 8);
  const size_t runBits = size_t{dest.width} * dest.bits;
  for (uint32_t k = 0; k < dest.height; ++k) {
    uint8_t* to = dest.Row(k);
    ExtractBitRun(source.Row(bottom + size_t{k}) + firstByte, shift, runBits, to);
    ClearPadding(to, dest.bits, dest.width, dest.stride);
  }
}

HostBlock CRP_CropDIB(HostBlock image, uint32_t left, uint32_t right, uint32_t top,
                      uint32_t bottom) {
  LockedDib source(image);
  if (!source.ok) return nullptr;
  const DibView& s = source.view;
  if (uint64_t{left} + right >= s.width || uint64_t{top} + bottom >= s.height) {
    HP_ShowMessage(IDS_CROP_EMPTY_RESULT);
    return nullptr;
  }
  const uint32_t width = s.width - left - right;
  const uint32_t height = s.height - top - bottom;

  NewImage result(source, width, height, IDS_CROP_NO_MEMORY);
  if (!result) return nullptr;
  CRP_CropRows(s, left, bottom, result.view);
  return result.Release();
}
