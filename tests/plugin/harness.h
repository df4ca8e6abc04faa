// The Windows test harness: IMAGE.DLL loaded the way host.exe loads it, the stand-in host's call
// log, the plug-in's own system calls recorded and failed on request (its import table is
// patched), message boxes shown and dismissed, dialogs driven by scripts, and screenshots.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "dib/host_port.h"
#include "host/host_app.h"
#include "plugin/host_api.h"

namespace harness {

using Strings = std::vector<std::string>;

PluginEntryPoints& Plugin();
// Re-initialises the plug-in with menu ids first, first + step, ...; returns Init's result.
BOOL InitPlugin(UINT first = 5000, UINT step = 1);
// Unloads IMAGE.DLL and loads, patches and initialises it afresh (its module-wide state back to
// the first use), with the menu ids of the last InitPlugin and cleared records.
BOOL ReloadPlugin();
// The host's main window given to the plug-in's Init.
HWND MainWindow();
// The id reserved for CommandTable row `row` by the last InitPlugin (0 for the separator, row 3).
UINT MenuId(int row);
// Runs the menu command of `row` for `window` and returns the handler's result.
int RunCommand(HWND window, int row, DWORD* value = nullptr);
// The plug-in's export `name` as a function of type F (decltype(&name) for a declared one).
template <typename F>
F Export(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(Plugin().module, name)));
}
// The stand-in host's call log since KX_ClearLog: the lines starting with `prefix`.
std::vector<std::string> HostLog(const std::string& prefix = "");

// A message box of the plug-in: its arguments, and whether it came up on the screen.
struct MessageBoxCall {
  HWND owner = nullptr;
  std::string text;
  std::string caption;  // "" for a null caption too
  bool captionNull = false;
  UINT style = 0;
  bool shown = false;
};
// The system colour dialog's structure as the plug-in filled it, with its custom colours.
struct ChooseColorCall {
  DWORD size = 0;
  HWND owner = nullptr;
  COLORREF initial = 0;
  DWORD flags = 0;
  std::vector<COLORREF> custom;
};
// The system font dialog's structure and font as the plug-in filled them, before the dialog ran.
struct ChooseFontCall {
  DWORD size = 0;
  HWND owner = nullptr;
  DWORD flags = 0;
  LOGFONTA font = {};
};
// What the plug-in did through its own system calls since the last ClearCalls.
struct Calls {
  std::vector<MessageBoxCall> boxes;
  // Calls made of each shimmed function, and the planned failures: the calls of a function (counted
  // from 1) that fail as the real one fails (DialogBoxParamA as when the dialog cannot be made).
  std::map<std::string, int> calls;
  std::map<std::string, std::set<int>> failures;
  std::set<HGLOBAL> live;  // allocated and not yet freed nor handed to the host with ZQ_SetHDib
  std::vector<HGLOBAL> frees;
  // GDI objects and DCs that the plug-in made and has not deleted or released yet, with the call
  // that made each; and the files GetTempFileNameA made.
  std::map<HANDLE, std::string> gdiObjects;
  std::map<HDC, std::string> dcs;
  std::set<std::string> tempFiles;
  std::vector<HCURSOR> cursors;  // SetCursor's arguments, in order
  std::vector<UINT> beeps;       // MessageBeep's arguments
  std::vector<ChooseColorCall> chooseColor;
  std::vector<ChooseFontCall> chooseFont;
};
Calls& Recorded();
// Clears Recorded(), the host's planned failures and its log.
void ClearCalls();
// Plans the `n`-th call from now (1 = the next) of the plug-in's `function` to fail.
void FailCall(const std::string& function, int n);
// Checks that the plug-in showed exactly one message box since ClearCalls: `text` with the
// default caption and no owner, in `style`.
void ExpectOneMessage(const std::string& text, UINT style = MB_TASKMODAL);
void ExpectOneMessage(unsigned textId, UINT style = MB_TASKMODAL);
// Saves the plug-in's next message box, once it is on the screen and before the harness dismisses
// it, as screenshot `name`, drawn over `beside` (its dialog) when given.
void PhotographNextMessage(const std::string& name, HWND beside = nullptr);

// Runs `script` once, from inside the dialog's own message loop, when a dialog whose user data
// holds `templateId` opens; 0 means a dialog without one (a system dialog). A dialog that opens
// without a script is cancelled and fails the test.
void OnDialog(int templateId, std::function<void(HWND dialog)> script);
// Pumps messages for about `ms` milliseconds (lets Wine put painted windows on the screen).
void Pump(int ms);

// Driving a dialog from its script as a user does. Each call returns once the dialog has handled
// what it caused (message boxes it opened included). Ids are control ids of the dialog.
//
// Focuses edit `id` as Tab does (its text selected) and types `text` one character at a time, so
// that each keystroke gives its own EN_CHANGE and the caret moves as for a user; '\b' is
// Backspace.
void Type(HWND dialog, int id, const std::string& text);
// Types `text` into whichever control has the keyboard focus, one character at a time, as the
// keyboard would.
void Keys(HWND dialog, const std::string& text);
// Sets the control's text as a program does (an edit sends one EN_CHANGE).
void SetText(HWND dialog, int id, const std::string& text);
std::string Text(HWND dialog, int id);
// Clicks button `id` (check boxes and radio buttons change as for a user; a disabled button
// ignores the click).
void Click(HWND dialog, int id);
bool Checked(HWND dialog, int id);
bool Enabled(HWND dialog, int id);
// Selects entry `index` of combo box or list box `id` and sends the dialog the selection-change
// notification the control sends for a user.
void Select(HWND dialog, int id, int index);
// Drops combo box `id`'s list down, saves it with the dialog as screenshot `name`, closes it.
void PhotographDropDown(HWND dialog, int id, const char* name);
// Clicks the cell of table entry `entry` in the grid of a ColorChooser showing an image of `bits`.
void ClickColorEntry(HWND chooser, unsigned bits, int entry);
// Presses and releases `key` (VK_TAB, VK_RETURN, VK_ESCAPE, VK_LEFT, ...) on the control with the
// focus, through the dialog manager as the dialog's own loop does.
void Key(HWND dialog, UINT key);
// Alt with `letter`: the mnemonic of a label or a button.
void Mnemonic(HWND dialog, char letter);
// The control with the keyboard focus, as its id in the dialog (0 for none).
int FocusId(HWND dialog);
// The left mouse button pressed, moved with, and released at client point `p` of `window` (a
// child control of a dialog).
void MouseDown(HWND window, POINT p);
void MouseMove(HWND window, POINT p);
void MouseUp(HWND window, POINT p);

// A visible top-level window of class `className` (registered for `instance`, this program by
// default, on first use) in which the host keeps an image; both go with the object.
struct TestWindow {
  explicit TestWindow(const char* className = kImageWindowClass, HINSTANCE instance = nullptr);
  ~TestWindow();
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;
  operator HWND() const { return hwnd; }
  HWND hwnd = nullptr;
};
// The stand-in host's viewer on the screen, 560 x `height` pixels, with the plug-in initialised
// for it (menu ids 5000, 5001, ...). Closing it leaves the plug-in loaded and no window active.
struct Viewer {
  explicit Viewer(int height = 400);
  ~Viewer();
  Viewer(const Viewer&) = delete;
  Viewer& operator=(const Viewer&) = delete;
  HWND frame = nullptr;
};
// A movable global block holding a copy of `block` (from testimg::Make), which is freed.
HGLOBAL ToGlobal(HostBlock block);
// Gives `window` a copy of testimg::Make(bits, width, height, seed), makes it the active window
// and returns the image.
HGLOBAL Hold(HWND window, unsigned bits, uint32_t width = 5, uint32_t height = 3,
             uint32_t seed = 7);
std::vector<uint8_t> GlobalBytes(HGLOBAL block);
// The bytes of `engine`'s result for a copy of `image` (a PackedDib's bytes), run in this program
// through the tests' host port: what a command's window must show. `engine` returns its result
// (the block it was given when it works in place), or null when it fails; then the result is empty.
std::vector<uint8_t> EngineResult(const std::vector<uint8_t>& image,
                                  const std::function<HostBlock(HostBlock)>& engine);
// Table entry `entry` of the image in `block`.
COLORREF TableColor(HGLOBAL block, int entry);
int LockCount(HGLOBAL block);
// After a command that stopped: `window` still holds `image` (null for none) with the bytes
// `before`, unlocked; nothing was handed to it, the meter is closed, no block of the plug-in left.
void ExpectKept(HWND window, HGLOBAL image, const std::vector<uint8_t>& before,
                const std::string& what = "");

// The window's client area as it is on the screen: 0x00RRGGBB values, rows top first.
std::vector<uint32_t> ClientPixels(HWND window);
// Saves `windows` as <build folder>/screenshots/<name>.bmp. Each window is
// read from its own surface (windows of tests running beside this one never get in) and drawn at
// its place on the screen, in order, over a canvas that holds them all.
void SaveScreenshot(const std::vector<HWND>& windows, const char* name);

}  // namespace harness

// The base fixture: a freshly initialised plug-in (menu ids 5000, 5001, ...), cleared records; at
// the end, every scripted dialog must have run, and nothing the plug-in allocated may be left:
// no block, GDI object, DC or temporary file.
class PluginTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};
