// Module-wide state of the plug-in and the services it offers its commands: the module instance,
// the host's main window, the active image window, the busy flag, the wait cursor, the command
// table and the window-class registration rule. The command frame and the wait cursor's scope are
// in plugin/dialog.h.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// Source of every resource (strings, dialogs, icon, cursors) and instance of the window classes.
extern HINSTANCE ModuleInstance;
// The host's main window, given to ZQ_ImgLib_Init: owner of the resampling and rotation meters.
extern HWND HostMainWindow;
// The window every table command acts on; null when the active window is not a usable image
// window. Changed only by ZQ_ImgLib_ImageActivate.
extern HWND ActiveImageWindow;
// 1 exactly while a command runs.
extern int CommandBusy;

// The system's wait cursor, loaded at start-up; shown through WaitCursorScope.
extern HCURSOR WaitCursor;

// Every text loaded from the string table goes into a buffer of this size.
constexpr int kTextBufferSize = 128;
// Text `textId` of the module's string table as such a buffer holds it; empty when there is none.
// The one way the plug-in loads its texts.
std::string LoadText(unsigned textId);

// A command procedure of the menu: takes the image window it acts on, returns nothing.
using CommandHandler = void (*)(HWND window);

// One row of the menu. menuId is 0 until ZQ_ImgLib_Init reserves an id for the row. A row with
// menuTextId 0 is the separator. A row without a handler is shown in the menu but not dispatched
// (its command is not part of this build yet).
struct CommandEntry {
  uint16_t menuId;
  uint16_t helpTextId;
  uint16_t menuTextId;
  CommandHandler handler;
};

constexpr int kCommandCount = 10;
extern CommandEntry CommandTable[kCommandCount];

// The two host requests with fixed ids (4121 scale settings, 4122 rescale a given window). Null
// until the scale commands provide them; the menu handler then reports the ids as not handled.
extern int (*const ScaleSettingsHandler)(HWND hostWindow);
extern void (*const HostScaleHandler)(HWND hostWindow, HWND imageWindow);

// Registers a window class of the plug-in by the start-up rule: register; if that fails (a class
// of that name is left from an earlier start), unregister the name for ModuleInstance and register
// once more; if that fails too, show IDS_INIT_CANNOT_LOAD. Returns the result of the last attempt.
ATOM RegisterPluginClass(const WNDCLASSA& windowClass);

// The classes the plug-in registers at start-up, in order (each calls RegisterPluginClass).
ATOM CRP_RegisterClass();
ATOM COL_RegisterColorCtrl();
ATOM STA_RegisterStatColorCtrl();
