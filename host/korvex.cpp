// KORVEX.DLL, the stand-in host's image library: images held per window, host flags, palettes,
// menu reservation, a progress window whose steps keep the message queue moving, the status line
// and the location of the settings store; plus the recording and failure hooks of the tests.
#include "host/korvex.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "plugin/gdi.h"
#include "plugin/host_api.h"

namespace {

struct ImageWindowState {
  HGLOBAL dib = nullptr;
  OwnedPalette palette;
  std::set<int> flags;
  std::map<int, int> info;
};

std::map<HWND, ImageWindowState> Windows;
HWND Frame = nullptr;
HWND StatusLine = nullptr;
std::string ProfilePath = "HOST.INI";
UINT NextMenuId = 5000;
UINT MenuIdStep = 1;
std::vector<std::string> Log;
std::map<int, int> PlannedFailures;  // failure point -> calls left before the failing one
HGLOBAL LastCopy = nullptr;
HGLOBAL LastResize = nullptr;
HWND LastProgressOwner = nullptr;

struct Progress {
  HWND window = nullptr;
  HWND disabled = nullptr;  // the owner's top-level window, kept from input while the meter is up
  int minimum = 0;
  int maximum = 100;
  int position = 0;
} Meter;

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&ThisModule), &module);
  return module;
}

// Colour-table bytes by the same rule as TALMOR's PaletteSize (KORVEX does not import TALMOR).
UINT TableBytes(const BITMAPINFOHEADER& h) {
  if (h.biBitCount > 8) return 0;
  return (h.biClrUsed ? h.biClrUsed : 1u << h.biBitCount) * 4;
}

void Record(const std::string& line) { Log.push_back(line); }

bool ShouldFail(int point) {
  auto it = PlannedFailures.find(point);
  if (it == PlannedFailures.end()) return false;
  if (--it->second > 0) return false;
  PlannedFailures.erase(it);
  return true;
}

// A palette for every image: the colour table of a palette image, a halftone palette otherwise.
HPALETTE MakePalette(HGLOBAL dib) {
  const auto* header = static_cast<const BITMAPINFOHEADER*>(GlobalLock(dib));
  if (!header) return nullptr;
  HPALETTE palette = nullptr;
  const UINT tableBytes = TableBytes(*header);
  if (header->biBitCount <= 8 && tableBytes > 0) {
    const UINT count = tableBytes / 4;
    std::vector<BYTE> storage(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
    auto* logical = reinterpret_cast<LOGPALETTE*>(storage.data());
    logical->palVersion = 0x300;
    logical->palNumEntries = static_cast<WORD>(count);
    const auto* table =
        reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(header) + header->biSize);
    for (UINT i = 0; i < count; ++i)
      logical->palPalEntry[i] =
          PALETTEENTRY{table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
    palette = CreatePalette(logical);
  } else {
    palette = CreateHalftonePalette(ScreenDC());
  }
  GlobalUnlock(dib);
  return palette;
}

void ReplaceImage(HWND window, HGLOBAL dib) {
  ImageWindowState& state = Windows[window];
  if (state.dib && state.dib != dib) GlobalFree(state.dib);
  state.dib = dib;
  state.palette.reset(dib ? MakePalette(dib) : nullptr);
  if (IsWindow(window)) InvalidateRect(window, nullptr, TRUE);
}

// --- The progress window: caption, a bar, and the percentage. ---

constexpr char kProgressClass[] = "KorvexProgress";

// The meter's bar inside `client`, and for `position` its filled width and percentage.
RECT MeterBar(const RECT& client) { return {10, 10, client.right - 10, 34}; }
std::pair<int, int> MeterShows(const RECT& client, int position) {
  const RECT bar = MeterBar(client);
  const int span = Meter.maximum - Meter.minimum;
  if (span <= 0) return {0, 0};
  return {std::max(0, MulDiv(position - Meter.minimum, bar.right - bar.left - 2, span)),
          MulDiv(position - Meter.minimum, 100, span)};
}

LRESULT CALLBACK ProgressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return DefWindowProcA(window, message, wParam, lParam);
  PaintScope dc(window);
  RECT client;
  GetClientRect(window, &client);
  RECT bar = MeterBar(client);
  FrameRect(dc, &bar, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  const auto [done, percent] = MeterShows(client, Meter.position);
  RECT filled = {bar.left + 1, bar.top + 1, bar.left + 1 + done, bar.bottom - 1};
  FillRect(dc, &filled, OwnedBrush(CreateSolidBrush(RGB(0, 0, 160))));
  char text[32];
  std::snprintf(text, sizeof text, "%d%%", percent);
  RECT label = {10, 38, client.right - 10, client.bottom};
  SetBkMode(dc, TRANSPARENT);
  DrawTextA(dc, text, -1, &label, DT_CENTER | DT_SINGLELINE);
  return 0;
}

void RegisterProgressClass() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ProgressProc;
  wc.hInstance = ThisModule();
  wc.hCursor = LoadCursorA(nullptr, IDC_WAIT);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kProgressClass;
  registered = RegisterClassA(&wc) != 0;
}

// Dispatches the messages waiting in the queue, as a long computation's meter does, so that the
// user interface stays alive (and re-entrant calls reach the plug-in). A quit message is put
// back for the host's own loop and ends the pumping. The user's keys and clicks are dropped: the
// command still works on the window's image, which a menu choice (Exit, Save As) or a click on
// a close box would free or save half-made.
void PumpWaitingMessages() {
  MSG msg;
  for (int i = 0; i < 200 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
    if (msg.message == WM_QUIT) {
      PostMessageA(msg.hwnd, msg.message, msg.wParam, msg.lParam);
      return;
    }
    const UINT m = msg.message;
    if ((m >= WM_KEYFIRST && m <= WM_KEYLAST) || (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST) ||
        (m >= WM_NCMOUSEMOVE && m <= WM_NCXBUTTONDBLCLK))
      continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace

extern "C" {

// --- Contract: images and windows ---

HGLOBAL WINAPI ZQ_GetHDib(HWND window) {
  Record("ZQ_GetHDib");
  auto it = Windows.find(window);
  return it == Windows.end() ? nullptr : it->second.dib;
}

HGLOBAL WINAPI ZQ_CopyHDib(HWND window) {
  Record("ZQ_CopyHDib");
  auto it = Windows.find(window);
  if (it == Windows.end() || !it->second.dib || ShouldFail(KX_FAIL_COPY)) return nullptr;
  const SIZE_T size = GlobalSize(it->second.dib);
  HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!copy) return nullptr;
  std::memcpy(GlobalLock(copy), GlobalLock(it->second.dib), size);
  GlobalUnlock(it->second.dib);
  GlobalUnlock(copy);
  LastCopy = copy;
  return copy;
}

BOOL WINAPI ZQ_SetHDib(HWND window, HGLOBAL dib) {
  Record("ZQ_SetHDib");
  ReplaceImage(window, dib);
  return TRUE;
}

BOOL WINAPI ZQ_GetFlag(HWND window, int flag) {
  Record("ZQ_GetFlag " + std::to_string(flag));
  return KX_GetFlag(window, flag);
}

void WINAPI ZQ_SetInfo(HWND window, int item, int value) {
  Record("ZQ_SetInfo " + std::to_string(item) + " " + std::to_string(value));
  Windows[window].info[item] = value;
}

HPALETTE WINAPI ZQ_GetHPalette(HWND window) {
  Record("ZQ_GetHPalette");
  auto it = Windows.find(window);
  return it == Windows.end() || ShouldFail(KX_FAIL_PALETTE) ? nullptr : it->second.palette.get();
}

HWND WINAPI ZQ_GetOwnerWnd(HWND window) {
  Record("ZQ_GetOwnerWnd");
  HWND root = GetAncestor(window, GA_ROOT);
  return root ? root : window;
}

BOOL WINAPI ZQ_PaintDib(HDC dc, HGLOBAL dib, HPALETTE palette) {
  auto* info = static_cast<BITMAPINFO*>(GlobalLock(dib));
  if (!info) return FALSE;
  SelectedPalette selected(dc, palette);
  const BITMAPINFOHEADER& h = info->bmiHeader;
  const BYTE* bits = reinterpret_cast<const BYTE*>(info) + h.biSize + TableBytes(h);
  SetDIBitsToDevice(dc, 0, 0, h.biWidth, h.biHeight, 0, 0, 0, h.biHeight, bits, info,
                    DIB_RGB_COLORS);
  GlobalUnlock(dib);
  return TRUE;
}

// --- Contract: menus ---

HMENU WINAPI ZQ_ReserveMenu(int count) {
  Record("ZQ_ReserveMenu " + std::to_string(count));
  if (ShouldFail(KX_FAIL_MENU)) return nullptr;
  HMENU popup = CreatePopupMenu();
  if (Frame && popup) {
    HMENU bar = GetMenu(Frame);
    // Before the last item (the MDI "Window" menu) when there is one.
    const int items = bar ? GetMenuItemCount(bar) : 0;
    if (bar) {
      InsertMenuA(bar, items > 1 ? items - 1 : items, MF_BYPOSITION | MF_POPUP | MF_STRING,
                  reinterpret_cast<UINT_PTR>(popup), "&Image");
      DrawMenuBar(Frame);
    }
  }
  return popup;
}

UINT WINAPI ZQ_ReserveMenuId(void) {
  if (ShouldFail(KX_FAIL_MENU_ID)) {
    Record("ZQ_ReserveMenuId 0");
    return 0;
  }
  const UINT id = NextMenuId;
  NextMenuId += MenuIdStep;
  Record("ZQ_ReserveMenuId " + std::to_string(id));
  return id;
}

// --- Contract: progress meter and status line ---

void WINAPI ZQ_ProgressOpen(HWND owner, LPCSTR caption) {
  Record(std::string("ZQ_ProgressOpen ") + caption);
  LastProgressOwner = owner;
  RegisterProgressClass();
  Meter = Progress{};
  // The meter pumps messages while the command still works on the window's image: like a modal
  // dialog, it keeps the user from closing that window, opening, saving or quitting meanwhile.
  if (HWND top = owner ? GetAncestor(owner, GA_ROOT) : nullptr; top && IsWindowEnabled(top)) {
    Meter.disabled = top;
    EnableWindow(top, FALSE);
  }
  RECT anchor = {100, 100, 100, 100};
  if (owner) GetWindowRect(owner, &anchor);
  Meter.window = CreateWindowExA(WS_EX_TOOLWINDOW, kProgressClass, caption,
                                 WS_POPUP | WS_CAPTION | WS_VISIBLE, anchor.left + 40,
                                 anchor.top + 60, 320, 100, owner, nullptr, ThisModule(), nullptr);
  if (Meter.window) UpdateWindow(Meter.window);
}

void WINAPI ZQ_ProgressRange(int minimum, int maximum) {
  Record("ZQ_ProgressRange " + std::to_string(minimum) + " " + std::to_string(maximum));
  Meter.minimum = minimum;
  Meter.maximum = maximum;
  if (Meter.window) InvalidateRect(Meter.window, nullptr, TRUE);
}

void WINAPI ZQ_ProgressStep(int position) {
  Record("ZQ_ProgressStep " + std::to_string(position));
  // Painted only when what it shows changes: a tall image steps the meter thousands of times,
  // and a repaint for each made the command wait on the display.
  RECT client = {};
  if (Meter.window) GetClientRect(Meter.window, &client);
  const bool changes = MeterShows(client, position) != MeterShows(client, Meter.position);
  Meter.position = position;
  if (Meter.window && changes) {
    InvalidateRect(Meter.window, nullptr, TRUE);
    UpdateWindow(Meter.window);
  }
  PumpWaitingMessages();
}

void WINAPI ZQ_ProgressClose(void) {
  Record("ZQ_ProgressClose");
  if (Meter.disabled) EnableWindow(Meter.disabled, TRUE);
  if (Meter.window) DestroyWindow(Meter.window);
  Meter = Progress{};
}

void WINAPI ZQ_StatusText(LPCSTR text) {
  Record(std::string("ZQ_StatusText ") + text);
  if (StatusLine) SetWindowTextA(StatusLine, text);
}

void WINAPI ZQ_GetProfileFile(int, LPSTR storeA, LPSTR storeB) {
  Record("ZQ_GetProfileFile");
  std::snprintf(storeA, 64, "%s", ProfilePath.c_str());
  std::snprintf(storeB, 64, "%s", "KORVEX");
}

// --- Host side ---

void KX_SetFrame(HWND frame, HWND statusLine) {
  Frame = frame;
  StatusLine = statusLine;
}

void KX_AttachImage(HWND window, HGLOBAL dib) { ReplaceImage(window, dib); }

void KX_DetachWindow(HWND window) {
  auto it = Windows.find(window);
  if (it == Windows.end()) return;
  if (it->second.dib) GlobalFree(it->second.dib);
  Windows.erase(it);
}

void KX_SetFlag(HWND window, int flag, BOOL on) {
  if (on)
    Windows[window].flags.insert(flag);
  else
    Windows[window].flags.erase(flag);
}

BOOL KX_GetFlag(HWND window, int flag) {
  auto it = Windows.find(window);
  return it != Windows.end() && it->second.flags.count(flag);
}

void KX_SetProfilePath(const char* path) {
  // The contract's buffers hold 63 characters; a longer path would be cut, so it is refused.
  ProfilePath = std::strlen(path) < 64 ? path : "HOST.INI";
}

void KX_SetMenuIds(UINT first, UINT step) {
  NextMenuId = first;
  MenuIdStep = step ? step : 1;
}

void KX_PaintWindow(HWND window, HDC dc) {
  auto it = Windows.find(window);
  if (it != Windows.end() && it->second.dib) ZQ_PaintDib(dc, it->second.dib, it->second.palette);
}

SIZE KX_ImageSize(HWND window) {
  auto it = Windows.find(window);
  const auto* h = it != Windows.end() && it->second.dib
                      ? static_cast<const BITMAPINFOHEADER*>(GlobalLock(it->second.dib))
                      : nullptr;
  if (!h) return SIZE{0, 0};
  const SIZE size = {h->biWidth, h->biHeight};
  GlobalUnlock(it->second.dib);
  return size;
}

int KX_GetInfo(HWND window, int item) {
  auto it = Windows.find(window);
  if (it == Windows.end()) return -1;
  auto info = it->second.info.find(item);
  return info == it->second.info.end() ? -1 : info->second;
}

// --- Test hooks ---

void KX_ClearLog(void) {
  Log.clear();
  LastProgressOwner = nullptr;
}

int KX_GetLog(char* buffer, int size) {
  std::string all;
  for (const std::string& line : Log) all += line + "\n";
  if (buffer && size > 0) std::snprintf(buffer, static_cast<size_t>(size), "%s", all.c_str());
  return static_cast<int>(all.size()) + 1;
}

void KX_Log(const char* line) { Record(line); }

void KX_FailCall(int point, int n) {
  if (n <= 0)
    PlannedFailures.erase(point);
  else
    PlannedFailures[point] = n;
}

BOOL KX_TakeFailure(int point) { return ShouldFail(point); }

HGLOBAL KX_LastCopy(void) { return LastCopy; }

void KX_NoteResize(HGLOBAL block) { LastResize = block; }

HGLOBAL KX_LastResize(void) { return LastResize; }

BOOL KX_ProgressVisible(void) { return Meter.window && IsWindowVisible(Meter.window); }

HWND KX_ProgressOwner(void) { return LastProgressOwner; }

}  // extern "C"
