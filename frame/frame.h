// Frame composition: a larger copy of an image with painted margins around it.
//
// The caption step of the Frame/Caption command needs Windows text drawing and is layered on
// top of FRM_ComposeFrame by the plug-in; nothing here depends on it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dib/dib.h"

// A frame colour: a colour-table index for 1-, 4- and 8-bit images, then blue, green and red
// for 24- and 32-bit images, byte-packed as the exported frame interface lays it out.
#pragma pack(push, 1)
struct FrameColor {
  int16_t index;
  uint8_t blue;
  uint8_t green;
  uint8_t red;
};
#pragma pack(pop)
static_assert(sizeof(FrameColor) == 5, "a frame colour is five bytes without a gap");
static_assert(offsetof(FrameColor, blue) == 2 && offsetof(FrameColor, green) == 3 &&
              offsetof(FrameColor, red) == 4);

// The caption font, laid out byte for byte as the Windows LOGFONTA (LONG is 32-bit on both
// Windows targets), so that the plug-in can pass it to the font calls and dialogs as it is.
struct FrameFont {
  int32_t lfHeight;
  int32_t lfWidth;
  int32_t lfEscapement;
  int32_t lfOrientation;
  int32_t lfWeight;
  uint8_t lfItalic;
  uint8_t lfUnderline;
  uint8_t lfStrikeOut;
  uint8_t lfCharSet;
  uint8_t lfOutPrecision;
  uint8_t lfClipPrecision;
  uint8_t lfQuality;
  uint8_t lfPitchAndFamily;
  char lfFaceName[32];
};
static_assert(sizeof(FrameFont) == 60 && offsetof(FrameFont, lfFaceName) == 28);

// Margin styles.
enum : uint16_t {
  kFrameFilled = 0,   // margins in the fill colour
  kFrameOutline = 1,  // as Filled, plus a one-pixel border around the whole new image
};

// Caption placement flags (one vertical, one horizontal).
enum : uint16_t {
  kAlignTop = 1,
  kAlignVCenter = 2,
  kAlignBottom = 4,
  kAlignLeft = 8,
  kAlignHCenter = 16,
  kAlignRight = 32,
};

// The frame parameters, with their initial values. The dialog keeps addWidth = left + right and
// addHeight = top + bottom; the composition reads only addWidth, addHeight, left, bottom, style,
// fill and outline.
struct FrameSpec {
  uint16_t addWidth = 0;   // new width = image width + addWidth
  uint16_t addHeight = 0;  // new height = image height + addHeight
  uint16_t top = 0;
  uint16_t left = 0;    // column of the new image where the image's first pixel lands
  uint16_t bottom = 0;  // stored row (counted from the bottom) where the image's bottom row lands
  uint16_t right = 0;
  const char* caption = nullptr;  // zero-terminated, or null for none; not owned
  uint16_t alignment = kAlignTop | kAlignLeft;
  uint16_t colorChoice = 0;  // which colour the dialog edits: 0 fill, 1 outline, 2 text
  uint16_t style = kFrameFilled;
  FrameColor fill{0, 128, 128, 128};
  FrameColor outline{0, 160, 160, 160};
  FrameColor text{0, 192, 192, 192};
  FrameFont font{16, 0, 0, 0, 500, 0, 0, 0, 0, 0, 0, 0, 0, "Helv"};
};
static_assert(offsetof(FrameSpec, outline) == offsetof(FrameSpec, fill) + sizeof(FrameColor) &&
                  offsetof(FrameSpec, text) == offsetof(FrameSpec, outline) + sizeof(FrameColor),
              "the three colours follow one another without gaps");

// Builds the framed image: width w + addWidth and height h + addHeight (at most 65535 each), the
// same depth, header fields and colour table, the margins painted by FRM_DrawBackground when
// there are any, and the source image copied to column `left` of stored row `bottom` (its
// neighbouring margin bits and nibbles untouched). The caption is not drawn. `source` is the
// caller's PackedDib, unlocked, only read, unlocked again on return. Returns a new unlocked
// PackedDib owned by the caller, or null after a message: IDS_FRAME_NO_MEMORY when memory is
// short, IDS_IMAGE_TOO_LARGE when a new dimension would pass 65535 or the image would not lie
// inside the new one (left > addWidth or bottom > addHeight), IDS_UNSUPPORTED_IMAGE for an image
// the engines do not handle (16 bits per pixel among them).
HostBlock FRM_ComposeFrame(HostBlock source, const FrameSpec& params);

// The work of FRM_ComposeFrame in memory the caller supplies: `dest` starts like the source (as
// StartImageLike leaves it) with the new size; every row is written, row by row, background then
// image, so that each row is finished while it is in the cache.
void FRM_ComposeRows(const FrameSpec& params, const DibView& source, const DibView& dest);

// Paints every row of `image` by `params.style`: FRM_FillBackground for Filled,
// FRM_OutlineBackground for Outline. Any other style is painted as Filled, so that no margin is
// ever left as allocated.
void FRM_DrawBackground(const FrameSpec& params, const DibView& image);
// Every row in the fill colour: 1-, 4- and 8-bit rows byte by byte over the whole stride, 24- and
// 32-bit rows pixel by pixel (fourth byte 0) with zero padding. Palette indices use the low bits
// of `index` that the depth holds.
void FRM_FillBackground(const FrameSpec& params, const DibView& image);
// As FRM_FillBackground, then the first and last stored rows entirely and the first and last
// pixel of every other row in the outline colour: a one-pixel border round the whole image. A
// one-row image is all border.
void FRM_OutlineBackground(const FrameSpec& params, const DibView& image);

// Copies every row of `source` into `dest` at column `left` of stored row `bottom` + its row
// number, leaving the bits of `dest` outside the copied pixels as they are. The source must fit.
void FRM_PlaceImage(const DibView& source, const DibView& dest, uint32_t left, uint32_t bottom);
