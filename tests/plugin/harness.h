// The Windows test harness: IMAGE.DLL loaded the way host.exe loads it, the stand-in host's call
// log, the plug-in's own system calls recorded and failed on request (its import table is
// patched), message boxes shown and dismissed, dialogs driven by scripts, and screenshots.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "dib/host_port.h"
#include "host/host_app.h"

namespace harness {

PluginEntryPoints& Plugin();
// Re-initialises the plug-in with menu ids first, first + step, ...; returns Init's result.
BOOL InitPlugin(UINT first = 5000, UINT step = 1);
// The id reserved for CommandTable row `row` by the last InitPlugin (0 for the separator, row 3).
UINT MenuId(int row);
// Runs the menu command of `row` for `window` and returns the handler's result.
int RunCommand(HWND window, int row, DWORD* value = nullptr);
// The stand-in host's call log since KX_ClearLog: the lines starting with `prefix`.
std::vector<std::string> HostLog(const std::string& prefix = "");

// A message box of the plug-in: its arguments, and whether it came up on the screen.
struct MessageBoxCall {
  HWND owner = nullptr;
  std::string text;
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
// What the plug-in did through its own system calls since the last ClearCalls; the two failure
// plans count calls from there (1 = the first).
struct Calls {
  std::vector<MessageBoxCall> boxes;
  int allocs = 0;
  int failAlloc = 0;       // the GlobalAlloc that fails, 0 for none
  std::set<HGLOBAL> live;  // allocated and not yet freed
  std::vector<HGLOBAL> frees;
  int registers = 0;
  std::vector<int> failRegister;  // the RegisterClassA calls that fail
  std::vector<HCURSOR> cursors;   // SetCursor's arguments, in order
  std::vector<UINT> beeps;        // MessageBeep's arguments
  std::vector<ChooseColorCall> chooseColor;
};
Calls& Recorded();
// Clears Recorded(), the host's planned failures and its log.
void ClearCalls();
// Checks that the plug-in showed exactly one message box since ClearCalls: `text` with the
// default caption and no owner, in `style`.
void ExpectOneMessage(const std::string& text, UINT style = MB_TASKMODAL);

// Runs `script` once, from inside the dialog's own message loop, when a dialog whose user data
// holds `templateId` opens; 0 means a dialog without one (a system dialog). A dialog that opens
// without a script is cancelled and fails the test.
void OnDialog(int templateId, std::function<void(HWND dialog)> script);
// Pumps messages for about `ms` milliseconds (lets Wine put painted windows on the screen).
void Pump(int ms);

// A visible top-level window of class `className` (registered for `instance`, this program by
// default, on first use) in which the host keeps an image; both go with the object.
struct TestWindow {
  explicit TestWindow(const char* className = "GenericWClass", HINSTANCE instance = nullptr);
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
std::vector<uint8_t> GlobalBytes(HGLOBAL block);
int LockCount(HGLOBAL block);

COLORREF ClientPixel(HWND window, int x, int y);
// Saves `windows` as <build folder>/screenshots/<name>.bmp and returns the path. Each window is
// read from its own surface (windows of tests running beside this one never get in) and drawn at
// its place on the screen, in order, over a canvas the size of the first.
std::string SaveScreenshot(const std::vector<HWND>& windows, const char* name);

}  // namespace harness

// The base fixture: a freshly initialised plug-in (menu ids 5000, 5001, ...), cleared records; at
// the end, every scripted dialog must have run and nothing the plug-in allocated may be left.
class PluginTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};
