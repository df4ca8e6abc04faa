#include "frame/frame.h"

#include <cstring>

#include "dib/bit_runs.h"
#include "resources/text_ids.h"

namespace {

constexpr uint32_t kMaxSide = 65535;  // new sizes are 16-bit in the frame parameters

// The bytes of one pixel of `color` at `bits` per pixel: the index's low bits for palette
// depths, blue, green, red (and 0) above.
uint32_t PixelValue(const FrameColor& color, unsigned bits) {
  if (bits <= 8) return static_cast<uint16_t>(color.index) & ((1u << bits) - 1);
  return color.blue | color.green << 8 | color.red << 16;
}

// Columns [from, to) of a row that the image is about to cover. 24- and 32-bit rows leave them
// unpainted; narrower rows are painted whole, as their edge bytes are shared with the image.
struct Hole {
  uint32_t from = 0;
  uint32_t to = 0;
};

// Writes `count` pixels of `BytesPerPixel` bytes, all `value`; whole 24-byte groups (a multiple
// of 3 and of 4 bytes) go at once.
template <size_t BytesPerPixel>
void FillPixels(uint8_t* at, size_t count, uint32_t value) {
  uint8_t pattern[24];
  for (size_t i = 0; i < sizeof pattern; ++i)
    pattern[i] = static_cast<uint8_t>(value >> (8 * (i % BytesPerPixel)));
  const size_t bytes = count * BytesPerPixel;
  size_t j = 0;
  for (; j + sizeof pattern <= bytes; j += sizeof pattern)
    std::memcpy(at + j, pattern, sizeof pattern);
  std::memcpy(at + j, pattern, bytes - j);
}

// The pixels of a 24- or 32-bit row outside the hole, then zero padding.
template <size_t BytesPerPixel>
void FillDeepRow(const DibView& image, uint8_t* row, uint32_t value, Hole hole) {
  FillPixels<BytesPerPixel>(row, hole.from, value);
  FillPixels<BytesPerPixel>(row + size_t{hole.to} * BytesPerPixel, image.width - hole.to, value);
  ClearPadding(row, image.bits, image.width, image.stride);
}

void FillRow(const DibView& image, uint8_t* row, const FrameColor& color, Hole hole = {}) {
  const uint32_t v = PixelValue(color, image.bits);
  switch (image.bits) {
    case 1:
      std::memset(row, v ? 0xFF : 0x00, image.stride);
      break;
    case 4:
      std::memset(row, static_cast<int>(v * 0x11), image.stride);
      break;
    case 8:
      std::memset(row, static_cast<int>(v), image.stride);
      break;
    case 24:
      FillDeepRow<3>(image, row, v, hole);
      break;
    case 32:
      FillDeepRow<4>(image, row, v, hole);
      break;
  }
}

// Sets the pixel in column x of `row` to `color`; the neighbouring bits stay.
void PutPixel(const DibView& image, uint8_t* row, uint32_t x, const FrameColor& color) {
  const uint32_t v = PixelValue(color, image.bits);
  const size_t bytes = image.bits / 8;
  uint8_t packed[4];
  if (image.bits < 8) {
    packed[0] = static_cast<uint8_t>(v << (8 - image.bits));  // the pixel at the top of a byte
  } else {
    for (size_t i = 0; i < bytes; ++i) packed[i] = static_cast<uint8_t>(v >> (8 * i));
  }
  const uint64_t bit = uint64_t{x} * image.bits;
  InsertBitRun(row + bit / 8, static_cast<unsigned>(bit % 8), packed, image.bits);
}

// Background of stored row k, perhaps but for a hole the image will fill. Unknown styles paint
// as Filled (see FRM_DrawBackground).
void PaintBackgroundRow(const FrameSpec& params, const DibView& image, uint32_t k, Hole hole = {}) {
  uint8_t* row = image.Row(k);
  if (params.style != kFrameOutline) {
    FillRow(image, row, params.fill, hole);
  } else if (k == 0 || k == image.height - 1) {
    FillRow(image, row, params.outline, hole);
  } else {
    FillRow(image, row, params.fill, hole);
    PutPixel(image, row, 0, params.outline);
    PutPixel(image, row, image.width - 1, params.outline);
  }
}

void PlaceRow(const DibView& source, uint32_t k, const DibView& dest, uint32_t left,
              uint32_t bottom) {
  const uint64_t bit = uint64_t{left} * source.bits;
  InsertBitRun(dest.Row(bottom + size_t{k}) + bit / 8, static_cast<unsigned>(bit % 8),
               source.Row(k), size_t{source.width} * source.bits);
}

}  // namespace

void FRM_FillBackground(const FrameSpec& params, const DibView& image) {
  for (uint32_t k = 0; k < image.height; ++k) FillRow(image, image.Row(k), params.fill);
}

void FRM_OutlineBackground(const FrameSpec& params, const DibView& image) {
  FrameSpec outlined = params;
  outlined.style = kFrameOutline;
  for (uint32_t k = 0; k < image.height; ++k) PaintBackgroundRow(outlined, image, k);
}

void FRM_DrawBackground(const FrameSpec& params, const DibView& image) {
  for (uint32_t k = 0; k < image.height; ++k) PaintBackgroundRow(params, image, k);
}

void FRM_PlaceImage(const DibView& source, const DibView& dest, uint32_t left, uint32_t bottom) {
  for (uint32_t k = 0; k < source.height; ++k) PlaceRow(source, k, dest, left, bottom);
}

void FRM_ComposeRows(const FrameSpec& params, const DibView& source, const DibView& dest) {
  if (params.addWidth == 0 && params.addHeight == 0) {
    // The image covers the new one exactly; its rows come with their padding.
    std::memcpy(dest.rows, source.rows, source.stride * source.height);
    return;
  }
  // The outline's edge pixels are painted before the image, which covers them when a margin
  // is 0.
  const Hole image{params.left, params.left + source.width};
  for (uint32_t k = 0; k < dest.height; ++k) {
    if (k >= params.bottom && k - params.bottom < source.height) {
      PaintBackgroundRow(params, dest, k, image);
      PlaceRow(source, k - params.bottom, dest, params.left, params.bottom);
    } else {
      PaintBackgroundRow(params, dest, k);
    }
  }
}

HostBlock FRM_ComposeFrame(HostBlock source, const FrameSpec& params) {
  LockedDib image(source);
  if (!image.ok) return nullptr;
  const DibView& s = image.view;
  if (s.width + uint64_t{params.addWidth} > kMaxSide ||
      s.height + uint64_t{params.addHeight} > kMaxSide || params.left > params.addWidth ||
      params.bottom > params.addHeight ||
      !DibFits(s.bits, s.width + uint64_t{params.addWidth},
               s.height + uint64_t{params.addHeight})) {
    HP_ShowMessage(IDS_IMAGE_TOO_LARGE);
    return nullptr;
  }
  const uint32_t width = s.width + params.addWidth;
  const uint32_t height = s.height + params.addHeight;

  NewImage result(image, width, height, IDS_FRAME_NO_MEMORY);
  if (!result) return nullptr;
  FRM_ComposeRows(params, s, result.view);
  return result.Release();
}
