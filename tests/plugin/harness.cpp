#include "tests/plugin/harness.h"

#include <commdlg.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "cli/bmp_io.h"
#include "host/korvex.h"
#include "plugin/host_api.h"
#include "plugin/plugin.h"
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
HWND MainWindow = nullptr;
UINT FirstId = 0, IdStep = 1;
HHOOK CbtHook = nullptr;
Calls Records;
int BoxDepth = 0;  // message boxes of the plug-in open now

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
decltype(&MessageBeep) RealMessageBeep;  // never called: a beep only needs recording
decltype(&ChooseColorA) RealChooseColorA;

HGLOBAL WINAPI GlobalAllocShim(UINT flags, SIZE_T bytes) {
  if (++Records.allocs == Records.failAlloc) {
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

int WINAPI MessageBoxShim(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
  Records.boxes.push_back({owner, text ? text : "", caption == nullptr, style, false});
  ++BoxDepth;
  const int result = RealMessageBoxA(owner, text, caption, style);
  --BoxDepth;
  return result;
}

ATOM WINAPI RegisterClassShim(const WNDCLASSA* windowClass) {
  const auto& fail = Records.failRegister;
  if (std::count(fail.begin(), fail.end(), ++Records.registers)) return 0;
  return RealRegisterClassA(windowClass);
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

// Points the plug-in's import of `dll`!`name` at `replacement` and sets `original` to the old one.
template <typename F>
void Patch(const char* dll, const char* name, F& original, F replacement) {
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
      return;
    }
  }
  std::fprintf(stderr, "harness: IMAGE.DLL does not import %s!%s\n", dll, name);
  std::abort();
}

// Runs from the dialog's own message loop, shortly after it became active: dismisses the
// plug-in's message box, or runs the dialog's script.
void CALLBACK DialogTimer(HWND dialog, UINT, UINT_PTR id, DWORD) {
  KillTimer(dialog, id);
  const int templateId = static_cast<int>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  if (BoxDepth > 0 && templateId == 0 && !Records.boxes.back().shown) {
    Records.boxes.back().shown = true;
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
  Patch("USER32.dll", "MessageBeep", RealMessageBeep, MessageBeepShim);
  Patch("comdlg32.dll", "ChooseColorA", RealChooseColorA, ChooseColorShim);
  CbtHook = SetWindowsHookExA(WH_CBT, CbtProc, nullptr, GetCurrentThreadId());
  KX_SetProfilePath(ProfileName().c_str());
  FileDelete(ProfileName().c_str());
  MainWindow = CreateWindowExA(0, "STATIC", "Host main window", WS_OVERLAPPED, 0, 0, 100, 50,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

}  // namespace

PluginEntryPoints& Plugin() { return ThePlugin; }

BOOL InitPlugin(UINT first, UINT step) {
  KX_SetMenuIds(first, step);
  FirstId = first;
  IdStep = step;
  return ThePlugin.init(0, MainWindow);
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
  for (int point : {KX_FAIL_COPY, KX_FAIL_MENU, KX_FAIL_MENU_ID}) KX_FailCall(point, 0);
  KX_ClearLog();
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
  // Bottom row first, as a PackedDib stores it, so that header and rows make one for the writer.
  const LONG width = canvas.right - canvas.left, height = canvas.bottom - canvas.top;
  const DWORD pixelBytes = static_cast<DWORD>((width * 3 + 3) / 4 * 4 * height);
  const BITMAPINFOHEADER header = {sizeof header, width, height, 1, 24, BI_RGB,
                                   pixelBytes,    0,     0,      0, 0};
  void* bits = nullptr;
  HDC memory = CreateCompatibleDC(nullptr);
  const auto* info = reinterpret_cast<const BITMAPINFO*>(&header);
  HBITMAP bitmap = CreateDIBSection(memory, info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  for (HWND window : windows) {
    RECT r;
    GetWindowRect(window, &r);
    HDC dc = GetWindowDC(window);
    BitBlt(memory, r.left - canvas.left, r.top - canvas.top, r.right - r.left, r.bottom - r.top, dc,
           0, 0, SRCCOPY);
    ReleaseDC(window, dc);
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
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
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
  EXPECT_TRUE(harness::Records.live.empty()) << "the plug-in leaked a block";
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
