// The host contract: the functions of the host's image library KORVEX and utility library TALMOR
// that the plug-in calls. All use the standard Windows calling convention; the plug-in imports
// them by name. The stand-in host (host/) implements exactly these declarations.
#pragma once

#include <windows.h>

#include <cstdint>

// The class of the host's image windows: the only windows the commands act on.
inline constexpr char kImageWindowClass[] = "GenericWClass";

// The host window flags the plug-in asks ZQ_GetFlag about. What they mean to the host is its own
// affair; the plug-in only needs to know what each means for it.
enum HostFlag : int {
  kFlagColorImage = 4,         // the image may hold colours; without it scaling keeps greys grey
  kFlagIneligible64 = 64,      // the window takes no commands
  kFlagIneligible512 = 512,    // the window takes no commands
  kFlagIneligible1024 = 1024,  // the window takes no commands
};

extern "C" {

// --- KORVEX: images, windows, menus, progress meter, status line, settings store location ---

// The window's packed bitmap (a movable global block), or 0 when it holds none. The block stays
// the host's: valid while a command runs, never written or freed by the plug-in.
HGLOBAL WINAPI ZQ_GetHDib(HWND window);
// A new exact copy of the window's packed bitmap that the caller owns; 0 when memory is short.
HGLOBAL WINAPI ZQ_CopyHDib(HWND window);
// The window shows `dib` and owns it from then on.
BOOL WINAPI ZQ_SetHDib(HWND window, HGLOBAL dib);
// Nonzero when the host's flag `flag` is set for the window.
BOOL WINAPI ZQ_GetFlag(HWND window, int flag);
// Records an item of information about the window's image (the plug-in sends item 24, the depth).
void WINAPI ZQ_SetInfo(HWND window, int item, int value);
// The ZQ_SetInfo item that records the image's bits per pixel.
constexpr int kInfoBitCount = 24;
// The popup menu for the plug-in's items; 0 on failure.
HMENU WINAPI ZQ_ReserveMenu(int count);
// A fresh command id; 0 on failure. Successive ids ascend.
UINT WINAPI ZQ_ReserveMenuId(void);
// The palette to select when painting the window's image, or 0.
HPALETTE WINAPI ZQ_GetHPalette(HWND window);
// The window that owns modal dialogs and progress meters about `window`.
HWND WINAPI ZQ_GetOwnerWnd(HWND window);
// The progress meter: open (owner, caption), range, any number of steps, close.
void WINAPI ZQ_ProgressOpen(HWND owner, LPCSTR caption);
void WINAPI ZQ_ProgressRange(int minimum, int maximum);
void WINAPI ZQ_ProgressStep(int position);
void WINAPI ZQ_ProgressClose(void);
// Shows `text` on the host's status line.
void WINAPI ZQ_StatusText(LPCSTR text);
// Paints the packed bitmap at the context's origin with `palette` selected (0 for none).
BOOL WINAPI ZQ_PaintDib(HDC dc, HGLOBAL dib, HPALETTE palette);
// Fills two 64-byte buffers that identify the settings store, for ProfileOpen.
void WINAPI ZQ_GetProfileFile(int reserved, LPSTR storeA, LPSTR storeB);

// --- TALMOR: bitmap utilities, files, the settings store ---

// Colour-table size in bytes of a locked BITMAPINFOHEADER (a 16-bit value).
WORD WINAPI PaletteSize(const void* header);
// A new packed bitmap of `width` x `height` (fast resize); 0 on failure. The source is untouched.
HGLOBAL WINAPI DibResize(HGLOBAL dib, int width, int height);
// Deletes the file.
BOOL WINAPI FileDelete(LPCSTR path);
// Opens `section` of the store named by the two buffers of ZQ_GetProfileFile.
HANDLE WINAPI ProfileOpen(LPCSTR storeA, LPCSTR storeB, LPCSTR section);
// Stores what was written and releases the handle.
void WINAPI ProfileClose(HANDLE profile);
// Reads store the key's value through the pointer, and leave it unchanged when the key is absent.
BOOL WINAPI ProfileReadWord(HANDLE profile, LPCSTR key, WORD* value);
BOOL WINAPI ProfileReadLong(HANDLE profile, LPCSTR key, LONG* value);
BOOL WINAPI ProfileReadBool(HANDLE profile, LPCSTR key, LONG* value);
BOOL WINAPI ProfileReadDword(HANDLE profile, LPCSTR key, DWORD* value);
// Writes store the value under the key. A WORD travels in a 32-bit slot.
BOOL WINAPI ProfileWriteWord(HANDLE profile, LPCSTR key, WORD value);
BOOL WINAPI ProfileWriteLong(HANDLE profile, LPCSTR key, LONG value);
BOOL WINAPI ProfileWriteDword(HANDLE profile, LPCSTR key, DWORD value);

}  // extern "C"
