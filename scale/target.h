// The rule that turns stored scale settings into a target size for a particular image. Shared by
// the host-driven scaling, the settings dialog (its percentage base) and imagetool scale.
#pragma once

#include <cstdint>

// ScaleUnits value of Percentage; every other unit already stores its target in pixels.
inline constexpr uint16_t kScaleUnitsPercentage = 1;

// The settings the rule reads, named after the scale state, and the target it writes back into
// CustomWidth/CustomHeight.
struct ScaleTargetState {
  uint32_t OrigWidth = 0;  // the image's size
  uint32_t OrigHeight = 0;
  uint32_t CustomWidth = 0;  // in: the stored pixel target; out: the target
  uint32_t CustomHeight = 0;
  uint16_t ScaleUnits = 0;
  uint16_t PercentWidth = 100;
  uint16_t PercentHeight = 100;
  bool KeepAspect = false;
};

// The smallest n whose percentage of `base`, n × 100 div base, is at least `percent`: that is
// ceil(base × percent / 100). 0 when base or percent is 0. Computed in 64 bits (the same result
// as 32-bit arithmetic wherever that does not overflow) and capped at 2^32 − 1, so that an absurd
// setting gives a size the scaling refuses instead of a wrapped-around one.
uint32_t SCL_PixelsFromPercent(uint32_t base, uint32_t percent);

// Sets state.CustomWidth/CustomHeight to the target for an image of OrigWidth × OrigHeight:
// 1. Percentage units: each side is SCL_PixelsFromPercent(Orig, Percent); other units keep the
//    stored pixels.
// 2. KeepAspect: the larger target side stays and the other follows the image's aspect ratio,
//    rounded up (ceil(a × b / c)); with equal sides the image's longer side decides which stays.
//    A side of 0 is thus derived from the other, which is how imagetool asks for one side only.
// The target may contain 0 (a stored 0 or a percentage of 0); the scaling refuses it. Nothing is
// stored: the caller keeps the settings it read.
void SCL_TargetFromSettings(ScaleTargetState& state);
