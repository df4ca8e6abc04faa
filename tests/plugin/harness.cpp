#include "tests/plugin/harness.h"

#include <commdlg.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <utility>

#include "cli/bmp_io.h"
#include "dib/block.h"
#include "host/korvex.h"
#include "plugin/gdi.h"
#include "plugin/host_api.h"
#include "plugin/plugin.h"
#include "resources/text_ids.h"
#include "tests/support/images.h"

// What the plug-in sources built into this program (settings.cpp, stat_color.cpp) expect of the
// plug-in around them: its module instance is this program, its classes register plainly.
HINSTANCE ModuleInstance = GetModuleHandleA(nullptr);

ATOM RegisterPluginClass(const WNDCLASSA& windowClass) {
  UnregisterClassA(windowClass.lpszClassName, ModuleInstance);
  return RegisterClassA(&windowClass);
}

namespace harness {
namespace {

PluginEntryPoints ThePlugin;
HWND HostMain = nullptr;  // the host's main window
UINT FirstId = 0, IdStep = 1;
HHOOK CbtHook = nullptr;
Calls Records;
int BoxDepth = 0;  // message boxes of the plug-in open now
std::function<void(HWND)> BoxPhotographer;

struct Script {
  int templateId;
  std::function<void(HWND)> run;
};
std::vector<Script> Scripts;
std::set<HWND> SeenDialogs;

// Counts a call of `function` and says whether the failure plan makes it fail.
bool ShouldFail(const char* function) {
  return Records.failures[function].count(++Records.calls[function]) > 0;
}

decltype(&GlobalAlloc) RealGlobalAlloc;
decltype(&GlobalFree) RealGlobalFree;
decltype(&MessageBoxA) RealMessageBoxA;
decltype(&RegisterClassA) RealRegisterClassA;
decltype(&SetCursor) RealSetCursor;
decltype(&MessageBeep) RealMessageBeep;  // never called: a beep only needs recording
decltype(&ChooseColorA) RealChooseColorA;
decltype(&ChooseFontA) RealChooseFontA;
decltype(&ZQ_SetHDib) RealSetHDib;
decltype(&DialogBoxParamA) RealDialogBoxParamA;
decltype(&GetTempFileNameA) RealGetTempFileNameA;
decltype(&CreateFileA) RealCreateFileA;

HGLOBAL WINAPI GlobalAllocShim(UINT flags, SIZE_T bytes) {
  if (ShouldFail("GlobalAlloc")) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  HGLOBAL block = RealGlobalAlloc(flags, bytes);
  if (block) Records.live.insert(block);
  return block;
}

HGLOBAL WINAPI GlobalFreeShim(HGLOBAL block) {
  Records.frees.push_back(block);
  Records.live.erase(block);
  return RealGlobalFree(block);
}

// A block handed to the window is the host's from then on.
BOOL WINAPI SetHDibShim(HWND window, HGLOBAL dib) {
  Records.live.erase(dib);
  return RealSetHDib(window, dib);
}

int WINAPI MessageBoxShim(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
  Records.boxes.push_back(
      {owner, text ? text : "", caption ? caption : "", caption == nullptr, style, false});
  ++BoxDepth;
  const int result = RealMessageBoxA(owner, text, caption, style);
  --BoxDepth;
  return result;
}

ATOM WINAPI RegisterClassShim(const WNDCLASSA* windowClass) {
  return ShouldFail("RegisterClassA") ? 0 : RealRegisterClassA(windowClass);
}

HCURSOR WINAPI SetCursorShim(HCURSOR cursor) {
  Records.cursors.push_back(cursor);
  return RealSetCursor(cursor);
}

BOOL WINAPI MessageBeepShim(UINT type) {
  Records.beeps.push_back(type);
  return TRUE;
}

BOOL WINAPI ChooseColorShim(CHOOSECOLORA* cc) {
  Records.chooseColor.push_back({cc->lStructSize, cc->hwndOwner, cc->rgbResult, cc->Flags, {}});
  if (cc->lpCustColors)
    Records.chooseColor.back().custom.assign(cc->lpCustColors, cc->lpCustColors + 16);
  return RealChooseColorA(cc);
}

BOOL WINAPI ChooseFontShim(CHOOSEFONTA* cf) {
  ChooseFontCall call{cf->lStructSize, cf->hwndOwner, cf->Flags, cf->rgbColors, false, {}};
  if (cf->lpLogFont) {
    call.hasFont = true;
    call.font = *cf->lpLogFont;
  }
  Records.chooseFont.push_back(call);
  return RealChooseFontA(cf);
}

INT_PTR WINAPI DialogBoxParamShim(HINSTANCE instance, LPCSTR name, HWND owner, DLGPROC procedure,
                                  LPARAM parameter) {
  if (ShouldFail("DialogBoxParamA")) return -1;
  return RealDialogBoxParamA(instance, name, owner, procedure, parameter);
}

UINT WINAPI GetTempFileNameShim(LPCSTR folder, LPCSTR prefix, UINT unique, LPSTR path) {
  if (ShouldFail("GetTempFileNameA")) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  const UINT result = RealGetTempFileNameA(folder, prefix, unique, path);
  if (result && unique == 0) Records.tempFiles.insert(path);  // created by the call
  return result;
}

HANDLE WINAPI CreateFileShim(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                             DWORD disposition, DWORD flags, HANDLE model) {
  if (ShouldFail("CreateFileA")) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  return RealCreateFileA(path, access, share, security, disposition, flags, model);
}

// The Mask dialog's shape loading: its resource and the write of its temporary file.
decltype(&FindResourceA) RealFindResourceA;
decltype(&LoadResource) RealLoadResource;
decltype(&WriteFile) RealWriteFile;

HRSRC WINAPI FindResourceShim(HMODULE module, LPCSTR name, LPCSTR type) {
  return ShouldFail("FindResourceA") ? nullptr : RealFindResourceA(module, name, type);
}
HGLOBAL WINAPI LoadResourceShim(HMODULE module, HRSRC resource) {
  return ShouldFail("LoadResource") ? nullptr : RealLoadResource(module, resource);
}
BOOL WINAPI WriteFileShim(HANDLE file, LPCVOID bytes, DWORD count, LPDWORD written,
                          LPOVERLAPPED overlapped) {
  if (!ShouldFail("WriteFile")) return RealWriteFile(file, bytes, count, written, overlapped);
  if (written) *written = 0;
  SetLastError(ERROR_DISK_FULL);
  return FALSE;
}

// GDI objects and DCs: each creator adds what it returns, each deleter removes what it deleted.
// The shims are installed for the functions IMAGE.DLL imports; the list covers what the dialogs
// use, so a new import is counted without a change here.
void Made(std::map<HANDLE, std::string>& live, HANDLE handle, const char* call) {
  if (handle) live[handle] = call;
}
void MadeDc(HDC dc, const char* call) {
  if (dc) Records.dcs[dc] = call;
}

#define GDI_CREATOR(Result, name, params, args) \
  decltype(&name) Real##name;                   \
  Result WINAPI name##Shim params {             \
    if (ShouldFail(#name)) return nullptr;      \
    const Result handle = Real##name args;      \
    Made(Records.gdiObjects, handle, #name);    \
    return handle;                              \
  }
GDI_CREATOR(HBRUSH, CreateSolidBrush, (COLORREF c), (c))
GDI_CREATOR(HBRUSH, CreateBrushIndirect, (const LOGBRUSH* b), (b))
GDI_CREATOR(HBRUSH, CreateHatchBrush, (int h, COLORREF c), (h, c))
GDI_CREATOR(HBRUSH, CreatePatternBrush, (HBITMAP b), (b))
GDI_CREATOR(HPEN, CreatePen, (int s, int w, COLORREF c), (s, w, c))
GDI_CREATOR(HFONT, CreateFontIndirectA, (const LOGFONTA* f), (f))
GDI_CREATOR(HBITMAP, CreateBitmap, (int w, int h, UINT p, UINT b, const void* d), (w, h, p, b, d))
GDI_CREATOR(HBITMAP, CreateCompatibleBitmap, (HDC dc, int w, int h), (dc, w, h))
GDI_CREATOR(HBITMAP, CreateDIBSection,
            (HDC dc, const BITMAPINFO* i, UINT u, void** b, HANDLE s, DWORD o), (dc, i, u, b, s, o))
GDI_CREATOR(HBITMAP, CreateDIBitmap,
            (HDC dc, const BITMAPINFOHEADER* h, DWORD f, const void* b, const BITMAPINFO* i,
             UINT u),
            (dc, h, f, b, i, u))
GDI_CREATOR(HBITMAP, LoadBitmapA, (HINSTANCE m, LPCSTR n), (m, n))
GDI_CREATOR(HRGN, CreateRectRgn, (int l, int t, int r, int b), (l, t, r, b))
GDI_CREATOR(HRGN, CreateRectRgnIndirect, (const RECT* r), (r))
GDI_CREATOR(HRGN, CreateEllipticRgn, (int l, int t, int r, int b), (l, t, r, b))
GDI_CREATOR(HRGN, CreatePolygonRgn, (const POINT* p, int n, int m), (p, n, m))
GDI_CREATOR(HPALETTE, CreatePalette, (const LOGPALETTE* p), (p))
GDI_CREATOR(HPALETTE, CreateHalftonePalette, (HDC dc), (dc))
GDI_CREATOR(HMETAFILE, SetMetaFileBitsEx, (UINT n, const BYTE* b), (n, b))
GDI_CREATOR(HMETAFILE, GetMetaFileA, (LPCSTR n), (n))
GDI_CREATOR(HMETAFILE, CopyMetaFileA, (HMETAFILE m, LPCSTR n), (m, n))
#undef GDI_CREATOR

#define DC_MAKER(name, params, args)       \
  decltype(&name) Real##name;              \
  HDC WINAPI name##Shim params {           \
    if (ShouldFail(#name)) return nullptr; \
    const HDC made = Real##name args;      \
    MadeDc(made, #name);                   \
    return made;                           \
  }
DC_MAKER(GetDC, (HWND w), (w))
DC_MAKER(GetWindowDC, (HWND w), (w))
DC_MAKER(GetDCEx, (HWND w, HRGN r, DWORD f), (w, r, f))
DC_MAKER(CreateCompatibleDC, (HDC dc), (dc))
DC_MAKER(CreateDCA, (LPCSTR d, LPCSTR v, LPCSTR o, const DEVMODEA* m), (d, v, o, m))
DC_MAKER(CreateICA, (LPCSTR d, LPCSTR v, LPCSTR o, const DEVMODEA* m), (d, v, o, m))
DC_MAKER(BeginPaint, (HWND w, PAINTSTRUCT* p), (w, p))
#undef DC_MAKER

decltype(&DeleteObject) RealDeleteObject;
decltype(&DeleteMetaFile) RealDeleteMetaFile;
decltype(&CreateMetaFileA) RealCreateMetaFileA;
decltype(&CloseMetaFile) RealCloseMetaFile;
decltype(&ReleaseDC) RealReleaseDC;
decltype(&EndPaint) RealEndPaint;
decltype(&DeleteDC) RealDeleteDC;

BOOL WINAPI DeleteObjectShim(HGDIOBJ object) {
  const BOOL deleted = RealDeleteObject(object);
  if (deleted) Records.gdiObjects.erase(object);
  return deleted;
}
BOOL WINAPI DeleteMetaFileShim(HMETAFILE metafile) {
  const BOOL deleted = RealDeleteMetaFile(metafile);
  if (deleted) Records.gdiObjects.erase(metafile);
  return deleted;
}
HDC WINAPI CreateMetaFileAShim(LPCSTR file) {
  if (ShouldFail("CreateMetaFileA")) return nullptr;
  const HDC dc = RealCreateMetaFileA(file);
  MadeDc(dc, "CreateMetaFileA");
  return dc;
}
// A planned failure still ends the recording, so that only the plug-in's own faults count.
HMETAFILE WINAPI CloseMetaFileShim(HDC dc) {
  HMETAFILE metafile = RealCloseMetaFile(dc);
  if (metafile) Records.dcs.erase(dc);
  if (metafile && ShouldFail("CloseMetaFile")) {
    RealDeleteMetaFile(metafile);
    return nullptr;
  }
  Made(Records.gdiObjects, metafile, "CloseMetaFile");
  return metafile;
}
int WINAPI ReleaseDCShim(HWND window, HDC dc) {
  const int released = RealReleaseDC(window, dc);
  if (released) Records.dcs.erase(dc);
  return released;
}
BOOL WINAPI EndPaintShim(HWND window, const PAINTSTRUCT* paint) {
  Records.dcs.erase(paint->hdc);
  return RealEndPaint(window, paint);
}
BOOL WINAPI DeleteDCShim(HDC dc) {
  const BOOL deleted = RealDeleteDC(dc);
  if (deleted) Records.dcs.erase(dc);
  return deleted;
}

// Points the plug-in's import of `dll`!`name` at `replacement` and sets `original` to the old one.
// False when IMAGE.DLL does not import it.
template <typename F>
bool PatchIfImported(const char* dll, const char* name, F& original, F replacement) {
  auto* base = reinterpret_cast<BYTE*>(ThePlugin.module);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name;
       ++d) {
    if (_stricmp(reinterpret_cast<char*>(base + d->Name), dll) != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(
        base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<char*>(byName->Name), name) != 0) continue;
      DWORD protection;
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection);
      original = reinterpret_cast<F>(slots->u1.Function);
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
      return true;
    }
  }
  return false;
}

// As PatchIfImported, for the imports the harness cannot work without.
template <typename F>
void Patch(const char* dll, const char* name, F& original, F replacement) {
  if (PatchIfImported(dll, name, original, replacement)) return;
  std::fprintf(stderr, "harness: IMAGE.DLL does not import %s!%s\n", dll, name);
  std::abort();
}

void PatchGdi() {
#define SHIM(dll, name) PatchIfImported(dll, #name, Real##name, name##Shim)
  SHIM("GDI32.dll", CreateSolidBrush);
  SHIM("GDI32.dll", CreateBrushIndirect);
  SHIM("GDI32.dll", CreateHatchBrush);
  SHIM("GDI32.dll", CreatePatternBrush);
  SHIM("GDI32.dll", CreatePen);
  SHIM("GDI32.dll", CreateFontIndirectA);
  SHIM("GDI32.dll", CreateBitmap);
  SHIM("GDI32.dll", CreateCompatibleBitmap);
  SHIM("GDI32.dll", CreateDIBSection);
  SHIM("GDI32.dll", CreateDIBitmap);
  SHIM("USER32.dll", LoadBitmapA);
  SHIM("GDI32.dll", CreateRectRgn);
  SHIM("GDI32.dll", CreateRectRgnIndirect);
  SHIM("GDI32.dll", CreateEllipticRgn);
  SHIM("GDI32.dll", CreatePolygonRgn);
  SHIM("GDI32.dll", CreatePalette);
  SHIM("GDI32.dll", CreateHalftonePalette);
  SHIM("GDI32.dll", SetMetaFileBitsEx);
  SHIM("GDI32.dll", GetMetaFileA);
  SHIM("GDI32.dll", CopyMetaFileA);
  SHIM("USER32.dll", GetDC);
  SHIM("USER32.dll", GetWindowDC);
  SHIM("USER32.dll", GetDCEx);
  SHIM("GDI32.dll", CreateCompatibleDC);
  SHIM("GDI32.dll", CreateDCA);
  SHIM("GDI32.dll", CreateICA);
  SHIM("USER32.dll", BeginPaint);
  SHIM("GDI32.dll", DeleteObject);
  SHIM("GDI32.dll", DeleteMetaFile);
  SHIM("GDI32.dll", CreateMetaFileA);
  SHIM("GDI32.dll", CloseMetaFile);
  SHIM("USER32.dll", ReleaseDC);
  SHIM("USER32.dll", EndPaint);
  SHIM("GDI32.dll", DeleteDC);
#undef SHIM
}

// Runs from the dialog's own message loop, shortly after it became active: dismisses the
// plug-in's message box, or runs the dialog's script.
void CALLBACK DialogTimer(HWND dialog, UINT, UINT_PTR id, DWORD) {
  // Focusing a dialog's first control activates the dialog before the dialog manager shows it:
  // the timer goes on until the dialog is on the screen.
  if (!IsWindowVisible(dialog)) return;
  KillTimer(dialog, id);
  const int templateId = static_cast<int>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  if (BoxDepth > 0 && templateId == 0 && !Records.boxes.back().shown) {
    Records.boxes.back().shown = true;
    if (auto photograph = std::exchange(BoxPhotographer, nullptr)) {
      RedrawWindow(dialog, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      photograph(dialog);
    }
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    return;
  }
  auto it = std::find_if(Scripts.begin(), Scripts.end(),
                         [&](const Script& s) { return s.templateId == templateId; });
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
  HWND window = reinterpret_cast<HWND>(wParam);
  if (code == HCBT_ACTIVATE) {
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (std::strcmp(className, "#32770") == 0 && SeenDialogs.insert(window).second)
      SetTimer(window, 0x5C17, 30, DialogTimer);
  } else if (code == HCBT_DESTROYWND) {
    SeenDialogs.erase(window);  // handles are reused
  }
  return CallNextHookEx(CbtHook, code, wParam, lParam);
}

// A settings store of this process's own in the Windows folder (tests run in parallel).
std::string ProfileName() {
  char path[MAX_PATH];
  GetWindowsDirectoryA(path, sizeof path);
  return std::string(path) + "\\PT" + std::to_string(GetCurrentProcessId()) + ".INI";
}

// Under Wine on a bare X server (no window manager), hiding a window that Wine lets the window
// manager handle waits two seconds for an answer that never comes: every message box and dialog
// would cost that. Wine's own setting for this program makes it manage its windows itself. It is
// read when the display driver starts, at the first window, so setting it here is in time.
void LetWineManageTheWindows() {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER,
                      "Software\\Wine\\AppDefaults\\plugin_tests.exe\\X11 Driver", 0, nullptr, 0,
                      KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;  // not Wine's registry, or not writable: only slower
  RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
  RegCloseKey(key);
}

// Loads IMAGE.DLL and points its imports at the shims.
void LoadAndPatch() {
  if (!LoadPlugin("IMAGE.DLL", ThePlugin)) {
    std::fprintf(stderr, "harness: IMAGE.DLL cannot be loaded\n");
    std::abort();
  }
  Patch("KERNEL32.dll", "GlobalAlloc", RealGlobalAlloc, GlobalAllocShim);
  Patch("KERNEL32.dll", "GlobalFree", RealGlobalFree, GlobalFreeShim);
  Patch("USER32.dll", "MessageBoxA", RealMessageBoxA, MessageBoxShim);
  Patch("USER32.dll", "RegisterClassA", RealRegisterClassA, RegisterClassShim);
  Patch("USER32.dll", "SetCursor", RealSetCursor, SetCursorShim);
  Patch("USER32.dll", "MessageBeep", RealMessageBeep, MessageBeepShim);
  Patch("comdlg32.dll", "ChooseColorA", RealChooseColorA, ChooseColorShim);
  Patch("KORVEX.DLL", "ZQ_SetHDib", RealSetHDib, SetHDibShim);
  Patch("USER32.dll", "DialogBoxParamA", RealDialogBoxParamA, DialogBoxParamShim);
  PatchIfImported("comdlg32.dll", "ChooseFontA", RealChooseFontA, ChooseFontShim);
  PatchIfImported("KERNEL32.dll", "GetTempFileNameA", RealGetTempFileNameA, GetTempFileNameShim);
  PatchIfImported("KERNEL32.dll", "CreateFileA", RealCreateFileA, CreateFileShim);
  PatchIfImported("KERNEL32.dll", "FindResourceA", RealFindResourceA, FindResourceShim);
  PatchIfImported("KERNEL32.dll", "LoadResource", RealLoadResource, LoadResourceShim);
  PatchIfImported("KERNEL32.dll", "WriteFile", RealWriteFile, WriteFileShim);
  PatchGdi();
}

void Start() {
  LoadAndPatch();
  CbtHook = SetWindowsHookExA(WH_CBT, CbtProc, nullptr, GetCurrentThreadId());
  KX_SetProfilePath(ProfileName().c_str());
  FileDelete(ProfileName().c_str());
  HostMain = CreateWindowExA(0, "STATIC", "Host main window", WS_OVERLAPPED, 0, 0, 100, 50, nullptr,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
}

}  // namespace

PluginEntryPoints& Plugin() { return ThePlugin; }

HWND MainWindow() { return HostMain; }

BOOL ReloadPlugin() {
  ThePlugin.exit();
  FreeLibrary(ThePlugin.module);
  LoadAndPatch();
  const BOOL started = InitPlugin(FirstId, IdStep);
  ClearCalls();
  return started;
}

BOOL InitPlugin(UINT first, UINT step) {
  KX_SetMenuIds(first, step);
  FirstId = first;
  IdStep = step;
  return ThePlugin.init(0, HostMain);
}

UINT MenuId(int row) {
  return row == 3 ? 0 : FirstId + IdStep * static_cast<UINT>(row < 3 ? row : row - 1);
}

int RunCommand(HWND window, int row, DWORD* value) {
  DWORD unused = 0;
  return ThePlugin.menuHandler(window, MenuId(row), value ? value : &unused);
}

std::vector<std::string> HostLog(const std::string& prefix) {
  std::string text(static_cast<size_t>(KX_GetLog(nullptr, 0)), '\0');
  KX_GetLog(text.data(), static_cast<int>(text.size()));
  std::vector<std::string> lines;
  std::istringstream in(text.c_str());
  for (std::string line; std::getline(in, line);)
    if (line.rfind(prefix, 0) == 0) lines.push_back(line);
  return lines;
}

Calls& Recorded() { return Records; }

void ClearCalls() {
  Records = {};
  for (int point = KX_FAIL_COPY; point <= KX_FAIL_PALETTE; ++point) KX_FailCall(point, 0);
  KX_ClearLog();
}

void FailCall(const std::string& function, int n) {
  Records.failures[function].insert(Records.calls[function] + n);
}

void ExpectOneMessage(const std::string& text, UINT style) {
  ASSERT_EQ(Records.boxes.size(), 1u) << text;
  const MessageBoxCall& box = Records.boxes[0];
  EXPECT_EQ(box.text, text);
  EXPECT_TRUE(box.shown) << text;
  EXPECT_TRUE(box.captionNull) << text;
  EXPECT_EQ(box.owner, nullptr) << text;
  EXPECT_EQ(box.style, style) << text;
}

void ExpectOneMessage(unsigned textId, UINT style) {
  const char* text = TextById(textId);
  ASSERT_NE(text, nullptr) << textId;
  ExpectOneMessage(std::string(text), style);
}

void OnMessageBox(std::function<void(HWND)> photograph) { BoxPhotographer = std::move(photograph); }

void PhotographNextMessage(const std::string& name) {
  OnMessageBox([name](HWND box) { SaveScreenshot({box}, name.c_str()); });
}

void OnDialog(int templateId, std::function<void(HWND)> script) {
  Scripts.push_back({templateId, std::move(script)});
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

namespace {

// Dispatches what is queued as the dialog's modal loop does, keyboard messages through the dialog
// manager.
void PumpDialog(HWND dialog) {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (IsWindow(dialog) && IsDialogMessageA(dialog, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// Posts a key's press and release to the focus, with Alt (`system`) or Shift held as asked.
void PressKey(HWND dialog, UINT key, bool shift, bool system) {
  BYTE state[256];
  GetKeyboardState(state);
  const BYTE kept = state[VK_SHIFT];
  state[VK_SHIFT] = shift ? 0x80 : 0;
  SetKeyboardState(state);
  HWND focus = GetFocus() ? GetFocus() : dialog;
  const LPARAM context = system ? 1 | (1 << 29) : 1;
  PostMessageA(focus, system ? WM_SYSKEYDOWN : WM_KEYDOWN, key, context);
  PostMessageA(focus, system ? WM_SYSKEYUP : WM_KEYUP, key, context | (3u << 30));
  PumpDialog(dialog);
  state[VK_SHIFT] = kept;
  SetKeyboardState(state);
}

void Mouse(HWND window, UINT message, WPARAM buttons, POINT p) {
  SendMessageA(window, message, buttons, MAKELPARAM(p.x, p.y));
  PumpDialog(GetAncestor(window, GA_ROOT));
}

}  // namespace

void Type(HWND dialog, int id, const std::string& text) {
  SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, id)), TRUE);
  PumpDialog(dialog);
  for (char c : text) {
    SendMessageA(GetDlgItem(dialog, id), WM_CHAR, static_cast<BYTE>(c), 1);
    PumpDialog(dialog);
  }
}

void SetText(HWND dialog, int id, const std::string& text) {
  SetDlgItemTextA(dialog, id, text.c_str());
  PumpDialog(dialog);
}

std::string Text(HWND dialog, int id) {
  char text[256] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

void Click(HWND dialog, int id) {
  SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
  PumpDialog(dialog);
}

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != 0; }

void Select(HWND dialog, int id, int index) {
  HWND control = GetDlgItem(dialog, id);
  char className[16] = {};
  GetClassNameA(control, className, sizeof className);
  const bool combo = _stricmp(className, "ComboBox") == 0;
  SendMessageA(control, combo ? CB_SETCURSEL : LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, combo ? CBN_SELCHANGE : LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(control));
  PumpDialog(dialog);
}

void Key(HWND dialog, UINT key, bool shift) { PressKey(dialog, key, shift, false); }

void Mnemonic(HWND dialog, char letter) {
  HWND focus = GetFocus() ? GetFocus() : dialog;
  PostMessageA(focus, WM_SYSCHAR, static_cast<BYTE>(letter), 1 | (1 << 29));
  PumpDialog(dialog);
}

int FocusId(HWND dialog) {
  HWND focus = GetFocus();
  return focus && IsChild(dialog, focus) ? GetDlgCtrlID(focus) : 0;
}

void MouseDown(HWND window, POINT p) { Mouse(window, WM_LBUTTONDOWN, MK_LBUTTON, p); }
void MouseMove(HWND window, POINT p) { Mouse(window, WM_MOUSEMOVE, MK_LBUTTON, p); }
void MouseUp(HWND window, POINT p) { Mouse(window, WM_LBUTTONUP, 0, p); }

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
  hwnd = CreateWindowExA(0, className, "test image", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 240,
                         160, nullptr, nullptr, instance, nullptr);
}

TestWindow::~TestWindow() {
  KX_DetachWindow(hwnd);
  DestroyWindow(hwnd);
}

Viewer::Viewer(int height) : frame(CreateHostFrame()) {
  HostPlugin = &ThePlugin;
  EXPECT_TRUE(frame && InitPlugin(5000, 1));
  SetWindowPos(frame, HWND_TOP, 20, 20, 560, height, SWP_SHOWWINDOW);
}

Viewer::~Viewer() {
  HostPlugin = nullptr;  // no exit call: the other tests keep the plug-in
  DestroyWindow(frame);
  MSG quit;  // the closed viewer asks its loop to end; the tests go on
  PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  ThePlugin.imageActivate(nullptr, 0, 0);
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

HGLOBAL Hold(HWND window, unsigned bits, uint32_t width, uint32_t height, uint32_t seed) {
  HGLOBAL image = ToGlobal(testimg::Make(bits, width, height, seed));
  KX_AttachImage(window, image);
  ThePlugin.imageActivate(window, 1, 0);
  return image;
}

std::vector<uint8_t> GlobalBytes(HGLOBAL block) {
  const auto* p = static_cast<const uint8_t*>(GlobalLock(block));
  std::vector<uint8_t> bytes(p, p + GlobalSize(block));
  GlobalUnlock(block);
  return bytes;
}

std::vector<uint8_t> EngineResult(const std::vector<uint8_t>& image,
                                  const std::function<HostBlock(HostBlock)>& engine) {
  OwnedBlock source(testimg::FromBytes(image));
  OwnedBlock result(engine(source.get()));
  if (result.get() == source.get()) source.release();
  return result ? testimg::Bytes(result.get()) : std::vector<uint8_t>{};
}

int LockCount(HGLOBAL block) { return static_cast<int>(GlobalFlags(block) & GMEM_LOCKCOUNT); }

void ExpectKept(HWND window, HGLOBAL image, const std::vector<uint8_t>& before,
                const std::string& what) {
  EXPECT_EQ(ZQ_GetHDib(window), image) << what;
  EXPECT_EQ(image ? GlobalBytes(image) : std::vector<uint8_t>{}, before) << what;
  EXPECT_EQ(image ? LockCount(image) : 0, 0) << what;
  EXPECT_TRUE(HostLog("ZQ_SetHDib").empty() && HostLog("ZQ_SetInfo").empty()) << what;
  EXPECT_FALSE(KX_ProgressVisible()) << what;
  EXPECT_TRUE(Records.live.empty()) << what;
}

COLORREF ClientPixel(HWND window, int x, int y) { return GetPixel(ScreenDC(window), x, y); }

std::vector<uint32_t> ClientPixels(HWND window) {
  RECT r;
  GetClientRect(window, &r);
  const BITMAPINFOHEADER header = {sizeof header, r.right, -r.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  MemoryDC memory;
  OwnedBitmap bitmap(CreateDIBSection(memory, reinterpret_cast<const BITMAPINFO*>(&header),
                                      DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bits) return {};
  {
    SelectedObject selected(memory, bitmap);
    BitBlt(memory, 0, 0, r.right, r.bottom, ScreenDC(window), 0, 0, SRCCOPY);
    GdiFlush();
  }
  const auto* first = static_cast<const uint32_t*>(bits);
  return {first, first + r.right * r.bottom};
}

std::string SaveScreenshot(const std::vector<HWND>& windows, const char* name) {
  RECT canvas;
  GetWindowRect(windows.front(), &canvas);
  for (HWND window : windows) {  // a message box or chooser beside the dialog is taken whole
    RECT r;
    GetWindowRect(window, &r);
    UnionRect(&canvas, &canvas, &r);
  }
  // Bottom row first, as a PackedDib stores it, so that header and rows make one for the writer.
  const LONG width = canvas.right - canvas.left, height = canvas.bottom - canvas.top;
  const DWORD pixelBytes = static_cast<DWORD>((width * 3 + 3) / 4 * 4 * height);
  const BITMAPINFOHEADER header = {sizeof header, width, height, 1, 24, BI_RGB,
                                   pixelBytes,    0,     0,      0, 0};
  void* bits = nullptr;
  MemoryDC memory;
  const auto* info = reinterpret_cast<const BITMAPINFO*>(&header);
  OwnedBitmap bitmap(CreateDIBSection(memory, info, DIB_RGB_COLORS, &bits, nullptr, 0));
  SelectedObject selected(memory, bitmap);
  for (HWND window : windows) {
    RECT r;
    GetWindowRect(window, &r);
    BitBlt(memory, r.left - canvas.left, r.top - canvas.top, r.right - r.left, r.bottom - r.top,
           ScreenDC(window, true), 0, 0, SRCCOPY);
  }
  GdiFlush();

  char exe[MAX_PATH];
  std::string path(exe, GetModuleFileNameA(nullptr, exe, sizeof exe));
  path =
      path.substr(0, path.rfind("\\bin\\")) + "\\screenshots";  // beside bin/ in the build folder
  CreateDirectoryA(path.c_str(), nullptr);
  path += "\\" + std::string(name) + ".bmp";
  std::vector<uint8_t> dib(sizeof header + pixelBytes);
  std::memcpy(dib.data(), &header, sizeof header);
  std::memcpy(dib.data() + sizeof header, bits, pixelBytes);
  std::string error;
  EXPECT_TRUE(WriteBmpFile(path, dib.data(), dib.size(), error)) << path << ": " << error;
  return path;
}

}  // namespace harness

void PluginTest::SetUp() {
  harness::ClearCalls();
  ASSERT_TRUE(harness::InitPlugin());
  harness::ClearCalls();
}

void PluginTest::TearDown() {
  EXPECT_TRUE(harness::Scripts.empty()) << "a scripted dialog never opened";
  harness::Scripts.clear();
  const harness::Calls& left = harness::Records;
  EXPECT_TRUE(left.live.empty()) << "the plug-in leaked " << left.live.size() << " block(s)";
  for (const auto& [object, call] : left.gdiObjects)
    ADD_FAILURE() << "left by the plug-in: " << call;
  for (const auto& [dc, call] : left.dcs) ADD_FAILURE() << "DC left by the plug-in: " << call;
  for (const std::string& file : left.tempFiles)
    EXPECT_EQ(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES) << "left: " << file;
  harness::Plugin().imageActivate(nullptr, 0, 0);
}

// No system error dialogs (a test must fail, never hang), then the harness around the tests.
int main(int argc, char** argv) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  harness::LetWineManageTheWindows();
  testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  harness::Start();
  const int result = RUN_ALL_TESTS();
  if (harness::CbtHook) UnhookWindowsHookEx(harness::CbtHook);
  DeleteFileA(harness::ProfileName().c_str());
  return result;
}
