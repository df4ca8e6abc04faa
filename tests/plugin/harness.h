// The Windows test harness: IMAGE.DLL loaded the way host.exe loads it, the stand-in host's call
// log, failure injection in the plug-in's own system calls (its import table is patched), message
// boxes caught and dismissed, dialogs driven by scripts, and screenshots.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dib/host_port.h"
#include "host/host_app.h"

namespace harness {

// Called once by main(): loads the plug-in, patches its imports, installs the hooks.
void Start();
void Stop();

PluginEntryPoints& Plugin();

// Re-initialises the plug-in with menu ids first, first + step, ...; returns Init's result.
BOOL InitPlugin(UINT firstId = 5000, UINT step = 1);
// The id reserved for CommandTable row `row` by the last InitPlugin (0 for the separator, row 3).
UINT MenuId(int row);
// Runs a menu command for `window` (the id is the row's) and returns the handler's result.
int RunCommand(HWND window, int row, DWORD* value = nullptr);

// --- The stand-in host's call log ---
void ClearHostLog();
std::vector<std::string> HostLog();
// The log lines that start with `prefix`.
std::vector<std::string> HostLogStarting(const std::string& prefix);

// --- Message boxes shown by the plug-in ---
struct MessageBoxCall {
  HWND ownerArgument = nullptr;   // as passed to MessageBoxA
  std::string text;               // as passed
  bool captionNull = false;       // caption argument was null
  UINT style = 0;                 // as passed
  std::string shownText;          // read from the box on the screen
  std::string shownCaption;
};
std::vector<MessageBoxCall>& MessageBoxes();
// The texts of the boxes shown since the last ClearCalls.
std::vector<std::string> MessageTexts();

// --- The plug-in's own system calls, recorded and failed on request ---
// Clears the message boxes, the allocation and free records, the cursor and beep records and
// any planned failures, and the host log.
void ClearCalls();
// The n-th GlobalAlloc of the plug-in from now fails (1 = the next); 0 plans none.
void FailGlobalAlloc(int n);
int GlobalAllocCount();
// Blocks allocated by the plug-in and not freed by it.
std::vector<HGLOBAL> LiveAllocations();
// Blocks the plug-in freed.
const std::vector<HGLOBAL>& Frees();
// Calls of RegisterClassA by the plug-in that fail (1 = the next).
void FailRegisterClass(std::vector<int> calls);
int RegisterClassCount();
// Cursors set by the plug-in, in order.
const std::vector<HCURSOR>& CursorsSet();
// Sounds the plug-in asked MessageBeep for.
const std::vector<UINT>& Beeps();
// The CHOOSECOLORA structure of the last system colour dialog, as the plug-in filled it, and its
// custom colours.
struct ChooseColorCall {
  DWORD size = 0;
  HWND owner = nullptr;
  COLORREF initial = 0;
  DWORD flags = 0;
  std::vector<COLORREF> custom;
};
const std::vector<ChooseColorCall>& ChooseColorCalls();

// --- Dialogs ---
// Runs `script` once, from inside the dialog's own message loop, when a dialog whose user data
// holds `templateId` opens; templateId 0 means the next dialog without one (a system dialog).
// A dialog that opens without a script is cancelled and reported as a test failure.
void OnDialog(int templateId, std::function<void(HWND dialog)> script);
// Whether every scripted dialog has run.
bool AllScriptsRan();
// Pumps messages for about `ms` milliseconds (lets Wine put painted windows on the screen).
void Pump(int ms);

// --- Windows and images ---
// A visible top-level window of class `className` (registered for `instance`, this program by
// default, on first use) in which the host keeps an image; the image is freed and the window
// destroyed with the object. Class names ignore letter case within one instance.
struct TestWindow {
  explicit TestWindow(const char* className = "GenericWClass", HINSTANCE instance = nullptr);
  ~TestWindow();
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;
  operator HWND() const { return hwnd; }
  HWND hwnd = nullptr;
};
// The hidden window given to ZQ_ImgLib_Init as the host's main window.
HWND HostMainWindow();
// A movable global block holding a copy of the test image `block` (from testimg::Make); frees
// the original.
HGLOBAL ToGlobal(HostBlock block);
std::vector<uint8_t> GlobalBytes(HGLOBAL block);
// Lock count of a movable block.
int LockCount(HGLOBAL block);

// --- Screenshots ---
// The colour of one screen pixel of a window's client area.
COLORREF ClientPixel(HWND window, int x, int y);
// Saves a picture of `windows` as build-folder/screenshots/<name>.png and returns the path. Each
// window is read from its own surface (so that the windows of tests running beside this one on
// the same display never get in) and drawn at its place on the screen, in order, over a canvas
// the size of the first window.
std::string SaveScreenshot(const std::vector<HWND>& windows, const char* name);

}  // namespace harness
