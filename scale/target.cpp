#include "scale/target.h"

#include <algorithm>
#include <limits>

namespace {

constexpr uint64_t kMax32 = std::numeric_limits<uint32_t>::max();

// ceil(a × b / c) in 64 bits, capped at 2^32 − 1; c = 0 (no image) leaves `fallback`.
uint32_t CeilMulDiv(uint32_t a, uint32_t b, uint32_t c, uint32_t fallback) {
  if (c == 0) return fallback;
  return static_cast<uint32_t>(std::min((uint64_t{a} * b + c - 1) / c, kMax32));
}

}  // namespace

uint32_t SCL_PixelsFromPercent(uint32_t base, uint32_t percent) {
  // ceil(base × percent / 100) × 100 ≥ base × percent, so its percentage of the base is at least
  // `percent` already: the smallest such n needs no search.
  return CeilMulDiv(base, percent, 100, 0);
}

void SCL_TargetFromSettings(ScaleTargetState& s) {
  if (s.ScaleUnits == kScaleUnitsPercentage) {
    s.CustomWidth = SCL_PixelsFromPercent(s.OrigWidth, s.PercentWidth);
    s.CustomHeight = SCL_PixelsFromPercent(s.OrigHeight, s.PercentHeight);
  }
  if (!s.KeepAspect) return;
  const bool widthStays = s.CustomWidth == s.CustomHeight ? s.OrigWidth >= s.OrigHeight
                                                          : s.CustomWidth > s.CustomHeight;
  if (widthStays)
    s.CustomHeight = CeilMulDiv(s.CustomWidth, s.OrigHeight, s.OrigWidth, s.CustomHeight);
  else
    s.CustomWidth = CeilMulDiv(s.CustomHeight, s.OrigWidth, s.OrigHeight, s.CustomWidth);
}
