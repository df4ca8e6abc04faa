// The plug-in's remembered settings: four groups of module-wide variables, loaded from the host's
// settings store at start-up and saved by the paths that own them. Each variable starts at its
// default when the module is loaded; a key missing from the store leaves the variable as it is.
#pragma once

#include <cstdint>

// The section of the host's store that holds every key.
inline constexpr char kSettingsSection[] = "Image";

// --- Scale group (the Scale dialog and the host-driven scaling); each key is its field's name ---
struct ScaleSettingsGroup {
  int32_t KeepAspect = 1;     // 0 or 1
  uint16_t ScaleMeasure = 0;  // 0 Screen, 1 Printer, 2 Custom
  uint16_t ScaleUnits = 1;    // 0 Pixels, 1 Percentage, 2 Inches, 3 Centimeters
  uint16_t ScaleQuality = 0;  // 0 low (host resize), 1 high
  uint32_t CustomResX = 96;   // dots per inch
  uint32_t CustomResY = 96;
  int32_t CustomWidth = 10000;  // the target, in pixels
  int32_t CustomHeight = 10000;
  uint16_t PercentWidth = 100;
  uint16_t PercentHeight = 100;
};
extern ScaleSettingsGroup ScaleSettings;

// --- Frame group: the saved fields of the frame parameters ---
struct FrameSettingsGroup {
  uint16_t style = 0;        // "Style": 0 Filled, 1 Outline
  uint16_t colorChoice = 0;  // "ChooseColor": 0 fill, 1 outline, 2 text
  uint16_t alignment = 9;    // "Alignment": caption alignment bits, 9 = top left
};
extern FrameSettingsGroup FrameSettings;

// --- Mask group ---
struct MaskSettingsGroup {
  uint16_t selected = 0;   // "Selected": position of the shape in the dialog's sorted list
  int32_t invert = 0;      // "Invert"
  int32_t alphaMask = 1;   // "AlphaMask"
  int32_t alphaColor = 1;  // "AlphaColor"
};
extern MaskSettingsGroup MaskSettings;

// --- Tile group ---
extern int32_t TileMirror;  // "Mirror"; default 0

// Load or save one group in `section` of the host's store. Loading reads every key of the group
// in a fixed order, each into its variable; saving writes them in the same order. The scale save
// leaves "CustomWidth" and "CustomHeight" alone while ScaleUnits is 1 (Percentage). Store
// failures are silent.
void LoadScaleSettings(const char* section);
void SaveScaleSettings(const char* section);
void LoadFrameSettings(const char* section);
void SaveFrameSettings(const char* section);
void LoadMaskSettings(const char* section);
void SaveMaskSettings(const char* section);
void LoadTileSettings(const char* section);
void SaveTileSettings(const char* section);
