// The Scale Image dialog's arithmetic: sizes shown and entered in pixels, percent, inches or
// centimetres at a resolution, the aspect a typed side drags along, and the substitute base of
// the settings dialog. The dialog and imagetool both call these, so a size entered in either
// comes out the same. No <windows.h>.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "scale/target.h"

// ScaleUnits values, the item index in the dialog's units list (Percentage is
// kScaleUnitsPercentage).
inline constexpr uint16_t kScaleUnitsPixels = 0;
inline constexpr uint16_t kScaleUnitsInches = 2;
inline constexpr uint16_t kScaleUnitsCentimeters = 3;
inline constexpr uint16_t kScaleUnitsCount = 4;

// ScaleMeasure values, the item index in the measure lists.
inline constexpr uint16_t kScaleMeasureScreen = 0;
inline constexpr uint16_t kScaleMeasurePrinter = 1;
inline constexpr uint16_t kScaleMeasureCustom = 2;
inline constexpr uint16_t kScaleMeasureCount = 3;

// The printer measure's fixed dots per inch, and the largest resolution a conversion uses.
inline constexpr uint32_t kPrinterDpi = 300;
inline constexpr uint32_t kMaxDpi = 65535;
// The largest percentage: the stored PercentWidth/PercentHeight are 16-bit.
inline constexpr uint32_t kMaxPercent = 65535;

// The sizes the dialog works on, in pixels: the image's (or in settings mode a substitute base)
// and the one being edited.
struct ScaleSizes {
  uint32_t OrigWidth = 0;
  uint32_t OrigHeight = 0;
  uint32_t WorkWidth = 0;
  uint32_t WorkHeight = 0;
};

// Dots per inch across and down.
struct ScaleDpi {
  uint32_t x = 96;
  uint32_t y = 96;
};

// The dots per inch a resolution counts as in a conversion: 0 as 1 (nothing divides by zero
// while a field is being emptied), above kMaxDpi as kMaxDpi.
uint32_t SCL_ConversionDpi(uint32_t dpi);

// The decimal number at the start of `text` after any spaces: digits with an optional fraction
// ("2.5", "2.", ".5"). A sign, or text without a digit there ("nan", "inf"), reads 0; an exponent
// is not part of the number. The same digits give the same double on every runtime and locale.
// `used` (when given) receives how many characters the number took, 0 when it read none.
double SCL_ReadDecimal(std::string_view text, size_t* used = nullptr);

// A length in inches or centimetres (by `units`) as whole pixels at `dpi`: length × dpi, or
// length × dpi / 2.54, truncated toward zero and capped at 2^32 − 1. A negative or non-finite
// length is 0 pixels.
uint32_t SCL_PixelsFromLength(double length, uint16_t units, uint32_t dpi);

// `pixels` as the dialog shows them in inches or centimetres at `dpi`, with three decimals
// ("6.667"); any other unit shows the whole pixels.
std::string SCL_LengthText(uint32_t pixels, uint16_t units, uint32_t dpi);

// work × 100 div orig, capped at kMaxPercent; 0 when orig is 0.
uint32_t SCL_PercentOf(uint32_t work, uint32_t orig);

// The side typed into a size field: its text read in `units` (whole pixels, a whole percentage of
// `orig` at most kMaxPercent, or a decimal length at `dpi`), as pixels.
uint32_t SCL_SideFromText(std::string_view text, uint16_t units, uint32_t orig, uint32_t dpi);

// What the two size fields show for `sizes` in `units`. A percentage is shown and kept (the
// dialog stores it in PercentWidth/PercentHeight) as the same value.
struct ScaleFieldTexts {
  std::string width, height;
  uint16_t percentWidth = 0, percentHeight = 0;  // for Percentage only
};
// In settings mode a percentage refresh first raises a base side below 1,000 by multiplying base
// and working size by 100 (a side of 0 then becomes 1,000), so that small substitute bases still
// give whole percentages; that changes `sizes`.
ScaleFieldTexts SCL_FieldTexts(ScaleSizes& sizes, uint16_t units, ScaleDpi dpi, bool settingsMode);

// After a side was typed with Maintain Aspect, the other side follows on the base's ratio,
// rounded up. Skipped when the typed side's base is 0 (settings mode with an emptied field).
void SCL_FollowAspect(ScaleSizes& sizes, bool widthTyped);

// Maintain Aspect was toggled: in settings mode (units other than Percentage) the entered size
// becomes the base; on an image the size returns to the image's.
void SCL_AspectToggled(ScaleSizes& sizes, bool settingsMode, uint16_t units);

// The sizes the settings dialog opens on, from the stored target and percentages: a stored side
// of 0 counts as 1; in Percentage the base is at least 10,000 a side and the working size that
// base's stored percentage (at least 1); otherwise the stored size is both base and working size.
ScaleSizes SCL_SettingsSizes(uint32_t customWidth, uint32_t customHeight, uint16_t units,
                             uint16_t percentWidth, uint16_t percentHeight);
