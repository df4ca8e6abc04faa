#include "mask/mask.h"

#include <cstring>

#include "dib/block.h"
#include "dib/dib.h"
#include "resources/text_ids.h"

MaskColorValue MaskColor = {0, 192, 192, 192};

void MAS_SetMaskColor(int32_t index, uint8_t red, uint8_t green, uint8_t blue) {
  MaskColor = {index, red, green, blue};
}

MaskLayout ChooseMaskLayout(uint32_t imageBits, uint32_t displayBits) {
  if (imageBits == 32) return MaskLayout::Separate;
  if ((imageBits == 24 || imageBits == 4) && displayBits == 8) return MaskLayout::Separate;
  return MaskLayout::InPlace;
}

namespace {

// What a replaced pixel becomes, worked out once per call.
struct Replacement {
  bool invert;
  uint8_t index1;  // 0x00 or 0xFF: every bit of a 1-bit byte
  uint8_t index4;  // the index in one nibble
  uint8_t index8;
  uint8_t blue, green, red;
  bool alphaMask, alphaColor;
};

// Mask values, read either from the separate 8-bit mask row or from the new row itself before the
// pixel is overwritten (in place). Each answers whether pixel x was left unpainted.
struct FromMaskRow {
  const uint8_t* mask;
  bool operator()(uint32_t x) const { return mask[x] != 0; }
};
struct FromNibbles {
  const uint8_t* row;
  bool operator()(uint32_t x) const { return ((x % 2 ? row[x / 2] : row[x / 2] >> 4) & 0x0F) != 0; }
};
struct FromBlueBytes {
  const uint8_t* row;
  bool operator()(uint32_t x) const { return row[3 * x] != 0; }
};

// 1 bit, in place: whole bytes at once. A painted bit is 0, so after the optional complement
// every 0 bit keeps the source and every 1 bit takes the index (1 for any non-zero index).
// (The kernels copy what they need from `r` first: stores through uint8_t* may alias it, which
// would make the compiler reload it for every pixel.)
void Merge1(const uint8_t* src, uint8_t* dst, size_t bytes, const Replacement& r) {
  const uint8_t flip = r.invert ? 0xFF : 0x00, index = r.index1;
  for (size_t i = 0; i < bytes; ++i) {
    const uint8_t replaced = static_cast<uint8_t>(dst[i] ^ flip);
    dst[i] = static_cast<uint8_t>((src[i] & ~replaced) | (index & replaced));
  }
}

template <class Unpainted>
void Merge4(const uint8_t* src, uint8_t* dst, uint32_t width, Unpainted unpainted,
            const Replacement& r) {
  const bool invert = r.invert;
  const unsigned index = r.index4;
  for (uint32_t x = 0; x < width; ++x) {
    const unsigned shift = x % 2 ? 0 : 4;
    const bool keep = unpainted(x) == invert;  // read before the nibble is overwritten
    const unsigned value = keep ? (src[x / 2] >> shift) & 0x0F : index;
    dst[x / 2] = static_cast<uint8_t>((dst[x / 2] & ~(0x0Fu << shift)) | value << shift);
  }
}

// 8 bits, in place: the mask value of a pixel is the byte itself.
void Merge8(const uint8_t* src, uint8_t* dst, uint32_t width, const Replacement& r) {
  // Selected through a byte mask, not a branch: the branch on each pixel ran a quarter slower or
  // faster with nothing but the code's place in the program, and the mask lets the loop vectorise.
  const uint8_t flip = r.invert ? 0xFF : 0, index = r.index8;
  for (uint32_t x = 0; x < width; ++x) {
    const auto keep = static_cast<uint8_t>((dst[x] == 0 ? 0xFF : 0) ^ flip);
    dst[x] = static_cast<uint8_t>((src[x] & keep) | (index & ~keep));
  }
}

template <class Unpainted>
void Merge24(const uint8_t* src, uint8_t* dst, uint32_t width, Unpainted unpainted,
             const Replacement& r) {
  const bool invert = r.invert;
  const uint8_t blue = r.blue, green = r.green, red = r.red;
  for (uint32_t x = 0; x < width; ++x) {
    uint8_t* d = dst + 3 * x;
    if (unpainted(x) == invert) {
      std::memcpy(d, src + 3 * x, 3);
    } else {
      d[0] = blue;
      d[1] = green;
      d[2] = red;
    }
  }
}

// 32 bits, always through the separate mask: colour and alpha of replaced pixels are chosen
// independently by the two flags, as bits of the little-endian pixel (blue in the lowest byte).
void Merge32(const uint8_t* src, uint8_t* dst, uint32_t width, const uint8_t* mask,
             const Replacement& r) {
  const uint32_t colorBits = r.alphaColor ? 0x00FFFFFFu : 0,
                 alphaBits = r.alphaMask ? 0xFF000000u : 0;
  const uint32_t replacedBits = colorBits | alphaBits;
  const uint32_t replacement = ((r.blue | r.green << 8 | r.red << 16) & colorBits) | alphaBits;
  // As in Merge8, the replaced bits of each pixel are chosen through a mask, not a branch; the
  // index is a size_t so that the compiler sees the pixels as one run and vectorises the loop.
  const uint32_t flip = r.invert ? 0xFFFFFFFFu : 0;
  for (size_t x = 0; x < width; ++x) {
    uint32_t pixel;
    std::memcpy(&pixel, src + 4 * x, 4);
    const uint32_t replaced = replacedBits & ((mask[x] == 0 ? 0u : 0xFFFFFFFFu) ^ flip);
    pixel = (pixel & ~replaced) | (replacement & replaced);
    std::memcpy(dst + 4 * x, &pixel, 4);
  }
}

// Merges every row. `mask` is the separate 8-bit mask (rows `maskStride` apart, bottom row first)
// or null when the mask was rendered into `dst` itself.
void MergeRows(const DibView& src, const DibView& dst, const uint8_t* mask, size_t maskStride,
               const Replacement& r) {
  for (uint32_t k = 0; k < src.height; ++k) {
    const uint8_t* s = src.Row(k);
    uint8_t* d = dst.Row(k);
    const uint8_t* m = mask ? mask + k * maskStride : nullptr;
    switch (src.bits) {
      case 1:
        Merge1(s, d, src.stride, r);
        break;
      case 4:
        if (m)
          Merge4(s, d, src.width, FromMaskRow{m}, r);
        else
          Merge4(s, d, src.width, FromNibbles{d}, r);
        break;
      case 8:
        Merge8(s, d, src.width, r);
        break;
      case 24:
        if (m)
          Merge24(s, d, src.width, FromMaskRow{m}, r);
        else
          Merge24(s, d, src.width, FromBlueBytes{d}, r);
        break;
      case 32:
        Merge32(s, d, src.width, m, r);
        break;
    }
    // Whatever the renderer or the merge left after the last pixel goes.
    ClearPadding(d, src.bits, src.width, src.stride);
  }
}

// The header and grey colour table of the separate mask: the source's header as an 8-bit image.
// Returns where its rows start.
uint8_t* StartMaskImage(const DibView& src, uint8_t* block, size_t maskStride) {
  BitmapInfoHeader header = *src.header;
  header.biBitCount = 8;
  header.biSizeImage = static_cast<uint32_t>(maskStride * src.height);
  header.biClrUsed = 256;
  std::memcpy(block, &header, kHeaderSize);
  for (unsigned i = 0; i < 256; ++i) {
    const RgbQuad grey{static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i),
                       0};
    std::memcpy(block + kHeaderSize + 4 * i, &grey, 4);
  }
  return block + kHeaderSize + 1024;
}

}  // namespace

HostBlock MAS_ApplyMask(HostBlock source, const MaskRenderer& render, int32_t invert,
                        int32_t alphaMask, int32_t alphaColor, uint32_t displayBits) {
  LockedDib image(source);  // refuses 16-bit and other unhandled images with a message
  if (!image.ok) return nullptr;
  const DibView& src = image.view;

  // The full width and height are used, not their low 16 bits: a raster of another size than the
  // image would silently misplace the drawing.
  NewImage result(image, src.width, src.height, IDS_MASK_NO_MEMORY_IMAGE);
  if (!result) return nullptr;
  const DibView& dst = result.view;

  // An index beyond the colour table cannot be honoured; for 4-bit images it is kept to its nibble
  // so that it can never spill into the neighbouring pixel.
  const Replacement r{invert != 0,
                      static_cast<uint8_t>(MaskColor.index != 0 ? 0xFF : 0x00),
                      static_cast<uint8_t>(MaskColor.index & 0x0F),
                      static_cast<uint8_t>(MaskColor.index),
                      MaskColor.blue,
                      MaskColor.green,
                      MaskColor.red,
                      alphaMask != 0,
                      alphaColor != 0};

  if (ChooseMaskLayout(src.bits, displayBits) == MaskLayout::Separate) {
    const size_t maskStride = static_cast<size_t>(RowStride(8, src.width));
    NewImage mask(image, PackedDibSize(1024, 8, src.width, src.height), IDS_MASK_NO_MEMORY_MASK);
    if (!mask) return nullptr;
    uint8_t* maskRows = StartMaskImage(src, mask.data(), maskStride);
    if (!render(MaskRaster{maskRows, maskStride, src.width, src.height, 8})) return nullptr;
    MergeRows(src, dst, maskRows, maskStride, r);
  } else {
    if (!render(MaskRaster{dst.rows, dst.stride, src.width, src.height, src.bits})) return nullptr;
    MergeRows(src, dst, nullptr, 0, r);
  }
  return result.Release();
}

void MAS_RasterFromMono(const uint8_t* mono, size_t monoStride, const MaskRaster& raster) {
  const size_t monoBytes = (size_t{raster.width} + 7) / 8;
  for (uint32_t y = 0; y < raster.height; ++y) {
    const uint8_t* in = mono + size_t{y} * monoStride;
    uint8_t* out = raster.rows + size_t{y} * raster.stride;
    if (raster.bits == 1) {
      std::memcpy(out, in, monoBytes);
      continue;
    }
    for (uint32_t x = 0; x < raster.width; ++x) {
      const bool unpainted = (in[x / 8] >> (7 - x % 8)) & 1;
      if (raster.bits == 4) {
        const unsigned shift = x % 2 ? 0 : 4;
        out[x / 2] =
            static_cast<uint8_t>((out[x / 2] & ~(0x0F << shift)) | (unpainted ? 0x0F << shift : 0));
      } else {
        const size_t bytes = raster.bits / 8;
        std::memset(out + x * bytes, unpainted ? 0xFF : 0x00, bytes);
      }
    }
  }
}
