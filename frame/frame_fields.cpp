#include "frame/frame_fields.h"

#include <algorithm>

uint16_t FRM_FieldValue(int64_t number) {
  return static_cast<uint16_t>(std::clamp<int64_t>(number, 0, kFrameFieldMax));
}

MarginSplit FRM_DimensionChanged(FrameSpec& params, uint16_t imageWidth, uint16_t imageHeight,
                                 FrameDirection direction, int64_t typed) {
  const bool across = direction == FrameDirection::kAcross;
  const MarginSplit split =
      FRM_SplitMargins(across ? imageWidth : imageHeight, FRM_FieldValue(typed));
  // A 16-bit new size minus the image's always fits, so this store never fails.
  if (across)
    FRM_SetMargins(params, imageWidth, imageHeight, params.top, params.bottom, split.first,
                   split.second);
  else
    FRM_SetMargins(params, imageWidth, imageHeight, split.first, split.second, params.left,
                   params.right);
  return split;
}

uint32_t FRM_MarginsChanged(FrameSpec& params, uint16_t imageWidth, uint16_t imageHeight,
                            FrameDirection direction, int64_t first, int64_t second) {
  const uint16_t a = FRM_FieldValue(first), b = FRM_FieldValue(second);
  if (direction == FrameDirection::kAcross) {
    FRM_SetMargins(params, imageWidth, imageHeight, params.top, params.bottom, a, b);
    return uint32_t{imageWidth} + a + b;
  }
  FRM_SetMargins(params, imageWidth, imageHeight, a, b, params.left, params.right);
  return uint32_t{imageHeight} + a + b;
}

FrameRefusal FRM_CheckOk(size_t captionLength, int64_t width, int64_t height, uint16_t imageWidth,
                         uint16_t imageHeight) {
  if (captionLength > kFrameCaptionMax) return FrameRefusal::kCaptionTooLong;
  if (width < imageWidth) return FrameRefusal::kWidthTooSmall;
  if (height < imageHeight) return FrameRefusal::kHeightTooSmall;
  // After the two checks above, as the user reads the fields: first too small, then too large.
  if (width > kFrameFieldMax) return FrameRefusal::kWidthTooLarge;
  if (height > kFrameFieldMax) return FrameRefusal::kHeightTooLarge;
  return FrameRefusal::kNone;
}

PreviewBox FRM_FitPreview(PreviewBox client, uint32_t newWidth, uint32_t newHeight) {
  if (newWidth == 0 || newHeight == 0) return client;
  const auto cw = static_cast<uint32_t>(client.right - client.left);
  const auto ch = static_cast<uint32_t>(client.bottom - client.top);
  // The divisions are unsigned, the differences signed: for a frame wider than the box the
  // width's difference is negative, and taken unsigned it would wrap and push the box away.
  const int32_t dy =
      static_cast<int32_t>(ch) - static_cast<int32_t>(uint64_t{cw} * newHeight / newWidth);
  const int32_t dx =
      static_cast<int32_t>(cw) - static_cast<int32_t>(uint64_t{ch} * newWidth / newHeight);
  if (dx > 0) {
    client.left += dx / 2;
    client.right -= (dx + 1) / 2;
  } else {
    client.top += dy / 2;
    client.bottom -= (dy + 1) / 2;
  }
  return client;
}
