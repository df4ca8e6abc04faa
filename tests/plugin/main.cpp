// The Windows tests' main: no system error dialogs (a test must fail, never hang), then the
// harness around the tests.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/plugin/harness.h"

namespace {

// Under Wine on a bare X server (no window manager), hiding a window that Wine lets the window
// manager handle waits two seconds for an answer that never comes: every message box and dialog
// would cost that. Wine's own setting for this program makes it manage its windows itself. It is
// read when the display driver starts, at the first window, so setting it here is in time.
void LetWineManageTheWindows() {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\plugin_tests.exe\\X11 Driver", 0, nullptr, 0,
                      KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;  // not Wine's registry, or not writable: only slower
  RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
  RegCloseKey(key);
}

}  // namespace

int main(int argc, char** argv) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  LetWineManageTheWindows();
  testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
  harness::Start();
  const int result = RUN_ALL_TESTS();
  harness::Stop();
  return result;
}
