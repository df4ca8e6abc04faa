// The stand-in host application: loading the plug-in the way the host does, reading BMP files
// into packed bitmaps, and the viewer's windows (an MDI frame with a menu bar and a status line,
// and one "GenericWClass" window per image). Used by host.exe and by the plug-in's tests.
#pragma once

#include <windows.h>

#include <string>

// The plug-in's entry points, found by name.
struct PluginEntryPoints {
  HMODULE module = nullptr;
  BOOL(WINAPI* version)(UINT, LPARAM, LPARAM) = nullptr;
  BOOL(WINAPI* init)(LPARAM, HWND) = nullptr;
  BOOL(WINAPI* imageActivate)(HWND, UINT, LPARAM) = nullptr;
  BOOL(WINAPI* menuInit)(LPARAM, HMENU, LPARAM) = nullptr;
  int(WINAPI* menuHandler)(HWND, UINT, DWORD*) = nullptr;
  int(WINAPI* helpHandler)(LPARAM, UINT, UINT, DWORD*) = nullptr;
  BOOL(WINAPI* queryExit)() = nullptr;
  void(WINAPI* exit)() = nullptr;
  HICON(WINAPI* icon)() = nullptr;
  void(WINAPI* wep)(LPARAM) = nullptr;
};

// The interface version the host speaks.
constexpr UINT kHostInterfaceVersion = 0x0101;

// Loads the DLL at `path` and finds every entry point by name. False (and the library unloaded)
// when it cannot be loaded or lacks an entry point.
bool LoadPlugin(const char* path, PluginEntryPoints& plugin);

// Reads a BMP file with imagetool's reader (cli/formats/bmp_io.h says which files it takes) into a
// new movable global block holding the PackedDib. The caller owns the block. Null with `error` set
// on failure.
HGLOBAL ReadPictureFile(const char* path, std::string& error);

// The plug-in the viewer's windows talk to (menu commands, help, activation, exit); null for none.
extern PluginEntryPoints* HostPlugin;

// Creates the viewer's main window (menu bar "File" with Open, Save As and Exit, "Window", status
// line) and tells KORVEX about it, so that the plug-in's popup menu lands in its menu bar. Not
// shown yet.
HWND CreateHostFrame();
// Opens `dib` (now owned by the window) in a new "GenericWClass" window of the frame, titled
// `title`, sized to the image. Returns the window.
HWND OpenImageWindow(HWND frame, const char* title, HGLOBAL dib);
// Opens the BMP file at `path` in a new image window of the frame; a file that cannot be read is
// reported in a message box. False when no window was opened.
bool OpenPictureFile(HWND frame, const char* path);
// Loads, checks and initialises the plug-in for the frame; false when any step fails.
bool StartPlugin(HWND frame, const char* path, PluginEntryPoints& plugin);
// Runs the message loop until the frame is closed; returns the quit code.
int RunHostLoop(HWND frame);
