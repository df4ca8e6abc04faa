// The command procedures of the CommandTable. Each takes the active image window, shows its own
// failure messages and leaves the window's image unchanged on failure.
#pragma once

#include <windows.h>

// Invert, Flip and Mirror: a writable copy of the window's image from ZQ_CopyHDib, changed in
// place and handed back with ZQ_SetHDib.
void InvertCommand(HWND window);
void FlipCommand(HWND window);
void MirrorCommand(HWND window);

// Crop...: the Crop dialog, then the margins it chose cut off with CRP_CropDIB.
void CRP_CropCommand(HWND window);

// Rotate...: the Rotate dialog, then the window's image turned by the chosen amount.
void ROT_RotateCommand(HWND window);
