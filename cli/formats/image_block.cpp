#include "cli/formats/image_block.h"

#include <algorithm>
#include <cstring>

#include "dib/block.h"

BitmapInfoHeader ImageHeader(unsigned bits, uint32_t width, uint32_t height, uint32_t colours,
                             uint32_t xPerMeter, uint32_t yPerMeter) {
  BitmapInfoHeader h{};
  h.biSize = kHeaderSize;
  h.biWidth = static_cast<int32_t>(width);
  h.biHeight = static_cast<int32_t>(height);
  h.biPlanes = 1;
  h.biBitCount = static_cast<uint16_t>(bits);
  h.biSizeImage = static_cast<uint32_t>(RowStride(bits, width) * height);
  h.biXPelsPerMeter = static_cast<int32_t>(std::min<uint32_t>(xPerMeter, INT32_MAX));
  h.biYPelsPerMeter = static_cast<int32_t>(std::min<uint32_t>(yPerMeter, INT32_MAX));
  h.biClrUsed = colours;
  return h;
}

HostBlock NewImageBlock(const BitmapInfoHeader& header, std::string& error) {
  OwnedBlock block(HP_Alloc(
      PackedDibSize(header.biClrUsed * 4, header.biBitCount, static_cast<uint32_t>(header.biWidth),
                    static_cast<uint32_t>(header.biHeight)),
      HP_MOVEABLE));
  BlockLock lock(block.get());
  if (!lock) {
    error = "not enough memory for the image";
    return nullptr;
  }
  std::memcpy(lock.get(), &header, sizeof header);
  lock.unlock();
  return block.release();
}
