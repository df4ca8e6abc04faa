// The rules of the Frame/Caption dialog's fields and preview, portable so that they are tested
// natively: what a typed size or margin does to the frame parameters, which OK refuses, and where
// the preview draws the new image.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frame/frame.h"
#include "frame/margins.h"

// The largest number a size or margin field stands for: the frame parameters are 16-bit.
inline constexpr uint16_t kFrameFieldMax = 65535;
// The longest caption OK accepts: the title measures at most 254 characters, and the refusal asks
// for fewer than 255, so exactly 255 is refused too.
inline constexpr size_t kFrameCaptionMax = 254;

// A field's number (as ReadFieldNumber reads it, unsigned) for the frame rules. A number above
// 65535 stands for 65535 instead of wrapping, so that 70000 never becomes 4464.
uint16_t FRM_FieldValue(int64_t number);

// The two directions of the frame: the width with the left and right margins, the height with the
// top and bottom ones.
enum class FrameDirection { kAcross, kDown };

// A new width (kAcross) or height (kDown) typed for an imageWidth x imageHeight image: the added
// pixels split by FRM_SplitMargins into `params`, the other direction kept. Returns the split,
// for the two margin fields.
MarginSplit FRM_DimensionChanged(FrameSpec& params, uint16_t imageWidth, uint16_t imageHeight,
                                 FrameDirection direction, int64_t typed);

// Two margins typed for one direction (left and right, or top and bottom, as read from their
// fields): stored with FRM_SetMargins beside the other direction's margins, when the new image
// stays within 65535 pixels; otherwise `params` keeps the last margins that fitted. Returns the
// dimension the field shows: the image's size plus both margins, the true sum even above 65535,
// so that OK can refuse what the user sees.
uint32_t FRM_MarginsChanged(FrameSpec& params, uint16_t imageWidth, uint16_t imageHeight,
                            FrameDirection direction, int64_t first, int64_t second);

// What OK refuses, in the order it checks.
enum class FrameRefusal {
  kNone,
  kCaptionTooLong,  // more than kFrameCaptionMax characters
  kWidthTooSmall,   // the Width field below the image's width
  kHeightTooSmall,
  kWidthTooLarge,  // the Width field above 65535: the new image could not be made
  kHeightTooLarge,
};
// The first refusal for a caption of `captionLength` characters and the numbers of the Width and
// Height fields (unsigned, unsaturated) on an imageWidth x imageHeight image.
FrameRefusal FRM_CheckOk(size_t captionLength, int64_t width, int64_t height, uint16_t imageWidth,
                         uint16_t imageHeight);

// A rectangle in the preview control's client coordinates.
struct PreviewBox {
  int32_t left, top, right, bottom;
};
// The part of the preview's client area `client` that shows a newWidth x newHeight image: the
// largest box of the image's proportions (by whole-pixel divisions), centred across or down.
// A zero size leaves the client area as it is.
PreviewBox FRM_FitPreview(PreviewBox client, uint32_t newWidth, uint32_t newHeight);
