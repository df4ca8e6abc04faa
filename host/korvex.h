// The stand-in host's own calls into KORVEX.DLL, beyond the host contract of plugin/host_api.h:
// what host.exe uses to put images into windows, and test-only hooks that record the contract
// calls and inject failures. The plug-in never calls any of these.
#pragma once

#include <windows.h>

extern "C" {

// --- Host side ---

// The frame window whose menu bar receives the plug-in's popup menu (appended as "&Image"), and
// the window whose text is the status line (either may be null).
void KX_SetFrame(HWND frame, HWND statusLine);
// The window takes `dib` (a movable PackedDib) as its image and owns it; a palette is made for
// it. Any previous image of the window is freed.
void KX_AttachImage(HWND window, HGLOBAL dib);
// Frees the window's image and palette and forgets the window.
void KX_DetachWindow(HWND window);
// Sets or clears a host flag of the window (ZQ_GetFlag reads them).
void KX_SetFlag(HWND window, int flag, BOOL on);
// Whether the flag is set, as ZQ_GetFlag answers, without recording a call (the viewer's menus).
BOOL KX_GetFlag(HWND window, int flag);
// The settings store that ZQ_GetProfileFile names: an INI file path of at most 63 characters
// (a bare name means the Windows folder). Default "HOST.INI".
void KX_SetProfilePath(const char* path);
// Command ids handed out by ZQ_ReserveMenuId from now on: first, first + step, ...
void KX_SetMenuIds(UINT first, UINT step);
// Paints the window's image into `dc` at its origin, without recording a call.
void KX_PaintWindow(HWND window, HDC dc);
// The size of the window's image in pixels, without recording a call; {0, 0} when it has none.
SIZE KX_ImageSize(HWND window);
// The last value given to ZQ_SetInfo for the window and item, or -1.
int KX_GetInfo(HWND window, int item);

// --- Test hooks ---

// Every contract call is appended to a log as one line ("ZQ_CopyHDib", "ZQ_ProgressStep 16",
// "ProfileReadWord ScaleUnits", ...). Clears the log.
void KX_ClearLog(void);
// Copies the log, one call per line, into `buffer` and returns the length it needs.
int KX_GetLog(char* buffer, int size);
// Appends a line to the log (TALMOR records its calls through this).
void KX_Log(const char* line);

// Failure points of the contract calls.
enum {
  KX_FAIL_COPY = 1,     // ZQ_CopyHDib returns 0
  KX_FAIL_MENU = 2,     // ZQ_ReserveMenu returns 0
  KX_FAIL_MENU_ID = 3,  // ZQ_ReserveMenuId returns 0
  KX_FAIL_RESIZE = 4,   // TALMOR's DibResize returns 0
  KX_FAIL_PALETTE = 5,  // ZQ_GetHPalette returns 0
};
// The n-th call (1 = the next) of the failure point fails; 0 plans no failure.
void KX_FailCall(int point, int n);
// Counts a call of the failure point: TRUE when it is the one planned to fail (TALMOR asks this).
BOOL KX_TakeFailure(int point);
// The block most recently handed out by ZQ_CopyHDib.
HGLOBAL KX_LastCopy(void);
// The block most recently handed out by DibResize (TALMOR notes each one).
void KX_NoteResize(HGLOBAL block);
HGLOBAL KX_LastResize(void);
// Whether the progress window is open now.
BOOL KX_ProgressVisible(void);
// The owner given to the last ZQ_ProgressOpen since KX_ClearLog, or null.
HWND KX_ProgressOwner(void);

}  // extern "C"
