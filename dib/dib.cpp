#include "dib/dib.h"

#include <cstring>

#include "resources/text_ids.h"

uint32_t ColorTableSize(const BitmapInfoHeader& header) {
  uint32_t entries = header.biClrUsed;
  if (entries == 0 && header.biBitCount <= 8) entries = 1u << header.biBitCount;
  return entries * 4;
}

bool DescribeDib(void* block, size_t bytes, DibView& view) {
  view = DibView{};
  if (!block || bytes < kHeaderSize) return false;
  auto* header = static_cast<BitmapInfoHeader*>(block);
  const uint32_t bits = header->biBitCount;
  if (header->biSize != kHeaderSize || header->biWidth <= 0 || header->biHeight <= 0 ||
      header->biCompression != 0 || !IsSupportedDepth(bits))
    return false;
  const uint32_t colors = header->biClrUsed;
  if (bits <= 8 ? (colors == 0 || colors > (1u << bits)) : colors != 0) return false;
  const uint64_t stride = RowStride(bits, static_cast<uint64_t>(header->biWidth));
  const uint64_t image = stride * static_cast<uint64_t>(header->biHeight);
  if (header->biSizeImage != image) return false;
  if (kHeaderSize + uint64_t{colors} * 4 + image > bytes) return false;

  auto* base = static_cast<uint8_t*>(block);
  view.header = header;
  view.colors = colors ? reinterpret_cast<RgbQuad*>(base + kHeaderSize) : nullptr;
  view.colorCount = colors;
  view.rows = base + kHeaderSize + colors * 4;
  view.stride = static_cast<size_t>(stride);
  view.width = static_cast<uint32_t>(header->biWidth);
  view.height = static_cast<uint32_t>(header->biHeight);
  view.bits = bits;
  return true;
}

DibView StartImageLike(const DibView& source, uint8_t* dest, uint32_t width, uint32_t height) {
  std::memcpy(dest, source.header, kHeaderSize);
  auto* header = reinterpret_cast<BitmapInfoHeader*>(dest);
  const uint32_t tableBytes = ColorTableSize(*source.header);
  const uint64_t stride = RowStride(source.bits, width);
  header->biWidth = static_cast<int32_t>(width);
  header->biHeight = static_cast<int32_t>(height);
  header->biSizeImage = static_cast<uint32_t>(stride * height);
  if (source.bits < 24) std::memcpy(dest + kHeaderSize, source.colors, tableBytes);

  DibView view;
  view.header = header;
  view.colors = source.bits < 24 ? reinterpret_cast<RgbQuad*>(dest + kHeaderSize) : nullptr;
  view.colorCount = header->biClrUsed;
  view.rows = dest + kHeaderSize + tableBytes;
  view.stride = static_cast<size_t>(stride);
  view.width = width;
  view.height = height;
  view.bits = source.bits;
  return view;
}

LockedDib::LockedDib(HostBlock block) : LockedDib(block, IDS_UNSUPPORTED_IMAGE) {}

LockedDib::LockedDib(HostBlock block, unsigned malformedText) : lock(block) {
  ok = lock && DescribeDib(lock.get(), HP_Size(block), view);
  if (!ok && malformedText != kNoMessage) HP_ShowMessage(malformedText);
}

NewImage::NewImage(LockedDib& source, uint64_t bytes, unsigned noMemoryText)
    : block_(HP_Alloc(bytes, HP_MOVEABLE)), lock_(block_.get()) {
  if (lock_) return;
  source.lock.unlock();
  if (noMemoryText != kNoMessage) HP_ShowMessage(noMemoryText);
}

NewImage::NewImage(LockedDib& source, uint32_t width, uint32_t height, unsigned noMemoryText)
    : NewImage(source,
               PackedDibSize(ColorTableSize(*source.view.header), source.view.bits, width, height),
               noMemoryText) {
  if (*this) view = StartImageLike(source.view, data(), width, height);
}

bool ChangeThroughScratchRow(HostBlock dib, unsigned noMemoryText,
                             void (*change)(const DibView& image, uint8_t* scratch)) {
  LockedDib image(dib);
  if (!image.ok) return false;
  OwnedBlock scratchBlock(HP_Alloc(image.view.stride, HP_MOVEABLE));
  BlockLock scratch(scratchBlock.get());
  if (!scratch) {
    HP_ShowMessage(noMemoryText);
    return false;
  }
  change(image.view, scratch.get());
  return true;
}
