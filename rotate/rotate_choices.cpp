#include "rotate/rotate_choices.h"

namespace {

constexpr int32_t kAmountLimit = 360;

}  // namespace

RotateFill ROT_FillOf(const RotateSettings& settings) {
  return {settings.fillRed, settings.fillGreen, settings.fillBlue, settings.fillIndex};
}

RotatePreset ROT_PresetFor(int32_t amount) {
  switch (amount) {
    case 90:
      return RotatePreset::k90;
    case 180:
      return RotatePreset::k180;
    case 270:
      return RotatePreset::k270;
    default:
      return RotatePreset::kCustom;
  }
}

int32_t ROT_PresetAmount(RotatePreset preset) {
  switch (preset) {
    case RotatePreset::k90:
      return 90;
    case RotatePreset::k180:
      return 180;
    case RotatePreset::k270:
      return 270;
    case RotatePreset::kCustom:
      break;
  }
  return 0;
}

AmountOutcome ROT_AmountChanged(int64_t amount) {
  if (amount < -kAmountLimit) return {true, -kAmountLimit, RotatePreset::kCustom};
  if (amount > kAmountLimit) return {true, kAmountLimit, RotatePreset::kCustom};
  return {false, 0, ROT_PresetFor(static_cast<int32_t>(amount))};
}

int32_t ROT_ConfirmedAngle(int64_t amount) { return static_cast<int32_t>(amount % 360); }
