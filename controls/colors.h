// The colour controls used by the Rotate, Frame/Caption and Mask dialogs: the colour chooser
// (a grid of an image's colour table, the system colour dialog, or a black/white toggle) and the
// StatColorCtrl swatch that shows the chosen colour.
#pragma once

#include <windows.h>

extern "C" {

// Lets the user pick a colour suited to `dib` (a PackedDib, or null for none), whose window paints
// with `palette` (or null). On entry *index, *red, *green, *blue hold the current choice.
//  - 1 bit: toggles between entry 1 when *index is 0 and entry 0 otherwise, with the entry's colour
//    from the table (black for 0 and white for 1 when the table lacks it).
//  - 4 and 8 bits: the ColorChooser dialog (owned by `owner`) shows the colour table as a grid.
//  - 24 and 32 bits, or no image: the system colour dialog, preset to the current colour, with
//    the module's custom colours; the index becomes 0.
// Returns nonzero when a colour was chosen; then the four values have been written. Returns 0
// without writing anything on Cancel, for any other depth and for an image the engines refuse. All
// four pointers are required.
BOOL WINAPI COL_ChooseColor(HWND owner, HGLOBAL dib, HPALETTE palette, LONG* index, BYTE* red,
                            BYTE* green, BYTE* blue);
// Dialog procedure of the ColorChooser template (8300).
INT_PTR CALLBACK COL_ChooseColorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Window procedure of the ColorCtrl grid.
LRESULT CALLBACK COL_ColorCtrlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Window procedure of the StatColorCtrl swatch.
LRESULT CALLBACK STA_StatColorCtrlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // extern "C"

// Shows red, green, blue in the StatColorCtrl `control` and repaints it. Bytes, so that no wider
// value can spill into the next channel.
void SetSwatchColor(HWND control, BYTE red, BYTE green, BYTE blue);
