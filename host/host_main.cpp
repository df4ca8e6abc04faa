// host.exe: a small image viewer that loads IMAGE.DLL the way the host application does.
//   host.exe [FILE.bmp ...]
// Opens each file in its own image window; the plug-in's commands are in the "Image" menu.
#include <windows.h>

#include "host/host_app.h"
#include "host/korvex.h"

int main(int argc, char** argv) {
  HWND frame = CreateHostFrame();
  if (!frame) return 1;
  PluginEntryPoints plugin;
  if (!StartPlugin(frame, "IMAGE.DLL", plugin))
    MessageBoxA(frame, "IMAGE.DLL could not be loaded or initialised.", "Host",
                MB_OK | MB_ICONWARNING);
  for (int i = 1; i < argc; ++i) OpenPictureFile(frame, argv[i]);
  ShowWindow(frame, SW_SHOWNORMAL);
  UpdateWindow(frame);
  return RunHostLoop(frame);
}
