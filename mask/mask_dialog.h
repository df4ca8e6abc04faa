// The Mask command's dialog (template IDD_MASK_IMAGE) and the state the two share.
#pragma once

#include <windows.h>

#include <cstdint>

#include "plugin/dialog.h"
#include "plugin/gdi.h"

// One run of the Mask command: the window's image and palette, and the shape chosen last, as a
// metafile and the temporary file it was read from (empty when none is remembered). Both are
// released with the state.
struct MaskCommandState {
  MaskCommandState() = default;
  ~MaskCommandState();
  MaskCommandState(const MaskCommandState&) = delete;
  MaskCommandState& operator=(const MaskCommandState&) = delete;

  const ImageFacts* image = nullptr;  // as the command read it
  HPALETTE palette = nullptr;
  OwnedMetafile metafile;
  char tempPath[MAX_PATH] = "";
};

extern "C" INT_PTR CALLBACK MAS_MaskProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The dialog's commands: the id in the low word of wParam, the notification in the high word.
BOOL MAS_OnCommand(HWND dialog, WPARAM wParam, LPARAM lParam);

// Releases the current shape, loads shape `resourceId` from the module's "MASK" resources through
// a new temporary file and repaints the preview. A step that fails leaves no shape loaded, shows
// nothing and leaks nothing; the temporary file, if one was made, stays remembered for removal.
void MAS_LoadShape(HWND dialog, UINT resourceId);
