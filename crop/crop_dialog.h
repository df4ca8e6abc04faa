// The Crop command, its dialog and the CropClass preview control (Windows only). The arithmetic
// they use is in crop/crop_marks.h.
#pragma once

#include <windows.h>

#include <cstdint>

#include "crop/crop_marks.h"
#include "dib/block.h"

// One run of the Crop command, shared by the command, the dialog (which gets it as its
// WM_INITDIALOG parameter) and the preview (which reaches it through the dialog).
struct CropSettings {
  HGLOBAL image = nullptr;  // the window's image, the host's; only read
  HPALETTE palette = nullptr;
  uint32_t imageWidth = 0, imageHeight = 0;
  CropMargins margins;  // set to 0 each time the dialog opens; read by the command after OK

  uint16_t displayMode = 0;  // IDC_CROP_FIT or IDC_CROP_REAL_SIZE
  OwnedBlock fitted;         // the image stretched over the preview's interior, while the dialog is
  bool updating = false;     // the update guard: command messages are ignored while set
  HCURSOR cursor = nullptr;  // what the preview shows
  uint16_t hitZone = kZoneNone;
  int32_t mouseX = 0, mouseY = 0;  // last mouse move or press over the preview, client pixels
  MarkPositions marks;             // where the marks were drawn last
};

// The preview as the marks see it now: sizes, display mode, scroll positions of visible bars.
PreviewGeometry CRP_Geometry(HWND preview, const CropSettings& crop);
// A client point of the preview in image pixels.
Point32 CRP_ClientToImage(HWND preview, const CropSettings& crop, Point32 client);
// Draws (or, drawn a second time, erases) the marks on the preview's own device context with the
// one-pixel frame clipped away, for changes made outside painting.
void CRP_ToggleMarks(HWND preview, CropSettings& crop);

extern "C" {
// The dialog procedure of template IDD_CROP (its WM_INITDIALOG parameter is the CropSettings) and
// the window procedure of CropClass.
INT_PTR CALLBACK CropProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK CRP_ClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
}
