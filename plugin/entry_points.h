// The entry points the host finds by name in IMAGE.DLL. All use the standard Windows calling
// convention; every argument is a 32-bit slot, and the ones marked 16-bit are read from their low
// 16 bits only. Values the plug-in does not read are pointer-sized so that the stack layout of the
// 32-bit build is that of the host's calls.
#pragma once

#include <windows.h>

extern "C" {

// 1 when the host's interface version (low 16 bits) is 0x0101; otherwise shows which byte is
// wrong in a plain message box and returns 0.
BOOL WINAPI ZQ_ImgLib_Version(UINT version, LPARAM unused1, LPARAM unused2);
// Builds the plug-in's popup menu with one reserved id per command, loads the wait cursor and the
// settings, and registers the window classes. Nonzero on success; on failure nothing done before
// is undone and the reason has been shown.
BOOL WINAPI ZQ_ImgLib_Init(LPARAM hostValue, HWND hostMainWindow);
// Tells the plug-in that `window` gains (activating, 16-bit, nonzero) or loses activation.
// Always 1.
BOOL WINAPI ZQ_ImgLib_ImageActivate(HWND window, UINT activating, LPARAM unused);
// Enables or greys every command in `menu` together, by whether the active window has an image.
// Always 1.
BOOL WINAPI ZQ_ImgLib_MenuInit(LPARAM unused1, HMENU menu, LPARAM unused2);
// Runs the command `id` (16-bit). 2 when it was the plug-in's and ran (a table command also
// stores 1 in *value), 0 otherwise. While a command runs, a call only pumps one queued message.
int WINAPI ZQ_ImgLib_MenuHandler(HWND window, UINT id, DWORD* value);
// Shows the status-line help of command `id` (16-bit) when `selector` (16-bit) is 0: stores 1 in
// *out and returns 2; returns 0 for anything that is not the plug-in's.
int WINAPI ZQ_ImgLib_HelpHandler(LPARAM unused, UINT id, UINT selector, DWORD* out);
// Always 1: the plug-in may be unloaded at any time.
BOOL WINAPI ZQ_ImgLib_QueryExit(void);
// Saves the frame, mask and tile settings. The last call the plug-in expects.
void WINAPI ZQ_ImgLib_Exit(void);
// The plug-in's icon (resource 600).
HICON WINAPI ZQ_ImgLib_Icon(void);
// Does nothing; kept for hosts that call it before unloading.
void WINAPI WEP(LPARAM unused);

}  // extern "C"
