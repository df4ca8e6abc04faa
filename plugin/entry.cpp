// The entry points of IMAGE.DLL: start-up, activation, menu state, dispatch with its busy guard,
// status-line help, shut-down; and the class registration rule.
#include "plugin/entry_points.h"

#include <cstring>

#include "dib/host_port.h"
#include "plugin/host_api.h"
#include "plugin/plugin.h"
#include "plugin/settings.h"
#include "resources/ids.h"
#include "resources/text_ids.h"

HINSTANCE ModuleInstance = nullptr;
HWND HostMainWindow = nullptr;
HWND ActiveImageWindow = nullptr;
int CommandBusy = 0;
HCURSOR WaitCursor = nullptr;

namespace {

HMENU PluginMenu = nullptr;

// Host window flags that make a window unusable for the commands, tested in this order.
constexpr int IneligibleFlags[] = {kFlagIneligible64, kFlagIneligible512, kFlagIneligible1024};

bool HasIneligibleFlag(HWND window) {
  for (int flag : IneligibleFlags)
    if (ZQ_GetFlag(window, flag)) return true;
  return false;
}

// The classes registered at start-up, in order.
using ClassRegistration = ATOM (*)();
const ClassRegistration ClassRegistrations[] = {CRP_RegisterClass, COL_RegisterColorCtrl,
                                                STA_RegisterStatColorCtrl};

const CommandEntry& FirstRow() { return CommandTable[0]; }
const CommandEntry& LastRow() { return CommandTable[kCommandCount - 1]; }

// The row whose reserved id is `id`, or null; ids outside the range of ours are not searched.
const CommandEntry* FindRow(UINT id) {
  if (id == 0 || id < FirstRow().menuId || id > LastRow().menuId) return nullptr;
  for (const CommandEntry& row : CommandTable)
    if (row.menuId == id) return &row;
  return nullptr;
}

// A menu-handler call that arrives while a command runs (from a message loop inside it) moves the
// host's queue on by one message, so that the loop it came from does not stall, and never starts
// a second command. A quit message is left for the host's own loop.
void PumpOneMessage() {
  MSG msg;
  if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return;
  if (msg.message == WM_QUIT) {
    PostMessageA(msg.hwnd, msg.message, msg.wParam, msg.lParam);
    return;
  }
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) ModuleInstance = instance;
  return TRUE;
}

ATOM RegisterPluginClass(const WNDCLASSA& windowClass) {
  ATOM atom = RegisterClassA(&windowClass);
  if (atom) return atom;
  UnregisterClassA(windowClass.lpszClassName, ModuleInstance);
  atom = RegisterClassA(&windowClass);
  if (!atom) HP_ShowMessage(IDS_INIT_CANNOT_LOAD);
  return atom;
}

extern "C" {

BOOL WINAPI ZQ_ImgLib_Version(UINT version, LPARAM, LPARAM) {
  const UINT v = LOWORD(version);
  // These two are built into the code: they must show even when the host cannot use our strings.
  if (HIBYTE(v) != 1) {
    MessageBoxA(nullptr, "Image: Incorrect version number (1)", nullptr, 0);
    return 0;
  }
  if (LOBYTE(v) != 1) {
    MessageBoxA(nullptr, "Image: Incorrect version number (2)", nullptr, 0);
    return 0;
  }
  return 1;
}

BOOL WINAPI ZQ_ImgLib_Init(LPARAM, HWND hostMainWindow) {
  // The engines' row loops are left at one thread (SetRowWorkers is never called here): the
  // host's progress meter and messages belong to the thread that called the plug-in, and the
  // 32-bit host's address space is not the plug-in's to spend on per-thread buffers.
  HostMainWindow = hostMainWindow;

  PluginMenu = ZQ_ReserveMenu(1);
  if (!PluginMenu) {
    HP_ShowMessage(IDS_INIT_NO_MENU);
    return 0;
  }
  for (CommandEntry& row : CommandTable) {
    if (row.menuTextId == 0) {
      AppendMenuA(PluginMenu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    const UINT id = ZQ_ReserveMenuId();
    row.menuId = static_cast<uint16_t>(id);
    if (row.menuId == 0) {
      PluginMenu = nullptr;  // rows already appended stay in the host's menu
      HP_ShowMessage(IDS_INIT_NO_MENU_ID);
      return 0;
    }
    AppendMenuA(PluginMenu, MF_STRING, row.menuId, LoadText(row.menuTextId).c_str());
  }

  WaitCursor = LoadCursorA(nullptr, IDC_WAIT);

  LoadScaleSettings(kSettingsSection);
  LoadFrameSettings(kSettingsSection);
  LoadMaskSettings(kSettingsSection);
  LoadTileSettings(kSettingsSection);

  ATOM registered = 0;
  for (auto registerClass : ClassRegistrations) {
    registered = registerClass();
    if (!registered) break;
  }
  return registered != 0;
}

BOOL WINAPI ZQ_ImgLib_ImageActivate(HWND window, UINT activating, LPARAM) {
  if (LOWORD(activating) == 0 || HasIneligibleFlag(window)) {
    ActiveImageWindow = nullptr;
    return 1;
  }
  char className[32] = {};
  GetClassNameA(window, className, sizeof className);
  ActiveImageWindow = std::strcmp(className, kImageWindowClass) == 0 ? window : nullptr;
  return 1;
}

BOOL WINAPI ZQ_ImgLib_MenuInit(LPARAM, HMENU menu, LPARAM) {
  const bool usable =
      ActiveImageWindow && ZQ_GetHDib(ActiveImageWindow) && !HasIneligibleFlag(ActiveImageWindow);
  for (const CommandEntry& row : CommandTable)
    EnableMenuItem(menu, row.menuId, MF_BYCOMMAND | (usable ? MF_ENABLED : MF_GRAYED));
  return 1;
}

int WINAPI ZQ_ImgLib_MenuHandler(HWND window, UINT command, DWORD* value) {
  const UINT id = LOWORD(command);
  if (CommandBusy || (!ActiveImageWindow && id != ScaleSettingsCommandId)) {
    if (CommandBusy) PumpOneMessage();
    return 0;
  }
  CommandBusy = 1;
  int result = 0;
  if (id == ScaleSettingsCommandId) {
    if (ScaleSettingsHandler) {
      ScaleSettingsHandler(window);
      result = 2;
    }
  } else if (id == HostScaleCommandId) {
    if (HostScaleHandler && value) {
      // The value names the image window as a 32-bit handle; handles are sign-extended on 64 bits.
      HostScaleHandler(window, static_cast<HWND>(LongToHandle(static_cast<LONG>(*value))));
      result = 2;
    }
  } else if (const CommandEntry* row = FindRow(id); row && row->handler) {
    row->handler(ActiveImageWindow);
    if (value) *value = 1;
    result = 2;
  }
  CommandBusy = 0;
  return result;
}

int WINAPI ZQ_ImgLib_HelpHandler(LPARAM, UINT command, UINT selector, DWORD* out) {
  const CommandEntry* row = LOWORD(selector) == 0 ? FindRow(LOWORD(command)) : nullptr;
  if (!row) return 0;
  ZQ_StatusText(LoadText(row->helpTextId).c_str());
  if (out) *out = 1;
  return 2;
}

BOOL WINAPI ZQ_ImgLib_QueryExit(void) { return 1; }

void WINAPI ZQ_ImgLib_Exit(void) {
  SaveFrameSettings(kSettingsSection);
  SaveMaskSettings(kSettingsSection);
  SaveTileSettings(kSettingsSection);
}

HICON WINAPI ZQ_ImgLib_Icon(void) { return LoadIconA(ModuleInstance, MAKEINTRESOURCEA(IDI_IMAGE)); }

void WINAPI WEP(LPARAM) {}

}  // extern "C"
