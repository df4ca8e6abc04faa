// The Rotate command's remembered choices and the dialog's rules as plain arithmetic: which preset
// an amount matches, what a typed amount does and the angle that OK confirms. The dialog procedure
// (rotate_dialog.cpp) only moves these values between its controls and the settings.
#pragma once

#include <cstdint>

#include "dib/host_port.h"
#include "rotate/rotate.h"

// The Rotate command's choices, one instance for the plug-in, kept while it is loaded and never
// stored. The dialog edits them in place, so a cancelled dialog keeps its quality and fill changes.
struct RotateSettings {
  int32_t angle = 180;    // last confirmed amount in degrees, reduced modulo 360, sign kept
  uint16_t quality = 0;   // kQualityLow or kQualityHigh, the Quality list position
  uint8_t fillRed = 192;  // fill colour of 24- and 32-bit images (and shown by the swatch)
  uint8_t fillGreen = 192;
  uint8_t fillBlue = 192;
  int32_t fillIndex = 0;      // colour-table index used as fill for palette images
  HostBlock image = nullptr;  // the running command's image (not owned)
  void* palette = nullptr;    // the window's palette, for the colour chooser (not owned)
};

// The fill the engine takes from the settings.
RotateFill ROT_FillOf(const RotateSettings& settings);

// The dialog's radio buttons in their order on the screen.
enum class RotatePreset : uint8_t { kCustom, k90, k180, k270 };

// The preset that a whole amount of degrees matches: 90, 180 and 270 their own; every other amount,
// negative ones included, Custom.
RotatePreset ROT_PresetFor(int32_t amount);

// The amount a preset writes into the Amount field; Custom writes nothing and gives 0.
int32_t ROT_PresetAmount(RotatePreset preset);

// What the dialog does when the Amount field's text has changed to the value `amount` (the
// number the field reader saw, or 0 for text without digits):
//  - outside -360..360: tell the user the range and write `limit` (-360 or 360) into the field;
//  - inside: check `preset`; a preset other than Custom also chooses High quality.
struct AmountOutcome {
  bool outOfRange;
  int32_t limit;
  RotatePreset preset;
};
AmountOutcome ROT_AmountChanged(int64_t amount);

// The angle OK stores for a typed amount: its remainder by 360 with the amount's sign (360 and
// -360 give 0, -450 gives -90).
int32_t ROT_ConfirmedAngle(int64_t amount);
