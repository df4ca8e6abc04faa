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

// The stand-in host's call log (KX_ClearLog clears it), whole or the lines starting with `prefix`.
std::vector<std::string> HostLog();
std::vector<std::string> HostLogStarting(const std::string& prefix);

// A message box shown by the plug-in: its arguments, and what the box on the screen showed.
struct MessageBoxCall {
  HWND ownerArgument = nullptr;
  std::string text;
  bool captionNull = false;
  UINT style = 0;
  std::string shownText, shownCaption;
};
std::vector<MessageBoxCall>& MessageBoxes();

// --- The plug-in's own system calls, recorded and failed on request ---
// Clears every record below, the message boxes, planned failures (host's too) and the host log.
void ClearCalls();
// The n-th GlobalAlloc of the plug-in from now fails (1 = the next); 0 plans none.
void FailGlobalAlloc(int n);
int GlobalAllocCount();
std::vector<HGLOBAL> LiveAllocations();  // allocated by the plug-in, not freed by it
const std::vector<HGLOBAL>& Frees();     // freed by the plug-in
// The calls of RegisterClassA by the plug-in that fail, counted from now (1 = the next).
void FailRegisterClass(std::vector<int> calls);
int RegisterClassCount();
const std::vector<HCURSOR>& CursorsSet();  // in order
const std::vector<UINT>& Beeps();          // MessageBeep's arguments
// The system colour dialog's structure as the plug-in filled it, with its custom colours.
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
// Whether every scripted dialog has run; forgets those that did not.
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
// A movable global block holding a copy of `block` (from testimg::Make), which is freed.
HGLOBAL ToGlobal(HostBlock block);
std::vector<uint8_t> GlobalBytes(HGLOBAL block);
int LockCount(HGLOBAL block);

// --- Screenshots ---
COLORREF ClientPixel(HWND window, int x, int y);
// Saves a picture of `windows` as build-folder/screenshots/<name>.png and returns the path. Each
// window is read from its own surface (so that windows of tests running beside this one on the
// same display never get in) and drawn at its place on the screen, in order, over a canvas the
// size of the first window.
std::string SaveScreenshot(const std::vector<HWND>& windows, const char* name);

}  // namespace harness
