#include <cstring>

#include "dib/dib.h"
#include "dib/transforms.h"
#include "resources/text_ids.h"

namespace {

void ComplementBytes(uint8_t* row, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) row[i] = static_cast<uint8_t>(~row[i]);
}

// Blue, green and red of each 4-byte pixel; the fourth byte is left as it is.
void ComplementColorChannels(uint8_t* row, size_t pixels) {
  for (size_t i = 0; i < pixels; ++i) {
    uint32_t v;
    std::memcpy(&v, row + 4 * i, 4);
    v ^= 0x00FFFFFFu;  // little-endian: bytes 0..2 are blue, green, red
    std::memcpy(row + 4 * i, &v, 4);
  }
}

}  // namespace

bool InvertDib(HostBlock dib, HostWindow progressOwner) {
  LockedDib image(dib);
  if (!image.ok) return false;
  const DibView& v = image.view;

  if (v.bits == 4 || v.bits == 8) {
    for (uint32_t i = 0; i < v.colorCount; ++i) {
      v.colors[i].rgbBlue = static_cast<uint8_t>(255 - v.colors[i].rgbBlue);
      v.colors[i].rgbGreen = static_cast<uint8_t>(255 - v.colors[i].rgbGreen);
      v.colors[i].rgbRed = static_cast<uint8_t>(255 - v.colors[i].rgbRed);
    }
    return true;
  }

  HP_ProgressOpen(progressOwner, IDS_PROGRESS_INVERT);
  HP_ProgressRange(v.height);
  for (uint32_t k = 0; k < v.height; ++k) {
    if (k % 16 == 0 || k == v.height - 1) HP_ProgressStep(k);
    if (v.bits == 32)
      ComplementColorChannels(v.Row(k), v.width);
    else
      ComplementBytes(v.Row(k), v.stride);  // stride is a multiple of 4: padding included
  }
  HP_ProgressStep(v.height);
  HP_ProgressClose();
  return true;
}
