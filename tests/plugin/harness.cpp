#include "tests/plugin/harness.h"

#include <commdlg.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "cli/formats/bmp_io.h"
#include "controls/color_grid.h"
#include "dib/block.h"
#include "plugin/gdi.h"
#include "plugin/plugin.h"

namespace harness {
namespace {

PluginEntryPoints ThePlugin;
// The dialog of each row of the command table (0: none).
constexpr int kDialogs[] = {
    0, 0, 0, 0, IDD_CROP, IDD_SCALE, IDD_ROTATE, IDD_FRAME, IDD_TILE_IMAGE, IDD_MASK_IMAGE};
HWND HostMain = nullptr;  // the host's main window
UINT FirstId = 0, IdStep = 1;
HHOOK CbtHook = nullptr;
Calls Records;
int BoxDepth = 0;  // message boxes of the plug-in open now
std::function<void(HWND)> BoxPhotographer;

std::multimap<int, std::function<void(HWND)>> Scripts;  // by template id, each in the order given
std::set<HWND> SeenDialogs;

// Counts a call of `function` and says whether the failure plan makes it fail; a planned failure
// sets the last error `error` (none when 0) as the real function's failure would.
bool ShouldFail(const char* function, DWORD error = 0) {
  const bool fail = Records.failures[function].count(++Records.calls[function]) > 0;
  if (fail && error) SetLastError(error);
  return fail;
}

// The shims, one row each. A row defines Real<name> (the import as IMAGE.DLL had it, set when the
// shim is installed) and <name>Shim, and lists the pair for LoadAndPatch. A required import is
// one the harness cannot work without; the others are shimmed when IMAGE.DLL imports them. A GDI
// creator (Create...) that IMAGE.DLL imports without a row here stops the run, so that nothing it
// makes goes uncounted: its row is added when the plug-in first uses it.
struct Shim {
  const char* name;
  bool required;
  std::function<void(ULONG_PTR& slot)> install;  // keeps the slot's function, puts the shim in
};
std::vector<Shim>& Shims() {
  static std::vector<Shim> table;
  return table;
}
template <typename F>
bool List(const char* name, F& real, F shim, bool required) {
  Shims().push_back({name, required, [&real, shim](ULONG_PTR& slot) {
                       real = reinterpret_cast<F>(slot);
                       slot = reinterpret_cast<ULONG_PTR>(shim);
                     }});
  return true;
}
#define IMPORT(required, name) \
  decltype(&name) Real##name;  \
  decltype(name) name##Shim;   \
  [[maybe_unused]] const bool name##Listed = List(#name, Real##name, &name##Shim, required);
#define SHIM(required, Result, name, params, ...) \
  IMPORT(required, name)                          \
  Result WINAPI name##Shim params { __VA_ARGS__ }

// clang-format off
// A function that fails as planned with `failure` (and the last error `error`), and otherwise
// records what it made (`made`, when not null) with the statement that ends the row.
#define FAILING(required, Result, name, failure, error, params, args, ...)            \
  SHIM(required, Result, name, params, if (ShouldFail(#name, error)) return failure; \
       const Result made = Real##name args; if (made) { __VA_ARGS__; } return made;)
// A creator of a GDI object or DC, failing with null; `list` is gdiObjects or dcs.
#define MADE(list, Result, name, params, args) \
  FAILING(false, Result, name, nullptr, 0, params, args, Records.list[made] = #name)
// A deleter: what it deleted or released is no longer the plug-in's.
#define DELETER(Result, name, params, args, list, handle)                \
  SHIM(false, Result, name, params, const Result done = Real##name args; \
       if (done) Records.list.erase(handle); return done;)
// A call noted by the statement that ends the row, then made.
#define NOTED(required, Result, name, params, args, ...) \
  SHIM(required, Result, name, params, __VA_ARGS__; return Real##name args;)

FAILING(true, HGLOBAL, GlobalAlloc, nullptr, ERROR_NOT_ENOUGH_MEMORY, (UINT f, SIZE_T n), (f, n),
        Records.live.insert(made))
FAILING(true, ATOM, RegisterClassA, 0, 0, (const WNDCLASSA* c), (c))
// -1: as when the dialog cannot be created.
FAILING(true, INT_PTR, DialogBoxParamA, -1, 0,
        (HINSTANCE i, LPCSTR n, HWND o, DLGPROC p, LPARAM l), (i, n, o, p, l))
// With 0 for `unique` the call creates the file.
FAILING(false, UINT, GetTempFileNameA, 0, ERROR_ACCESS_DENIED,
        (LPCSTR f, LPCSTR p, UINT unique, LPSTR path), (f, p, unique, path),
        if (unique == 0) Records.tempFiles.insert(path))
MADE(gdiObjects, HBRUSH, CreateSolidBrush, (COLORREF c), (c))
MADE(gdiObjects, HBRUSH, CreatePatternBrush, (HBITMAP b), (b))
MADE(gdiObjects, HFONT, CreateFontIndirectA, (const LOGFONTA* f), (f))
MADE(gdiObjects, HBITMAP, CreateBitmap, (int w, int h, UINT p, UINT b, const void* d),
     (w, h, p, b, d))
MADE(gdiObjects, HBITMAP, LoadBitmapA, (HINSTANCE m, LPCSTR n), (m, n))
MADE(gdiObjects, HMETAFILE, GetMetaFileA, (LPCSTR n), (n))
MADE(dcs, HDC, GetDC, (HWND w), (w))
MADE(dcs, HDC, CreateCompatibleDC, (HDC dc), (dc))
MADE(dcs, HDC, BeginPaint, (HWND w, PAINTSTRUCT* p), (w, p))
MADE(dcs, HDC, CreateMetaFileA, (LPCSTR n), (n))
DELETER(BOOL, DeleteObject, (HGDIOBJ o), (o), gdiObjects, o)
DELETER(BOOL, DeleteMetaFile, (HMETAFILE m), (m), gdiObjects, m)
DELETER(int, ReleaseDC, (HWND w, HDC dc), (w, dc), dcs, dc)
DELETER(BOOL, EndPaint, (HWND w, const PAINTSTRUCT* p), (w, p), dcs, p->hdc)
DELETER(BOOL, DeleteDC, (HDC dc), (dc), dcs, dc)
NOTED(true, HGLOBAL, GlobalFree, (HGLOBAL b), (b), Records.live.erase(b))
// The host's copies and resized images are the plug-in's to hand back or free.
SHIM(true, HGLOBAL, ZQ_CopyHDib, (HWND w), HGLOBAL b = RealZQ_CopyHDib(w); Records.live.insert(b);
     Records.live.erase(nullptr); return b;)
SHIM(true, HGLOBAL, DibResize, (HGLOBAL d, int w, int h), HGLOBAL b = RealDibResize(d, w, h);
     Records.live.insert(b); Records.live.erase(nullptr); return b;)
// A block handed to the window is the host's from then on.
NOTED(true, BOOL, ZQ_SetHDib, (HWND w, HGLOBAL b), (w, b), Records.live.erase(b))
NOTED(true, HCURSOR, SetCursor, (HCURSOR c), (c), Records.cursors.push_back(c))
NOTED(true, BOOL, ChooseColorA, (CHOOSECOLORA* c), (c), Records.chooseColor.push_back(
      testimg::Cat(c->lStructSize, " ", c->hwndOwner, std::hex, " ", c->Flags, " ", c->rgbResult,
                   " ", c->lpCustColors ? std::set(c->lpCustColors, c->lpCustColors + 16).size() : 0,
                   " ", c->lpCustColors ? *c->lpCustColors : 0)))
NOTED(false, BOOL, ChooseFontA, (CHOOSEFONTA* f), (f), Records.font = *f->lpLogFont,
      Records.chooseFont.push_back(testimg::Cat(f->lStructSize, " ", f->hwndOwner, std::hex, " ",
          f->Flags, " ", std::dec, f->lpLogFont->lfFaceName, f->lpLogFont->lfHeight)))
// A beep only needs recording: the real one is never called.
SHIM(true, BOOL, MessageBeep, (UINT type), Records.beeps.push_back(type); return TRUE;)
SHIM(true, int, MessageBoxA, (HWND owner, LPCSTR text, LPCSTR caption, UINT style),
     Records.boxes.push_back({owner, text ? text : "", caption ? caption : "", !caption, style});
     ++BoxDepth; const int result = RealMessageBoxA(owner, text, caption, style); --BoxDepth;
     return result;)
SHIM(false, BOOL, WriteFile, (HANDLE f, LPCVOID p, DWORD n, LPDWORD written, LPOVERLAPPED o),
     if (!ShouldFail("WriteFile", ERROR_DISK_FULL)) return RealWriteFile(f, p, n, written, o);
     if (written) *written = 0; return FALSE;)
// A planned failure still ends the recording, so that only the plug-in's own faults count.
SHIM(false, HMETAFILE, CloseMetaFile, (HDC dc), HMETAFILE metafile = RealCloseMetaFile(dc);
     if (metafile) Records.dcs.erase(dc);
     if (metafile && ShouldFail("CloseMetaFile")) return RealDeleteMetaFile(metafile), nullptr;
     if (metafile) Records.gdiObjects[metafile] = "CloseMetaFile"; return metafile;)
// clang-format on

// Ends the run: without its shims the harness would miss what the plug-in does.
[[noreturn]] void Stop(const std::string& why) {
  std::fprintf(stderr, "harness: IMAGE.DLL %s\n", why.c_str());
  std::abort();
}

// Loads IMAGE.DLL and points each of its imports that has a shim at the shim; a missing required
// one ends the run.
void LoadAndPatch() {
  if (!LoadPlugin("IMAGE.DLL", ThePlugin)) Stop("cannot be loaded");
  std::set<std::string> patched;
  auto* base = reinterpret_cast<BYTE*>(ThePlugin.module);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
      base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const auto& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name;
       ++d) {
    const bool gdi = _stricmp(reinterpret_cast<char*>(base + d->Name), "gdi32.dll") == 0;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(
        base + (d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk));
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const char* name = reinterpret_cast<char*>(
          reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name);
      for (const Shim& shim : Shims()) {
        if (std::strcmp(shim.name, name) != 0) continue;
        DWORD protection;
        VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection);
        shim.install(slots->u1.Function);
        VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
        patched.insert(name);
      }
      if (gdi && std::strncmp(name, "Create", 6) == 0 && !patched.count(name))
        Stop(std::string("imports ") + name + ", which no shim counts");
    }
  }
  for (const Shim& shim : Shims())
    if (shim.required && !patched.count(shim.name))
      Stop(std::string("does not import ") + shim.name);
}

std::string ClassOf(HWND window) {
  char name[16] = {};
  GetClassNameA(window, name, sizeof name);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
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
  const auto it = Scripts.lower_bound(templateId);
  if (it == Scripts.end() || it->first != templateId) {
    ADD_FAILURE() << "a dialog opened without a script (template " << templateId << ")";
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    return;
  }
  auto run = std::move(it->second);
  Scripts.erase(it);
  EXPECT_TRUE(Records.cursors.empty() || Records.cursors.back() != LoadCursorA(nullptr, IDC_WAIT))
      << "the wait cursor over dialog " << templateId;
  run(dialog);
}

LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam) {
  HWND window = reinterpret_cast<HWND>(wParam);
  if (code == HCBT_ACTIVATE && ClassOf(window) == "#32770" && SeenDialogs.insert(window).second)
    SetTimer(window, 0x5C17, 30, DialogTimer);
  else if (code == HCBT_DESTROYWND)
    SeenDialogs.erase(window);  // handles are reused
  return CallNextHookEx(CbtHook, code, wParam, lParam);
}

// Dispatches what is queued as the dialog's modal loop does, keyboard messages through the dialog
// manager (all of them plainly without a dialog).
void PumpDialog(HWND dialog) {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (IsWindow(dialog) && IsDialogMessageA(dialog, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

void Mouse(HWND window, UINT message, WPARAM buttons, POINT p) {
  SendMessageA(window, message, buttons, MAKELPARAM(p.x, p.y));
  PumpDialog(GetAncestor(window, GA_ROOT));
}

// A DIB section made with `header` (top-down when its height is below 0), selected into a memory
// DC, for reading what is on the screen.
struct Canvas {
  explicit Canvas(BitmapInfoHeader h)
      : header(h),
        bitmap(CreateDIBSection(memory, reinterpret_cast<const BITMAPINFO*>(&header),
                                DIB_RGB_COLORS, &bits, nullptr, 0)),
        selected(memory, bitmap) {}
  void Copy(HWND window, int x, int y, int width, int height, bool whole = false) {
    BitBlt(memory, x, y, width, height, ScreenDC(window, whole), 0, 0, SRCCOPY);
    GdiFlush();
  }
  BitmapInfoHeader header;
  void* bits = nullptr;
  MemoryDC memory;
  OwnedBitmap bitmap;
  SelectedObject selected;
};

// Checks that nothing the plug-in made since ClearCalls is left: no block that is neither freed
// nor the host's, no GDI object or DC, no temporary file.
void ExpectNothingLeft(const std::string& when) {
  EXPECT_TRUE(Records.live.empty()) << Records.live.size() << " block(s) left " << when;
  for (const auto& [object, call] : Records.gdiObjects) ADD_FAILURE() << call << " left " << when;
  for (const auto& [dc, call] : Records.dcs)
    ADD_FAILURE() << "the DC of " << call << " left " << when;
  for (const std::string& file : Records.tempFiles)
    EXPECT_EQ(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES)
        << file << " left " << when;
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

// Of this process's own, in the Windows folder: tests run in parallel.
std::string ProfileName() {
  char path[MAX_PATH];
  GetWindowsDirectoryA(path, sizeof path);
  return std::string(path) + "\\PT" + std::to_string(GetCurrentProcessId()) + ".INI";
}

PluginEntryPoints& Plugin() { return ThePlugin; }

HWND MainWindow() { return HostMain; }

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
  const HWND active = GetActiveWindow();
  const int result = ThePlugin.menuHandler(window, MenuId(row), value ? value : &unused);
  EXPECT_EQ(GetActiveWindow(), active) << "the keyboard not back after row " << row;
  ExpectNothingLeft(Cat("by row ", row));
  EXPECT_FALSE(KX_ProgressVisible()) << "the meter left open by row " << row;
  EXPECT_TRUE(Records.cursors.empty() || Records.cursors.back() != LoadCursorA(nullptr, IDC_WAIT))
      << "the wait cursor left by row " << row;
  return result;
}

int RunDialog(HWND window, int row, std::function<void(HWND)> script) {
  OnDialog(kDialogs[row], std::move(script));
  return RunCommand(window, row);
}

Strings HostLog(const std::string& prefix) {
  std::string text(static_cast<size_t>(KX_GetLog(nullptr, 0)), '\0');
  KX_GetLog(text.data(), static_cast<int>(text.size()));
  Strings lines;
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

void Store(const std::string& settings) {
  std::istringstream in(settings);
  for (std::string s; in >> s;)
    WritePrivateProfileStringA("Image", s.substr(0, s.find('=')).c_str(),
                               s.substr(s.find('=') + 1).c_str(), ProfileName().c_str());
}

void FailCall(const std::string& function, int n) {
  Records.failures[function].insert(Records.calls[function] + n);
}

void ExpectOneMessage(const std::string& text, UINT style, const char* caption) {
  ASSERT_EQ(Records.boxes.size(), text.empty() ? 0u : 1u) << text;
  if (text.empty()) return;
  const MessageBoxCall& b = Records.boxes[0];  // (text, on the screen, caption, owner, style)
  EXPECT_EQ(std::tuple(b.text, b.shown, b.captionNull, b.caption, b.owner, b.style),
            std::tuple(text, true, !caption, std::string(caption ? caption : ""), HWND{}, style));
}

void ExpectOneMessage(unsigned textId, UINT style, const char* caption) {
  ExpectOneMessage(textId ? TextById(textId) : "", style, caption);
}

void OnDialog(int templateId, std::function<void(HWND)> script) {
  Scripts.emplace(templateId, std::move(script));
}

void Pump(int ms) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
  do {
    PumpDialog(nullptr);
    Sleep(5);
  } while (static_cast<LONG>(GetTickCount() - end) < 0);
}

void Type(HWND dialog, int id, const std::string& text) {
  if (id) SendMessageA(dialog, WM_NEXTDLGCTL, WPARAM(GetDlgItem(dialog, id)), TRUE);
  PumpDialog(dialog);
  for (char c : text) {  // to the focus through the dialog manager, as the keyboard's are
    PostMessageA(GetFocus() ? GetFocus() : dialog, WM_CHAR, static_cast<BYTE>(c), 1);
    PumpDialog(dialog);
  }
}

void SetText(HWND dialog, int id, const std::string& text) {
  SetDlgItemTextA(dialog, id, text.c_str());
  PumpDialog(dialog);
}

void Click(HWND dialog, int id) {
  SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
  PumpDialog(dialog);
}

void Select(HWND dialog, int id, int index) {
  HWND control = GetDlgItem(dialog, id);
  const bool combo = ClassOf(control) == "combobox";
  SendMessageA(control, combo ? CB_SETCURSEL : LB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, combo ? CBN_SELCHANGE : LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(control));
  PumpDialog(dialog);
}

void Key(HWND dialog, UINT key) {
  HWND focus = GetFocus() ? GetFocus() : dialog;
  PostMessageA(focus, WM_KEYDOWN, key, 1);
  PostMessageA(focus, WM_KEYUP, key, 1 | (3u << 30));
  PumpDialog(dialog);
}

void Mnemonic(HWND dialog, char letter) {
  PostMessageA(GetFocus() ? GetFocus() : dialog, WM_SYSCHAR, static_cast<BYTE>(letter),
               1 | (1 << 29));
  PumpDialog(dialog);
}

void MouseDown(HWND window, POINT p) { Mouse(window, WM_LBUTTONDOWN, MK_LBUTTON, p); }
void MouseMove(HWND window, POINT p) { Mouse(window, WM_MOUSEMOVE, MK_LBUTTON, p); }

void ClickColorEntry(HWND chooser, unsigned bits, int entry) {
  HWND grid = GetDlgItem(chooser, IDC_COLOR_GRID);
  RECT r;
  GetClientRect(grid, &r);
  const GridCell cell = GridCellOf(MakeColorGrid(static_cast<int>(bits), r.right, r.bottom), entry);
  const POINT p = {(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
  MouseDown(grid, p);
  Mouse(grid, WM_LBUTTONUP, 0, p);
}

void PhotographDropDown(HWND dialog, int id, const char* name) {
  SendDlgItemMessageA(dialog, id, CB_SHOWDROPDOWN, TRUE, 0);
  COMBOBOXINFO combo = {};
  combo.cbSize = sizeof combo;
  GetComboBoxInfo(GetDlgItem(dialog, id), &combo);
  Pump(50);
  SaveScreenshot({dialog, combo.hwndList}, name);
  SendDlgItemMessageA(dialog, id, CB_SHOWDROPDOWN, FALSE, 0);
}

std::string Read(HWND dialog, const std::vector<int>& ids) {
  std::string shown;
  for (int id : ids) {
    HWND control = GetDlgItem(dialog, id);
    const LONG type = GetWindowLongA(control, GWL_STYLE) & BS_TYPEMASK;
    const std::string kind = ClassOf(control);
    char text[256] = {};
    GetWindowTextA(control, text, sizeof text);
    if (kind == "button" && type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON &&
        type != BS_GROUPBOX)
      shown += Cat(" ", IsWindowEnabled(control) ? "" : "-", Checked(dialog, id) ? "x" : "o");
    else if (kind == "listbox")
      shown += Cat(" ", SendMessageA(control, LB_GETCURSEL, 0, 0));
    else
      shown += Cat(" ", text);
  }
  return shown.substr(shown.empty() ? 0 : 1);
}

Action ScaleTo(int quality, uint32_t width, uint32_t height) {
  return [=](HWND d) {
    Click(d, IDC_SCALE_RESET);
    if (Checked(d, IDC_SCALE_KEEP_ASPECT)) Click(d, IDC_SCALE_KEEP_ASPECT);
    Select(d, IDC_SCALE_QUALITY, quality);
    SetText(d, IDC_SCALE_WIDTH, std::to_string(width));
    SetText(d, IDC_SCALE_HEIGHT, std::to_string(height));
    Click(d, IDOK);
  };
}

void RunSteps(HWND dialog, const std::function<std::string(HWND)>& shown,
              const std::vector<Step>& steps) {
  for (const Step& s : steps) {
    const size_t boxes = Records.boxes.size();
    if (s.message && s.shot)  // the box on the screen, over its dialog, before it is dismissed
      BoxPhotographer = [dialog, shot = s.shot](HWND box) { SaveScreenshot({dialog, box}, shot); };
    for (const Action& act : s.actions) act(dialog);
    const std::string now = shown(dialog);
    EXPECT_TRUE(s.shows.empty() || now == s.shows || now.starts_with(s.shows + " "))
        << "shows " << now << "\nwanted " << s.shows;
    ASSERT_EQ(Records.boxes.size(), boxes + (s.message != 0)) << s.shows;
    if (s.shot && !s.message) SaveScreenshot({dialog}, s.shot);
    if (!s.message) continue;
    EXPECT_EQ(Records.boxes.back().text, TextById(s.message)) << s.shows;
    Records.boxes.back().stepped = true;
    EXPECT_EQ(GetActiveWindow(), dialog) << "the keyboard back after " << s.message;
    EXPECT_EQ(IsChild(dialog, GetFocus()) ? GetDlgCtrlID(GetFocus()) : 0, s.focus)
        << "the focus after " << s.message;
  }
}

TestWindow::TestWindow(const char* className, HINSTANCE instance) {
  if (!instance) instance = GetModuleHandleA(nullptr);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = className;
  RegisterClassA(&wc);  // fails, leaving the class alone, when it exists already
  hwnd = CreateWindowExA(0, className, "test image", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 240,
                         160, nullptr, nullptr, instance, nullptr);
}

TestWindow::~TestWindow() {
  KX_DetachWindow(hwnd);
  DestroyWindow(hwnd);
}

HGLOBAL ToGlobal(HostBlock block) {
  const Bytes bytes = testimg::Bytes(OwnedBlock(block).get());
  HGLOBAL global = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  std::memcpy(GlobalLock(global), bytes.data(), bytes.size());
  GlobalUnlock(global);
  return global;
}

HGLOBAL Hold(HWND window, unsigned bits, uint32_t width, uint32_t height, uint32_t seed) {
  HGLOBAL image = ToGlobal(testimg::Make(bits, width, height, seed));
  KX_AttachImage(window, image);
  ThePlugin.imageActivate(window, 1, 0);
  return image;
}

Bytes GlobalBytes(HGLOBAL block) {
  const auto* p = static_cast<const uint8_t*>(GlobalLock(block));
  Bytes bytes(p, p + GlobalSize(block));
  GlobalUnlock(block);
  return bytes;
}

Bytes EngineResult(const Bytes& image, const std::function<HostBlock(HostBlock)>& engine) {
  OwnedBlock source(testimg::FromBytes(image));
  OwnedBlock result(engine(source.get()));
  if (result.get() == source.get()) source.release();
  return result ? testimg::Bytes(result.get()) : Bytes{};
}

void ExpectRun(const CommandRun& r, const std::string& what) {
  SCOPED_TRACE(what);
  TestWindow window;
  HGLOBAL image = r.bits ? Hold(window, r.bits, r.width, r.height, 5) : nullptr;
  if (!image) ThePlugin.imageActivate(window, 1, 0);
  ClearCalls();
  if (r.plan) r.plan(window, image);
  const Bytes before = image ? GlobalBytes(image) : Bytes{};
  if (r.script) OnDialog(kDialogs[r.row], r.script);
  DWORD value = 0;  // what the host is told of a command the plug-in took
  EXPECT_EQ(std::pair(RunCommand(window, r.row, &value), value), std::pair(2, DWORD{1}));
  Strings log;
  for (const std::string& line : HostLog())
    if (!line.starts_with("ZQ_Progress") && (line.starts_with("ZQ_") || line.starts_with("Dib")))
      log.push_back(line);
  const Bytes after = GlobalBytes(ZQ_GetHDib(window));
  const auto matches = [&](const std::string& line, const std::string& want) {
    if (want == "ZQ_SetInfo") return line == Cat("ZQ_SetInfo 24 ", int(after.at(14)));
    return want.ends_with('*') ? line.starts_with(want.substr(0, want.size() - 1)) : line == want;
  };
  EXPECT_TRUE(std::equal(log.begin(), log.end(), r.log.begin(), r.log.end(), matches))
      << testing::PrintToString(log) << "\nwanted " << testing::PrintToString(r.log);
  if (r.check) r.check(window);
  std::erase_if(Records.boxes, [](const MessageBoxCall& b) { return b.stepped; });
  ExpectOneMessage(r.message);
  EXPECT_EQ(GlobalFlags(ZQ_GetHDib(window)) & GMEM_LOCKCOUNT, 0u) << "the window's image locked";
  if (!r.engine) {  // (anything handed to the window is in the log)
    EXPECT_EQ(ZQ_GetHDib(window), image) << "the image not kept";
    EXPECT_EQ(after, before) << "the kept image changed";
    return;
  }
  EXPECT_EQ(after, EngineResult(before, r.engine));
  const HWND owners[] = {nullptr, window, HostMain};  // by r.meter
  EXPECT_EQ(HostLog("ZQ_Progress").empty() ? nullptr : KX_ProgressOwner(), owners[r.meter]);
}

COLORREF TableColor(int entry) {
  const RgbQuad c = testimg::TableEntry(static_cast<uint32_t>(entry));
  return RGB(c.rgbRed, c.rgbGreen, c.rgbBlue);
}

std::vector<uint32_t> ClientPixels(HWND window) {
  RECT r;
  GetClientRect(window, &r);
  BitmapInfoHeader header = testimg::Header(32, uint32_t(r.right), uint32_t(r.bottom), 0);
  header.biHeight = -header.biHeight;  // rows top first
  Canvas canvas(header);
  if (!canvas.bits) return {};
  canvas.Copy(window, 0, 0, r.right, r.bottom);
  const auto* first = static_cast<const uint32_t*>(canvas.bits);
  return {first, first + r.right * r.bottom};
}

void SaveScreenshot(const std::vector<HWND>& windows, const char* name) {
  RECT all, r;
  GetWindowRect(windows.front(), &all);
  for (HWND window : windows)  // a message box or chooser beside the dialog is taken whole
    GetWindowRect(window, &r), UnionRect(&all, &all, &r);
  // Bottom row first, as a PackedDib stores it, so that header and rows make one for the writer.
  Canvas canvas(
      testimg::Header(24, uint32_t(all.right - all.left), uint32_t(all.bottom - all.top), 0));
  for (HWND window : windows) {
    GetWindowRect(window, &r);
    canvas.Copy(window, r.left - all.left, r.top - all.top, r.right - r.left, r.bottom - r.top,
                true);
  }
  char exe[MAX_PATH];
  std::string path(exe, GetModuleFileNameA(nullptr, exe, sizeof exe));
  path = path.substr(0, path.rfind("\\bin\\")) + "\\screenshots";  // beside bin/, in the build
  CreateDirectoryA(path.c_str(), nullptr);
  path += "\\" + std::string(name) + ".bmp";
  Bytes dib(sizeof canvas.header + canvas.header.biSizeImage);
  std::memcpy(dib.data(), &canvas.header, sizeof canvas.header);
  std::memcpy(dib.data() + sizeof canvas.header, canvas.bits, canvas.header.biSizeImage);
  std::string error;
  EXPECT_TRUE(WriteBmpFile(path, dib.data(), dib.size(), error)) << path << ": " << error;
}

}  // namespace harness

void PluginTest::SetUp() {
  SetCursorPos(1270, 1010);  // the pointer away from every dialog, where it changes nothing
  harness::Plugin().exit();  // it saves settings, which the store then loses
  FreeLibrary(harness::Plugin().module);
  FileDelete(harness::ProfileName().c_str());
  harness::LoadAndPatch();
  harness::ClearCalls();
  ASSERT_TRUE(harness::InitPlugin());
  harness::ClearCalls();
}

void PluginTest::TearDown() {
  EXPECT_TRUE(harness::Scripts.empty()) << "a scripted dialog never opened";
  harness::Scripts.clear();
  harness::ExpectNothingLeft("at the end");
  harness::Plugin().imageActivate(nullptr, 0, 0);
}

// No system error dialogs (a test must fail, never hang), then the harness around the tests.
int main(int argc, char** argv) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  harness::Start();
  const int result = RUN_ALL_TESTS();
  if (harness::CbtHook) UnhookWindowsHookEx(harness::CbtHook);
  DeleteFileA(harness::ProfileName().c_str());
  return result;
}
