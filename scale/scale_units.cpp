#include "scale/scale_units.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "dib/field_number.h"

namespace {

constexpr uint64_t kMax32 = std::numeric_limits<uint32_t>::max();
constexpr double kCentimetresPerInch = 2.54;

uint32_t Cap32(uint64_t value) { return static_cast<uint32_t>(std::min(value, kMax32)); }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The leading whole number; a sign or no digit reads 0, and it saturates at 2^32 − 1.
uint32_t ReadCount(std::string_view text) {
  return static_cast<uint32_t>(ReadFieldNumber(text, false).value);
}

// Pixels from a non-negative product; a product of 2^32 or more, or not a number, is capped.
uint32_t TruncatePixels(double value) {
  if (!(value >= 0)) return 0;
  if (!(value < 4294967296.0)) return static_cast<uint32_t>(kMax32);
  return static_cast<uint32_t>(value);
}

}  // namespace

uint32_t SCL_ConversionDpi(uint32_t dpi) { return std::clamp<uint32_t>(dpi, 1, kMaxDpi); }

double SCL_ReadDecimal(std::string_view text, size_t* used) {
  // Up to 19 significant digits are gathered into one integer and divided once by a power of ten,
  // so any number of up to 15 digits is read to the nearest double, as a library reader would.
  constexpr int kKeptDigits = 19;
  size_t i = text.find_first_not_of(' ');
  if (i == std::string_view::npos) i = text.size();
  uint64_t mantissa = 0;
  int kept = 0, fraction = 0, dropped = 0;
  bool digits = false, point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    if (!IsDigit(c)) break;
    digits = true;
    if (kept == 0 && c == '0') {
      if (point) ++fraction;  // leading zeros count only as places
      continue;
    }
    if (kept < kKeptDigits) {
      mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
      ++kept;
      if (point) ++fraction;
    } else if (!point) {
      ++dropped;  // whole digits beyond the kept ones still scale the value
    }
  }
  if (used) *used = digits ? i : 0;
  if (!digits) return 0;
  double value = static_cast<double>(mantissa);
  for (; dropped > 0; --dropped) value *= 10;
  double scale = 1;
  for (; fraction > 0; --fraction) scale *= 10;
  return value / scale;
}

uint32_t SCL_PixelsFromLength(double length, uint16_t units, uint32_t dpi) {
  const double product = length * SCL_ConversionDpi(dpi);
  return TruncatePixels(units == kScaleUnitsCentimeters ? product / kCentimetresPerInch : product);
}

std::string SCL_LengthText(uint32_t pixels, uint16_t units, uint32_t dpi) {
  const double value = pixels, perInch = SCL_ConversionDpi(dpi);
  char text[64];
  if (units == kScaleUnitsInches)
    std::snprintf(text, sizeof text, "%4.03f", value / perInch);
  else if (units == kScaleUnitsCentimeters)
    std::snprintf(text, sizeof text, "%4.03f", value * kCentimetresPerInch / perInch);
  else
    std::snprintf(text, sizeof text, "%u", pixels);
  return text;
}

uint32_t SCL_PercentOf(uint32_t work, uint32_t orig) {
  if (orig == 0) return 0;
  return std::min<uint32_t>(Cap32(uint64_t{work} * 100 / orig), kMaxPercent);
}

uint32_t SCL_SideFromText(std::string_view text, uint16_t units, uint32_t orig, uint32_t dpi) {
  switch (units) {
    case kScaleUnitsPixels:
      return ReadCount(text);
    case kScaleUnitsPercentage:
      return SCL_PixelsFromPercent(orig, std::min(ReadCount(text), kMaxPercent));
    default:
      return SCL_PixelsFromLength(SCL_ReadDecimal(text), units, dpi);
  }
}

ScaleFieldTexts SCL_FieldTexts(ScaleSizes& s, uint16_t units, ScaleDpi dpi, bool settingsMode) {
  ScaleFieldTexts texts;
  if (units != kScaleUnitsPercentage) {
    texts.width = SCL_LengthText(s.WorkWidth, units, dpi.x);
    texts.height = SCL_LengthText(s.WorkHeight, units, dpi.y);
    return texts;
  }
  if (settingsMode && (s.OrigWidth < 1000 || s.OrigHeight < 1000)) {
    for (uint32_t* side : {&s.OrigWidth, &s.OrigHeight, &s.WorkWidth, &s.WorkHeight})
      *side = Cap32(uint64_t{*side} * 100);
    for (uint32_t* side : {&s.OrigWidth, &s.OrigHeight})
      if (*side == 0) *side = 1000;
  }
  texts.percentWidth = static_cast<uint16_t>(SCL_PercentOf(s.WorkWidth, s.OrigWidth));
  texts.percentHeight = static_cast<uint16_t>(SCL_PercentOf(s.WorkHeight, s.OrigHeight));
  texts.width = std::to_string(texts.percentWidth);
  texts.height = std::to_string(texts.percentHeight);
  return texts;
}

void SCL_FollowAspect(ScaleSizes& s, bool widthTyped) {
  // ceil(typed × other base / typed base), in 64 bits and capped.
  auto follow = [](uint32_t typed, uint32_t typedBase, uint32_t otherBase) {
    return Cap32((uint64_t{typed} * otherBase + typedBase - 1) / typedBase);
  };
  if (widthTyped) {
    if (s.OrigWidth != 0) s.WorkHeight = follow(s.WorkWidth, s.OrigWidth, s.OrigHeight);
  } else if (s.OrigHeight != 0) {
    s.WorkWidth = follow(s.WorkHeight, s.OrigHeight, s.OrigWidth);
  }
}

void SCL_AspectToggled(ScaleSizes& s, bool settingsMode, uint16_t units) {
  if (!settingsMode) {
    s.WorkWidth = s.OrigWidth;
    s.WorkHeight = s.OrigHeight;
  } else if (units != kScaleUnitsPercentage) {
    s.OrigWidth = s.WorkWidth;
    s.OrigHeight = s.WorkHeight;
  }
}

ScaleSizes SCL_SettingsSizes(uint32_t customWidth, uint32_t customHeight, uint16_t units,
                             uint16_t percentWidth, uint16_t percentHeight) {
  ScaleSizes s;
  s.OrigWidth = std::max<uint32_t>(customWidth, 1);
  s.OrigHeight = std::max<uint32_t>(customHeight, 1);
  if (units == kScaleUnitsPercentage) {
    s.OrigWidth = std::max<uint32_t>(s.OrigWidth, 10000);
    s.OrigHeight = std::max<uint32_t>(s.OrigHeight, 10000);
    s.WorkWidth = std::max<uint32_t>(SCL_PixelsFromPercent(s.OrigWidth, percentWidth), 1);
    s.WorkHeight = std::max<uint32_t>(SCL_PixelsFromPercent(s.OrigHeight, percentHeight), 1);
  } else {
    s.WorkWidth = s.OrigWidth;
    s.WorkHeight = s.OrigHeight;
  }
  return s;
}
