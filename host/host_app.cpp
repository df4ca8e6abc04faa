#include "host/host_app.h"

#include <commdlg.h>

#include <algorithm>
#include <cstring>

#include "cli/formats/bmp_io.h"
#include "dib/block.h"
#include "host/korvex.h"
#include "plugin/gdi.h"
#include "plugin/host_api.h"
#include "resources/ids.h"

PluginEntryPoints* HostPlugin = nullptr;

namespace {

constexpr char kFrameClass[] = "HostFrame";
constexpr UINT kOpenCommand = 100;
constexpr UINT kExitCommand = 101;
constexpr UINT kCascadeCommand = 102;
constexpr UINT kTileCommand = 103;
constexpr UINT kSaveAsCommand = 104;
constexpr UINT kScaleSettingsCommand = 105;
constexpr UINT kRescaleCommand = 106;
constexpr UINT kColourScalingCommand = 107;
constexpr UINT kFirstChildId = 0xFF00;  // MDI numbers its windows from here in the Window menu

// A movable global block locked for the guard's lifetime.
class LockedGlobal {
 public:
  explicit LockedGlobal(HGLOBAL block)
      : block_(block), data_(block ? static_cast<uint8_t*>(GlobalLock(block)) : nullptr) {}
  ~LockedGlobal() {
    if (data_) GlobalUnlock(block_);
  }
  LockedGlobal(const LockedGlobal&) = delete;
  LockedGlobal& operator=(const LockedGlobal&) = delete;
  uint8_t* get() const { return data_; }
  explicit operator bool() const { return data_ != nullptr; }

 private:
  HGLOBAL block_;
  uint8_t* data_;
};

HWND MdiClient = nullptr;
HWND StatusLine = nullptr;
constexpr int kStatusHeight = 22;

template <typename F>
bool Find(HMODULE module, const char* name, F& function) {
  function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return function != nullptr;
}

HWND ActiveImage() {
  return MdiClient ? reinterpret_cast<HWND>(SendMessageA(MdiClient, WM_MDIGETACTIVE, 0, 0))
                   : nullptr;
}

void SetStatus(const char* text) {
  if (StatusLine) SetWindowTextA(StatusLine, text);
}

// The common file dialog's settings for a BMP file named into `path` (MAX_PATH characters).
OPENFILENAMEA BmpFileDialog(HWND frame, char* path, DWORD flags) {
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = frame;
  ofn.lpstrFilter = "Bitmaps (*.bmp)\0*.bmp\0All files\0*.*\0";
  ofn.lpstrFile = path;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrDefExt = "bmp";
  ofn.Flags = flags | OFN_HIDEREADONLY;
  return ofn;
}

void OpenFiles(HWND frame) {
  char path[MAX_PATH] = {};
  OPENFILENAMEA ofn = BmpFileDialog(frame, path, OFN_FILEMUSTEXIST);
  if (GetOpenFileNameA(&ofn)) OpenPictureFile(frame, path);
}

// Writes the active window's image as a BMP file chosen in the common save dialog, whole or not
// at all.
void SaveImageAs(HWND frame) {
  HWND window = ActiveImage();
  HGLOBAL dib = window ? ZQ_GetHDib(window) : nullptr;
  if (!dib) return;  // the item is greyed without an image
  char path[MAX_PATH] = {};
  OPENFILENAMEA ofn = BmpFileDialog(frame, path, OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST);
  if (!GetSaveFileNameA(&ofn)) return;
  LockedGlobal image(dib);
  std::string error;
  if (!image || !WriteBmpFile(path, image.get(), GlobalSize(dib), error))
    MessageBoxA(frame,
                (std::string(path) + ": " + (image ? error : "the image cannot be read")).c_str(),
                "Host", MB_OK | MB_ICONERROR);
}

// The outer size of an image window for an image of `image` pixels: at least wide enough for the
// title bar, at most the whole workspace (a bigger image is cut).
SIZE ImageWindowSize(SIZE image) {
  RECT r = {0, 0, std::clamp<LONG>(image.cx, 240, 640), std::clamp<LONG>(image.cy, 120, 400)};
  AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_MDICHILD);
  return {r.right - r.left, r.bottom - r.top};
}

// The host's own scale requests: the stored scale settings (with the active image window, or none),
// and the active window rescaled from them (named in the request's parameter block).
void SendScaleRequest(UINT command) {
  if (!HostPlugin) return;
  const HWND window = ActiveImage();
  DWORD block[2] = {static_cast<DWORD>(reinterpret_cast<UINT_PTR>(window)), 0};
  HostPlugin->menuHandler(window, command, block);
}

void ToggleColourScaling() {
  if (HWND window = ActiveImage())
    KX_SetFlag(window, kFlagColorImage, !KX_GetFlag(window, kFlagColorImage));
}

// Menu choices the host does not own go to the plug-in with the active image window.
LRESULT OnCommand(HWND frame, WPARAM wParam, LPARAM lParam) {
  switch (LOWORD(wParam)) {
    case kScaleSettingsCommand:
      SendScaleRequest(ScaleSettingsCommandId);
      return 0;
    case kRescaleCommand:
      SendScaleRequest(HostScaleCommandId);
      return 0;
    case kColourScalingCommand:
      ToggleColourScaling();
      return 0;
    case kOpenCommand:
      OpenFiles(frame);
      return 0;
    case kSaveAsCommand:
      SaveImageAs(frame);
      return 0;
    case kExitCommand:
      SendMessageA(frame, WM_CLOSE, 0, 0);
      return 0;
    case kCascadeCommand:
      SendMessageA(MdiClient, WM_MDICASCADE, 0, 0);
      return 0;
    case kTileCommand:
      SendMessageA(MdiClient, WM_MDITILE, MDITILE_VERTICAL, 0);
      return 0;
  }
  if (HostPlugin) {
    HWND window = ActiveImage();
    const SIZE before = KX_ImageSize(window);
    DWORD value = 0;
    if (HostPlugin->menuHandler(window, LOWORD(wParam), &value) == 2) {
      // A command that changed the image's size refits its window by the opening rule, so that a
      // quarter turn of a landscape picture is seen whole.
      const SIZE after = KX_ImageSize(window);
      if (window && (after.cx != before.cx || after.cy != before.cy)) {
        const SIZE outer = ImageWindowSize(after);
        SetWindowPos(window, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER);
      }
      return 0;
    }
  }
  return DefFrameProcA(frame, MdiClient, WM_COMMAND, wParam, lParam);
}

void OnMenuSelect(WPARAM wParam, LPARAM lParam) {
  const UINT flags = HIWORD(wParam);
  if (flags == 0xFFFF && lParam == 0) {  // the menu closed
    SetStatus("Ready");
    return;
  }
  DWORD handled = 0;
  // Selector 0 is a command item; popups and separators are not the plug-in's to describe.
  const UINT selector = (flags & (MF_POPUP | MF_SEPARATOR)) ? 1 : 0;
  if (!HostPlugin || HostPlugin->helpHandler(0, LOWORD(wParam), selector, &handled) != 2)
    SetStatus("");
}

LRESULT CALLBACK FrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      CLIENTCREATESTRUCT ccs = {};
      HMENU bar = GetMenu(frame);
      ccs.hWindowMenu = GetSubMenu(bar, GetMenuItemCount(bar) - 1);
      ccs.idFirstChild = kFirstChildId;
      MdiClient = CreateWindowExA(WS_EX_CLIENTEDGE, "MDICLIENT", nullptr,
                                  WS_CHILD | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL | WS_VISIBLE,
                                  0, 0, 0, 0, frame, nullptr, GetModuleHandleA(nullptr), &ccs);
      StatusLine =
          CreateWindowExA(0, "STATIC", "Ready", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_SUNKEN, 0, 0,
                          0, 0, frame, nullptr, GetModuleHandleA(nullptr), nullptr);
      return 0;
    }
    case WM_SIZE: {
      const int width = LOWORD(lParam), height = HIWORD(lParam);
      MoveWindow(MdiClient, 0, 0, width, height - kStatusHeight, TRUE);
      MoveWindow(StatusLine, 0, height - kStatusHeight, width, kStatusHeight, TRUE);
      return 0;
    }
    case WM_COMMAND:
      return OnCommand(frame, wParam, lParam);
    case WM_MENUSELECT:
      OnMenuSelect(wParam, lParam);
      return 0;
    case WM_INITMENUPOPUP: {
      const HMENU menu = reinterpret_cast<HMENU>(wParam);
      const HWND image = ActiveImage();
      for (UINT item : {kSaveAsCommand, kRescaleCommand, kColourScalingCommand})
        EnableMenuItem(menu, item, MF_BYCOMMAND | (image ? MF_ENABLED : MF_GRAYED));
      CheckMenuItem(
          menu, kColourScalingCommand,
          MF_BYCOMMAND | (image && KX_GetFlag(image, kFlagColorImage) ? MF_CHECKED : MF_UNCHECKED));
      // The plug-in greys or enables its own ids; in any other popup it finds none of them.
      if (HostPlugin) HostPlugin->menuInit(0, reinterpret_cast<HMENU>(wParam), 0);
      return 0;
    }
    case WM_CLOSE:
      if (HostPlugin && !HostPlugin->queryExit()) return 0;
      if (HostPlugin) HostPlugin->exit();
      HostPlugin = nullptr;
      DestroyWindow(frame);
      return 0;
    case WM_DESTROY:
      KX_SetFrame(nullptr, nullptr);
      MdiClient = StatusLine = nullptr;
      PostQuitMessage(0);
      return 0;
  }
  return DefFrameProcA(frame, MdiClient, message, wParam, lParam);
}

LRESULT CALLBACK ImageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_MDIACTIVATE:
      if (HostPlugin)
        HostPlugin->imageActivate(window, reinterpret_cast<HWND>(lParam) == window ? 1 : 0, 0);
      break;
    case WM_PAINT:
      KX_PaintWindow(window, PaintScope(window));
      return 0;
    case WM_DESTROY:
      KX_DetachWindow(window);
      break;
  }
  return DefMDIChildProcA(window, message, wParam, lParam);
}

bool RegisterClasses() {
  static bool done = false;
  if (done) return true;
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = FrameProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
  wc.lpszClassName = kFrameClass;
  if (!RegisterClassA(&wc)) return false;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = ImageProc;
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
  wc.lpszClassName = kImageWindowClass;
  // A plain class of that name made earlier in this program (the tests' image windows, when no
  // window of it is left) gives way to the viewer's.
  UnregisterClassA(kImageWindowClass, instance);
  done = RegisterClassA(&wc) != 0;
  return done;
}

}  // namespace

bool LoadPlugin(const char* path, PluginEntryPoints& plugin) {
  plugin = PluginEntryPoints{};
  HMODULE module = LoadLibraryA(path);
  if (!module) return false;
  const bool found = Find(module, "ZQ_ImgLib_Version", plugin.version) &&
                     Find(module, "ZQ_ImgLib_Init", plugin.init) &&
                     Find(module, "ZQ_ImgLib_ImageActivate", plugin.imageActivate) &&
                     Find(module, "ZQ_ImgLib_MenuInit", plugin.menuInit) &&
                     Find(module, "ZQ_ImgLib_MenuHandler", plugin.menuHandler) &&
                     Find(module, "ZQ_ImgLib_HelpHandler", plugin.helpHandler) &&
                     Find(module, "ZQ_ImgLib_QueryExit", plugin.queryExit) &&
                     Find(module, "ZQ_ImgLib_Exit", plugin.exit) &&
                     Find(module, "ZQ_ImgLib_Icon", plugin.icon) && Find(module, "WEP", plugin.wep);
  if (!found) {
    FreeLibrary(module);
    plugin = PluginEntryPoints{};
    return false;
  }
  plugin.module = module;
  return true;
}

HGLOBAL ReadPictureFile(const char* path, std::string& error) {
  OwnedBlock image(ReadBmpFile(path, error));
  BlockLock source(image.get());
  if (!source) return nullptr;
  const size_t size = HP_Size(image.get());
  HGLOBAL dib = GlobalAlloc(GMEM_MOVEABLE, size);
  LockedGlobal dest(dib);
  if (!dest) {
    GlobalFree(dib);
    error = "not enough memory for the image";
    return nullptr;
  }
  std::memcpy(dest.get(), source.get(), size);
  return dib;
}

bool OpenPictureFile(HWND frame, const char* path) {
  std::string error;
  HGLOBAL dib = ReadPictureFile(path, error);
  if (!dib) {
    MessageBoxA(frame, (std::string(path) + ": " + error).c_str(), "Host", MB_OK | MB_ICONERROR);
    return false;
  }
  return OpenImageWindow(frame, path, dib) != nullptr;
}

HWND CreateHostFrame() {
  if (!RegisterClasses()) return nullptr;
  HMENU bar = CreateMenu();
  HMENU file = CreatePopupMenu();
  AppendMenuA(file, MF_STRING, kOpenCommand, "&Open...");
  AppendMenuA(file, MF_STRING, kSaveAsCommand, "Save &As...");
  AppendMenuA(file, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(file, MF_STRING, kExitCommand, "E&xit");
  HMENU window = CreatePopupMenu();
  AppendMenuA(window, MF_STRING, kCascadeCommand, "&Cascade");
  AppendMenuA(window, MF_STRING, kTileCommand, "&Tile");
  HMENU options = CreatePopupMenu();
  AppendMenuA(options, MF_STRING, kScaleSettingsCommand, "&Scale Settings...");
  AppendMenuA(options, MF_STRING, kRescaleCommand, "&Rescale Image");
  AppendMenuA(options, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(options, MF_STRING, kColourScalingCommand, "&Colour Scaling");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(options), "&Options");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(window), "&Window");
  HWND frame = CreateWindowExA(0, kFrameClass, "Host - Image Viewer",
                               WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                               720, 540, nullptr, bar, GetModuleHandleA(nullptr), nullptr);
  if (frame) KX_SetFrame(frame, StatusLine);
  return frame;
}

HWND OpenImageWindow(HWND frame, const char* title, HGLOBAL dib) {
  (void)frame;
  const auto* h = static_cast<const BITMAPINFOHEADER*>(GlobalLock(dib));
  const SIZE size = ImageWindowSize(h ? SIZE{h->biWidth, h->biHeight} : SIZE{0, 0});
  GlobalUnlock(dib);
  const char* name = std::strrchr(title, '\\');
  if (const char* slash = std::strrchr(title, '/'); slash && (!name || slash > name)) name = slash;
  title = name ? name + 1 : title;
  HWND window = CreateWindowExA(
      WS_EX_MDICHILD, kImageWindowClass, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT,
      CW_USEDEFAULT, size.cx, size.cy, MdiClient, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (window)
    KX_AttachImage(window, dib);
  else
    GlobalFree(dib);
  return window;
}

bool StartPlugin(HWND frame, const char* path, PluginEntryPoints& plugin) {
  if (!LoadPlugin(path, plugin)) return false;
  if (!plugin.version(kHostInterfaceVersion, 0, 0) || !plugin.init(0, frame)) {
    FreeLibrary(plugin.module);
    plugin = PluginEntryPoints{};
    return false;
  }
  HostPlugin = &plugin;
  return true;
}

int RunHostLoop(HWND frame) {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (MdiClient && TranslateMDISysAccel(MdiClient, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  (void)frame;
  return static_cast<int>(msg.wParam);
}
