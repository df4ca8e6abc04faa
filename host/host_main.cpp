// host.exe: a small image viewer that loads IMAGE.DLL the way the host application does.
//   host.exe [FILE.bmp ...]
// Opens each file in its own image window; the plug-in's commands are in the "Image" menu.
#include <windows.h>

#include <string>

#include "host/host_app.h"
#include "host/korvex.h"

int main(int argc, char** argv) {
  HWND frame = CreateHostFrame();
  if (!frame) return 1;
  PluginEntryPoints plugin;
  if (!StartPlugin(frame, "IMAGE.DLL", plugin))
    MessageBoxA(frame, "IMAGE.DLL could not be loaded or initialised.", "Host",
                MB_OK | MB_ICONWARNING);
  for (int i = 1; i < argc; ++i) {
    std::string error;
    HGLOBAL dib = ReadBmpFile(argv[i], error);
    if (dib)
      OpenImageWindow(frame, argv[i], dib);
    else
      MessageBoxA(frame, (std::string(argv[i]) + ": " + error).c_str(), "Host",
                  MB_OK | MB_ICONERROR);
  }
  ShowWindow(frame, SW_SHOWNORMAL);
  UpdateWindow(frame);
  return RunHostLoop(frame);
}
