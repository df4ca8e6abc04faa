// The Windows test harness: IMAGE.DLL loaded the way host.exe loads it, the stand-in host's call
// log, the plug-in's own system calls recorded and failed on request (its import table is
// patched), message boxes shown and dismissed, dialogs driven as a user drives them, screenshots.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "dib/host_port.h"
#include "host/host_app.h"
#include "host/korvex.h"
#include "plugin/host_api.h"
#include "resources/ids.h"
#include "resources/text_ids.h"
#include "tests/support/images.h"

namespace harness {

using Strings = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;
using testimg::Cat;

PluginEntryPoints& Plugin();
// Re-initialises the plug-in with menu ids first, first + step, ...; returns Init's result.
BOOL InitPlugin(UINT first = 5000, UINT step = 1);
HWND MainWindow();  // the host's main window given to Init
// The id reserved for CommandTable row `row` by the last InitPlugin (0 for the separator, row 3).
UINT MenuId(int row);
// Runs the menu command of `row` for `window` and returns the handler's result. Whatever the
// command did, it must leave the meter closed, the wait cursor replaced and nothing it allocated:
// no block, GDI object, DC or temporary file (ExpectNothingLeft).
int RunCommand(HWND window, int row, DWORD* value = nullptr);
// RunCommand of a dialog command with `script` run in its dialog (the script ends the dialog).
int RunDialog(HWND window, int row, std::function<void(HWND dialog)> script);
template <typename F>  // the plug-in's export `name`, of type F
F Export(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(Plugin().module, name)));
}
// The stand-in host's call log since KX_ClearLog: the lines starting with `prefix`.
Strings HostLog(const std::string& prefix = "");

// What the plug-in did through its own system calls since the last ClearCalls.
struct MessageBoxCall {
  HWND owner = nullptr;
  std::string text, caption;  // caption "" for a null one too
  bool captionNull = false;
  UINT style = 0;
  bool shown = false;    // it came up on the screen
  bool stepped = false;  // RunSteps checked it, so ExpectRun leaves it out
};
struct Calls {
  std::vector<MessageBoxCall> boxes;
  // Calls made of each shimmed function, and the planned failures: the calls of a function (counted
  // from 1) that fail as the real one fails (DialogBoxParamA as when the dialog cannot be made).
  std::map<std::string, int> calls;
  std::map<std::string, std::set<int>> failures;
  std::set<HGLOBAL> live;  // allocated, or copied or resized by the host, and neither freed nor
                           // handed to the host with ZQ_SetHDib
  // GDI objects and DCs the plug-in made and has not deleted or released, with the call that made
  // each; the files GetTempFileNameA made.
  std::map<HANDLE, std::string> gdiObjects;
  std::map<HDC, std::string> dcs;
  std::set<std::string> tempFiles;
  std::vector<HCURSOR> cursors;  // SetCursor's arguments, in order
  std::vector<UINT> beeps;       // MessageBeep's arguments
  // The system colour and font dialogs' structures as the plug-in filled them: "size owner flags",
  // then the initial colour, how many custom colours differ and the first, or the font's face and
  // height; the last font given.
  Strings chooseColor, chooseFont;
  LOGFONTA font = {};
};
Calls& Recorded();
std::string ProfileName();  // the file of the host's settings store
// Writes keys into the plug-in's group of the host's store, as an earlier session saved them:
// "Key=value ...".
void Store(const std::string& settings);
// Clears Recorded(), the host's planned failures and its log.
void ClearCalls();
// Plans the `n`-th call from now (1 = the next) of the plug-in's `function` to fail.
void FailCall(const std::string& function, int n);
// Checks that the plug-in showed exactly the message of id `textId` since ClearCalls (none for 0),
// on the screen, without owner, in `style`, with `caption` (null: none).
void ExpectOneMessage(unsigned textId, UINT style = MB_TASKMODAL, const char* caption = nullptr);
void ExpectOneMessage(const std::string& text, UINT style = MB_TASKMODAL,
                      const char* caption = nullptr);

// Runs `script` once, from inside the dialog's own message loop, when a dialog whose user data
// holds `templateId` opens (0: a system dialog). A dialog that opens without a script, or while
// the wait cursor shows, fails the test; the first is cancelled.
void OnDialog(int templateId, std::function<void(HWND dialog)> script);
void Pump(int ms);  // lets Wine put painted windows on the screen

// Driving a dialog's controls (ids of the dialog) as a user does; each call returns once the
// dialog has handled what it caused, message boxes included.
//
// Focuses edit `id` as Tab does (its text selected) and types `text` one character at a time, each
// with its own EN_CHANGE; '\b' is Backspace. Id 0 types into the control that has the focus.
void Type(HWND dialog, int id, const std::string& text);
void SetText(HWND dialog, int id, const std::string& text);  // as a program does: one EN_CHANGE
// Clicks button `id` (a disabled one ignores the click).
void Click(HWND dialog, int id);
// Selects entry `index` of combo or list box `id` with the notification a user's choice sends.
void Select(HWND dialog, int id, int index);
// Presses and releases `key` on the control with the focus; Alt with `letter` (a mnemonic).
void Key(HWND dialog, UINT key);
void Mnemonic(HWND dialog, char letter);
// The left mouse button pressed on, or the mouse moved with it to, client point `p` of a control.
void MouseDown(HWND window, POINT p);
void MouseMove(HWND window, POINT p);
// Clicks the cell of table entry `entry` in the grid of a ColorChooser showing an image of `bits`.
void ClickColorEntry(HWND chooser, unsigned bits, int entry);
// Drops combo box `id`'s list down, saves it with the dialog as screenshot `name`, closes it.
void PhotographDropDown(HWND dialog, int id, const char* name);

// What the controls show, joined by spaces, each read one way: a button that takes a mark as "x"
// or "o" (after "-" when disabled), a list box as its selection's index, any other control as its
// text (a combo box's selected entry).
std::string Read(HWND dialog, const std::vector<int>& ids);
inline bool Checked(HWND d, int id) { return IsDlgButtonChecked(d, id) == BST_CHECKED; }
inline COLORREF Swatch(HWND d, int id) { return COLORREF(GetWindowLongA(GetDlgItem(d, id), 0)); }

// A dialog's test as a table: each row the user's actions, then what the dialog shows and says.
using Action = std::function<void(HWND dialog)>;
struct Step {
  std::vector<Action> actions;
  std::string shows;  // what the test's `shown` reads: all of it, or its first words ("": unread)
  unsigned message = 0;        // the text id of the one message box the actions bring up
  int focus = 0;               // after that message: the control with the keyboard
  const char* shot = nullptr;  // the screenshot after the actions: the message box over the
                               // dialog when there is one, else the dialog
};
// Runs the rows in order: the actions, then `shown(dialog)` against `shows`, the message (its text;
// none when 0) after which the dialog must be active again with the keyboard on `focus`, and the
// screenshot.
void RunSteps(HWND dialog, const std::function<std::string(HWND)>& shown,
              const std::vector<Step>& steps);
// clang-format off
inline Action Typing(int id, std::string text) { return [=](HWND d) { Type(d, id, text); }; }
inline Action Clicking(int id) { return [=](HWND d) { Click(d, id); }; }
inline Action Choosing(int id, int index) { return [=](HWND d) { Select(d, id, index); }; }
inline Action Pressing(UINT key) { return [=](HWND d) { Key(d, key); }; }
// The same with Read of `ids` as what the dialog shows; that as a dialog's whole script.
inline void RunSteps(HWND dialog, const std::vector<int>& ids, const std::vector<Step>& steps) {
  RunSteps(dialog, [&](HWND d) { return Read(d, ids); }, steps);
}
inline Action Stepping(std::vector<int> ids, std::vector<Step> steps) {
  return [=](HWND d) { RunSteps(d, ids, steps); };
}
// clang-format on
// Scale...'s dialog reset (Pixels, the image's size), aspect off, the quality and size asked, OK.
Action ScaleTo(int quality, uint32_t width, uint32_t height);

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
// A movable global block holding a copy of `block` (from testimg::Make), which is freed.
HGLOBAL ToGlobal(HostBlock block);
// Gives `window` a copy of testimg::Make(bits, width, height, seed), makes it the active window
// and returns the image.
HGLOBAL Hold(HWND window, unsigned bits, uint32_t width = 5, uint32_t height = 3,
             uint32_t seed = 7);
Bytes GlobalBytes(HGLOBAL block);
// The bytes of `engine`'s result for a copy of `image`, run in this program through the tests'
// host port: what a command's window must show. `engine` returns its result (the block it was
// given when it works in place), or null; then the result is empty.
Bytes EngineResult(const Bytes& image, const std::function<HostBlock(HostBlock)>& engine);
COLORREF TableColor(int entry);  // entry `entry` of the colour tables of the test images

// One run of a menu command as a row of a table: the image (from testimg::Make; none for bits 0),
// `plan` made on the window and image just before the command (failures, header changes), the
// user's actions in the command's dialog (null: no dialog may open); then what must come of it:
// the engine's result for the image's bytes, handed over unlocked (null: the image kept), the
// message (0: none; those RunSteps checked left out), the host's calls ("ZQ_" and the resize; the
// meter's steps left out, "ZQ_SetInfo" for the depth told, which must be the result's; a line
// ending in * stands for any that begins with what precedes it), the meter's owner after a result,
// and `check` for anything else.
struct CommandRun {
  int row = 0;
  unsigned bits = 8;
  uint32_t width = 9, height = 5;
  Action script = nullptr;
  std::function<void(HWND window, HGLOBAL image)> plan = nullptr;
  std::function<HostBlock(HostBlock)> engine = nullptr;
  unsigned message = 0;
  Strings log = {};
  enum { kNoMeter, kWindowMeter, kMainMeter } meter = kNoMeter;
  std::function<void(HWND window)> check = nullptr;
};
void ExpectRun(const CommandRun& run, const std::string& what);

// The window's client area as it is on the screen: 0x00RRGGBB values, rows top first.
std::vector<uint32_t> ClientPixels(HWND window);
// Saves `windows` as <build folder>/screenshots/<name>.bmp, each read from its own surface and
// drawn at its place on the screen, in order, over a canvas that holds them all.
void SaveScreenshot(const std::vector<HWND>& windows, const char* name);

}  // namespace harness

// The base fixture: the pointer out of the way, IMAGE.DLL loaded afresh over an empty settings
// store (whatever ran before in this process) and initialised with menu ids 5000, 5001, ...,
// cleared records; at the end, every scripted dialog must have run, and nothing the
// plug-in allocated may be left: no block, GDI object, DC or temporary file.
class PluginTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};
