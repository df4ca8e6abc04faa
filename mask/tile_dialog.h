// The Tile command's dialog (template IDD_TILE_IMAGE).
#pragma once

#include <windows.h>

#include <cstdint>

// The counts one run of the dialog ends with; both start at 1.
struct TileDialogState {
  uint32_t across = 1;
  uint32_t down = 1;
};

extern "C" INT_PTR CALLBACK TIL_TileProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The dialog's commands: the id in the low word of wParam, the notification in the high word.
BOOL TIL_OnCommand(HWND dialog, WPARAM wParam, LPARAM lParam);
