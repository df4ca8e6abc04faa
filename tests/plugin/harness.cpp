#include "tests/plugin/harness.h"

#include <commdlg.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <sstream>

#include "host/korvex.h"
#include "plugin/host_api.h"
#include "tests/plugin/png.h"

namespace harness {
namespace {

PluginEntryPoints ThePlugin;
HWND MainWindow = nullptr;
UINT Ids[10] = {};
HHOOK CbtHook = nullptr;

// --- Records of the plug-in's system calls ---
std::vector<MessageBoxCall> Boxes;
int BoxDepth = 0;
int AllocCount = 0;
int AllocFailAt = 0;
std::set<HGLOBAL> Live;
std::vector<HGLOBAL> Freed;
int RegisterCount = 0;
std::vector<int> RegisterFailures;
std::vector<HCURSOR> Cursors;
std::vector<UINT> BeepRecord;
std::vector<ChooseColorCall> ColorCalls;

struct Script {
  int templateId;
  std::function<void(HWND)> run;
};
std::vector<Script> Scripts;
std::set<HWND> SeenDialogs;

decltype(&GlobalAlloc) RealGlobalAlloc;
decltype(&GlobalFree) RealGlobalFree;
decltype(&MessageBoxA) RealMessageBoxA;
decltype(&RegisterClassA) RealRegisterClassA;
decltype(&SetCursor) RealSetCursor;
decltype(&ChooseColorA) RealChooseColorA;

HGLOBAL WINAPI GlobalAllocShim(UINT flags, SIZE_T bytes) {
  if (++AllocCount == AllocFailAt) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  HGLOBAL block = RealGlobalAlloc(flags, bytes);
  if (block) Live.insert(block);
  return block;
}

HGLOBAL WINAPI GlobalFreeShim(HGLOBAL block) {
  Freed.push_back(block);
  Live.erase(block);
  return RealGlobalFree(block);
}

int WINAPI MessageBoxShim(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
  Boxes.push_back({owner, text ? text : "", caption == nullptr, style, "", ""});
  ++BoxDepth;
  const int result = RealMessageBoxA(owner, text, caption, style);
  --BoxDepth;
  return result;
}

ATOM WINAPI RegisterClassShim(const WNDCLASSA* windowClass) {
  ++RegisterCount;
  if (std::count(RegisterFailures.begin(), RegisterFailures.end(), RegisterCount)) return 0;
  return RealRegisterClassA(windowClass);
}

HCURSOR WINAPI SetCursorShim(HCURSOR cursor) {
  Cursors.push_back(cursor);
  return RealSetCursor(cursor);
}

BOOL WINAPI MessageBeepShim(UINT type) {
  BeepRecord.push_back(type);
  return TRUE;
}

BOOL WINAPI ChooseColorShim(CHOOSECOLORA* cc) {
  ColorCalls.push_back({cc->lStructSize, cc->hwndOwner, cc->rgbResult, cc->Flags, {}});
  if (cc->lpCustColors) ColorCalls.back().custom.assign(cc->lpCustColors, cc->lpCustColors + 16);
  return RealChooseColorA(cc);
}

// Points the plug-in's import of `dll`!`name` at `replacement`; returns the original.
void* PatchImport(HMODULE module, const char* dll, const char* name, void* replacement) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name; ++d) {
    if (_stricmp(reinterpret_cast<char*>(base + d->Name), dll) != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<char*>(byName->Name), name) != 0) continue;
      DWORD protection;
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection);
      void* original = reinterpret_cast<void*>(slots->u1.Function);
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
      return original;
    }
  }
  std::fprintf(stderr, "harness: IMAGE.DLL does not import %s!%s\n", dll, name);
  std::abort();
}

template <typename F>
void Patch(const char* dll, const char* name, F& original, F replacement) {
  original = reinterpret_cast<F>(PatchImport(ThePlugin.module, dll, name, reinterpret_cast<void*>(replacement)));
}

std::string StaticTexts(HWND dialog) {
  std::string texts;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    char className[16] = {}, text[256] = {};
    GetClassNameA(child, className, sizeof className);
    GetWindowTextA(child, text, sizeof text);
    if (_stricmp(className, "Static") == 0 && text[0]) texts += (texts.empty() ? "" : "\n") + std::string(text);
  }
  return texts;
}

constexpr UINT_PTR kDialogTimer = 0x5C17;

// Runs from the dialog's own message loop, shortly after it became active.
void CALLBACK DialogTimer(HWND dialog, UINT, UINT_PTR id, DWORD) {
  KillTimer(dialog, id);
  const int templateId = static_cast<int>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  if (BoxDepth > 0 && templateId == 0 && !Boxes.empty() && Boxes.back().shownCaption.empty()) {
    char caption[256] = {};
    GetWindowTextA(dialog, caption, sizeof caption);
    Boxes.back().shownText = StaticTexts(dialog);
    Boxes.back().shownCaption = caption[0] ? caption : "(none)";
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    return;
  }
  auto it = std::find_if(Scripts.begin(), Scripts.end(), [&](const Script& s) { return s.templateId == templateId; });
  if (it == Scripts.end()) {
    ADD_FAILURE() << "a dialog opened without a script (template " << templateId << ")";
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    return;
  }
  auto run = std::move(it->run);
  Scripts.erase(it);
  run(dialog);
}

LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    HWND window = reinterpret_cast<HWND>(wParam);
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::strcmp(className, "#32770") == 0 && SeenDialogs.insert(window).second)
      SetTimer(window, kDialogTimer, 30, DialogTimer);
  } else if (code == HCBT_DESTROYWND) {
    SeenDialogs.erase(reinterpret_cast<HWND>(wParam));  // handles are reused
  }
  return CallNextHookEx(CbtHook, code, wParam, lParam);
}

// A store of this process's own in the Windows folder (tests run in parallel).
std::string ProfileName() {
  char path[MAX_PATH];
  GetWindowsDirectoryA(path, sizeof path);
  return std::string(path) + "\\PT" + std::to_string(GetCurrentProcessId()) + ".INI";
}

}  // namespace

void Start() {
  if (!LoadPlugin("IMAGE.DLL", ThePlugin)) {
    std::fprintf(stderr, "harness: IMAGE.DLL cannot be loaded\n");
    std::abort();
  }
  Patch("KERNEL32.dll", "GlobalAlloc", RealGlobalAlloc, GlobalAllocShim);
  Patch("KERNEL32.dll", "GlobalFree", RealGlobalFree, GlobalFreeShim);
  Patch("USER32.dll", "MessageBoxA", RealMessageBoxA, MessageBoxShim);
  Patch("USER32.dll", "RegisterClassA", RealRegisterClassA, RegisterClassShim);
  Patch("USER32.dll", "SetCursor", RealSetCursor, SetCursorShim);
  decltype(&MessageBeep) unusedBeep;
  Patch("USER32.dll", "MessageBeep", unusedBeep, MessageBeepShim);
  Patch("comdlg32.dll", "ChooseColorA", RealChooseColorA, ChooseColorShim);
  CbtHook = SetWindowsHookExA(WH_CBT, CbtProc, nullptr, GetCurrentThreadId());

  KX_SetProfilePath(ProfileName().c_str());
  FileDelete(ProfileName().c_str());
  MainWindow = CreateWindowExA(0, "STATIC", "Host main window", WS_OVERLAPPED, 0, 0, 100, 50, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
}

void Stop() {
  if (CbtHook) UnhookWindowsHookEx(CbtHook);
  DeleteFileA(ProfileName().c_str());
}

PluginEntryPoints& Plugin() { return ThePlugin; }

BOOL InitPlugin(UINT firstId, UINT step) {
  KX_SetMenuIds(firstId, step);
  UINT next = firstId;
  for (int row = 0; row < 10; ++row) {
    Ids[row] = row == 3 ? 0 : next;
    if (row != 3) next += step;
  }
  return ThePlugin.init(0, MainWindow);
}

UINT MenuId(int row) { return Ids[row]; }

int RunCommand(HWND window, int row, DWORD* value) {
  DWORD unused = 0;
  return ThePlugin.menuHandler(window, MenuId(row), value ? value : &unused);
}

std::vector<std::string> HostLog() {
  std::string text(static_cast<size_t>(KX_GetLog(nullptr, 0)), '\0');
  KX_GetLog(text.data(), static_cast<int>(text.size()));
  std::vector<std::string> lines;
  std::istringstream in(text.c_str());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> HostLogStarting(const std::string& prefix) {
  std::vector<std::string> lines;
  for (const std::string& line : HostLog())
    if (line.rfind(prefix, 0) == 0) lines.push_back(line);
  return lines;
}

std::vector<MessageBoxCall>& MessageBoxes() { return Boxes; }

void ClearCalls() {
  Boxes.clear();
  AllocFailAt = 0;
  Live.clear();
  Freed.clear();
  RegisterFailures.clear();
  RegisterCount = 0;
  Cursors.clear();
  BeepRecord.clear();
  ColorCalls.clear();
  for (int point : {KX_FAIL_COPY, KX_FAIL_MENU, KX_FAIL_MENU_ID}) KX_FailCall(point, 0);
  KX_ClearLog();
}

void FailGlobalAlloc(int n) { AllocFailAt = n > 0 ? AllocCount + n : 0; }
int GlobalAllocCount() { return AllocCount; }
std::vector<HGLOBAL> LiveAllocations() { return {Live.begin(), Live.end()}; }
const std::vector<HGLOBAL>& Frees() { return Freed; }
void FailRegisterClass(std::vector<int> calls) {
  for (int& call : calls) call += RegisterCount;
  RegisterFailures = calls;
}
int RegisterClassCount() { return RegisterCount; }
const std::vector<HCURSOR>& CursorsSet() { return Cursors; }
const std::vector<UINT>& Beeps() { return BeepRecord; }
const std::vector<ChooseColorCall>& ChooseColorCalls() { return ColorCalls; }

void OnDialog(int templateId, std::function<void(HWND)> script) { Scripts.push_back({templateId, std::move(script)}); }

bool AllScriptsRan() {
  const bool all = Scripts.empty();
  Scripts.clear();
  return all;
}

void Pump(int ms) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(5);
  } while (static_cast<LONG>(GetTickCount() - end) < 0);
}

TestWindow::TestWindow(const char* className, HINSTANCE instance) {
  if (!instance) instance = GetModuleHandleA(nullptr);
  WNDCLASSA wc = {};
  if (!GetClassInfoA(instance, className, &wc)) {
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = className;
    RegisterClassA(&wc);
  }
  hwnd = CreateWindowExA(0, className, "test image", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 240, 160, nullptr,
                         nullptr, instance, nullptr);
}

TestWindow::~TestWindow() {
  KX_DetachWindow(hwnd);
  DestroyWindow(hwnd);
}

HGLOBAL ToGlobal(HostBlock block) {
  const size_t size = HP_Size(block);
  HGLOBAL global = GlobalAlloc(GMEM_MOVEABLE, size);
  std::memcpy(GlobalLock(global), HP_Lock(block), size);
  HP_Unlock(block);
  GlobalUnlock(global);
  HP_Free(block);
  return global;
}

std::vector<uint8_t> GlobalBytes(HGLOBAL block) {
  const auto* p = static_cast<const uint8_t*>(GlobalLock(block));
  std::vector<uint8_t> bytes(p, p + GlobalSize(block));
  GlobalUnlock(block);
  return bytes;
}

int LockCount(HGLOBAL block) { return static_cast<int>(GlobalFlags(block) & GMEM_LOCKCOUNT); }

COLORREF ClientPixel(HWND window, int x, int y) {
  HDC dc = GetDC(window);
  const COLORREF color = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return color;
}

std::string SaveScreenshot(const std::vector<HWND>& windows, const char* name) {
  RECT canvas;
  GetWindowRect(windows.front(), &canvas);
  const int width = canvas.right - canvas.left, height = canvas.bottom - canvas.top;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC memory = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  for (HWND window : windows) {
    RECT r;
    GetWindowRect(window, &r);
    HDC dc = GetWindowDC(window);
    BitBlt(memory, r.left - canvas.left, r.top - canvas.top, r.right - r.left, r.bottom - r.top, dc, 0, 0, SRCCOPY);
    ReleaseDC(window, dc);
  }
  GdiFlush();
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  const auto* p = static_cast<const uint8_t*>(bits);
  for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
    rgb[3 * i] = p[4 * i + 2];
    rgb[3 * i + 1] = p[4 * i + 1];
    rgb[3 * i + 2] = p[4 * i];
  }
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);

  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  std::string dir(exe);
  dir = dir.substr(0, dir.find_last_of('\\'));  // bin
  dir = dir.substr(0, dir.find_last_of('\\')) + "\\screenshots";
  CreateDirectoryA(dir.c_str(), nullptr);
  const std::string path = dir + "\\" + name + ".png";
  EXPECT_TRUE(WritePng(path, width, height, rgb)) << path;
  return path;
}

}  // namespace harness
