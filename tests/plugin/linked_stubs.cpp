// What the plug-in sources built into this test program (settings.cpp, stat_color.cpp) expect of
// the plug-in around them: its module instance is this program, its classes register plainly.
#include "plugin/plugin.h"

HINSTANCE ModuleInstance = GetModuleHandleA(nullptr);

ATOM RegisterPluginClass(const WNDCLASSA& windowClass) {
  UnregisterClassA(windowClass.lpszClassName, ModuleInstance);
  return RegisterClassA(&windowClass);
}
