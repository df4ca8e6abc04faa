// The scale state that the Scale... command, the Scale Image dialog and the host's two scale
// requests share besides the stored settings of plugin/settings.h, and the dialog they run
// (Windows only). The command procedures are declared in plugin/commands.h.
#pragma once

#include <windows.h>

#include "scale/scale_units.h"

struct ScaleState {
  // OrigWidth × OrigHeight: the image's size, or in settings mode the substitute base;
  // WorkWidth × WorkHeight: the size being edited, in pixels.
  ScaleSizes sizes;
  // True only while the host's settings request runs the dialog without an image.
  bool SettingsMode = false;
  // The display's dots per inch, read each time the dialog opens.
  ScaleDpi ScreenRes;
};
extern ScaleState Scale;

// The stored target CustomWidth × CustomHeight is a pair of signed profile values, while every
// scale computation is unsigned: a stored −5 is 4,294,967,291 (which the scaling refuses), never a
// small size. These two are the only conversions.
inline uint32_t SCL_TargetSide(int32_t stored) { return static_cast<uint32_t>(stored); }
inline int32_t SCL_StoredSide(uint32_t side) { return static_cast<int32_t>(side); }

// Runs the Scale Image dialog owned by `owner` on Scale and the stored settings. Returns 1 after
// OK (CustomWidth/CustomHeight, ScaleQuality and the custom resolution committed), 0 after Cancel
// or when the dialog cannot be created.
int SCL_RunDialog(HWND owner);

extern "C" {
// The Scale Image dialog's procedure (template IDD_SCALE).
INT_PTR CALLBACK ScaleProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
}
