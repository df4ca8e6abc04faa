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

// Scale...: the Scale Image dialog on the image's size, then the image scaled to the size chosen.
void SCL_ScaleCommand(HWND window);
// The host's request 4121: the Scale Image dialog on the stored settings, without an image, owned
// by the owner of `hostWindow`; the settings are saved after OK. Returns 1 after OK, else 0.
int SCL_SettingsDialog(HWND hostWindow);
// The host's request 4122: `window`'s image scaled by the stored settings, without a dialog and
// without a message when the window has no image. The host window is not used.
void SCL_ScaleWindow(HWND hostWindow, HWND window);
// Frame/Caption...: the Frame/Caption dialog, then the image with margins and a caption.
void FRM_FrameCommand(HWND window);
// Tile: the Tile Image dialog, then a new image of copies across and down.
void TIL_TileCommand(HWND window);
// Mask: the Mask Image dialog, then a new image masked with the chosen shape.
void MAS_MaskCommand(HWND window);
