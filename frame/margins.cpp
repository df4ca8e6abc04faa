#include "frame/margins.h"

MarginSplit FRM_SplitMargins(uint16_t imageSize, uint16_t newSize) {
  const uint16_t added = newSize > imageSize ? static_cast<uint16_t>(newSize - imageSize) : 0;
  return {added, static_cast<uint16_t>(added / 2), static_cast<uint16_t>(added - added / 2)};
}

bool FRM_SetMargins(FrameSpec& params, uint32_t imageWidth, uint32_t imageHeight, uint32_t top,
                    uint32_t bottom, uint32_t left, uint32_t right) {
  constexpr uint64_t kMax = 65535;
  if (uint64_t{imageWidth} + left + right > kMax || uint64_t{imageHeight} + top + bottom > kMax)
    return false;
  params.top = static_cast<uint16_t>(top);
  params.bottom = static_cast<uint16_t>(bottom);
  params.left = static_cast<uint16_t>(left);
  params.right = static_cast<uint16_t>(right);
  params.addWidth = static_cast<uint16_t>(left + right);
  params.addHeight = static_cast<uint16_t>(top + bottom);
  return true;
}
