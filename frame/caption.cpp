#include "frame/caption.h"

#include "resources/text_ids.h"

CaptionOrigin FRM_CaptionOrigin(uint32_t width, uint32_t height, int32_t cx, int32_t cy,
                                uint16_t alignment) {
  // Signed arithmetic: C++ division truncates toward zero, so (21 - 30) / 2 is -4, not -5.
  const int32_t w = static_cast<int32_t>(width), h = static_cast<int32_t>(height);
  CaptionOrigin at{0, 0};
  if (alignment & kAlignHCenter)
    at.x = (w - cx) / 2;
  else if (alignment & kAlignRight)
    at.x = w - cx;
  if (alignment & kAlignVCenter)
    at.y = (h - cy) / 2;
  else if (alignment & kAlignBottom)
    at.y = h - cy;
  return at;
}

HostBlock FRM_AddCaption(HostBlock framed, const FrameColor& text, uint16_t invertFlag,
                         uint16_t alphaFlag, uint16_t colorFlag, const MaskRenderer& glyphs,
                         uint32_t displayBits) {
  // The glyphs are the painted pixels, and painted pixels are the ones replaced only when the mask
  // is inverted: so a plain caption inverts the mask, and an inverted caption does not.
  MAS_SetMaskColor(text.index, text.red, text.green, text.blue);
  HostBlock masked =
      MAS_ApplyMask(framed, glyphs, invertFlag == 0 ? 1 : 0, alphaFlag, colorFlag, displayBits);
  if (!masked) {
    HP_ShowMessage(IDS_FRAME_CAPTION_FAILED);
    return framed;
  }
  HP_Free(framed);
  return masked;
}
