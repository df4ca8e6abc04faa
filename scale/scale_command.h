// The state that the Scale... command, the Scale Image dialog and the host's two scale requests
// share, and the dialog they run (Windows only). The command procedures are declared in
// plugin/commands.h.
#pragma once

#include <windows.h>

#include "plugin/settings.h"
#include "scale/scale_units.h"

// One run of the Scale Image dialog, from the command that opens it: the sizes it edits, the
// remembered settings it edits in place (a cancelled dialog keeps the units, measure, aspect and
// typed resolutions), and its own guard.
struct ScaleState {
  // OrigWidth × OrigHeight: the image's size, or in settings mode the substitute base;
  // WorkWidth × WorkHeight: the size being edited, in pixels.
  ScaleSizes sizes;
  ScaleSettingsGroup& settings = ScaleSettings;
  // True only while the host's settings request runs the dialog without an image.
  bool SettingsMode = false;
  // The display's dots per inch, read each time the dialog opens.
  ScaleDpi ScreenRes;
  // Set while the dialog writes its own fields, whose change notifications must not count as
  // typing.
  bool updating = false;
};

// The stored target CustomWidth × CustomHeight is a pair of signed profile values, while every
// scale computation is unsigned: a stored −5 is 4,294,967,291 (which the scaling refuses), never a
// small size. These two are the only conversions.
inline uint32_t SCL_TargetSide(int32_t stored) { return static_cast<uint32_t>(stored); }
inline int32_t SCL_StoredSide(uint32_t side) { return static_cast<int32_t>(side); }

// Runs the Scale Image dialog owned by `owner` on `state`. Returns true after OK (CustomWidth/
// CustomHeight, ScaleQuality and the custom resolution committed), false after Cancel or when the
// dialog cannot be created.
bool SCL_RunDialog(HWND owner, ScaleState& state);

extern "C" {
// The Scale Image dialog's procedure (template IDD_SCALE); lParam of WM_INITDIALOG is the
// ScaleState.
INT_PTR CALLBACK ScaleProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
}
