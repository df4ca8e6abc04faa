// The stand-in host's viewer with the plug-in, as a person sees it: an image window in the
// frame, the plug-in's menu pulled down (saved as a screenshot), help on the status line, and
// the commands chosen through the frame's menu routing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host_app.h"
#include "host/korvex.h"
#include "plugin/host_api.h"
#include "tests/plugin/harness.h"
#include "tests/support/images.h"

namespace {

struct MenuShot {
  HWND frame = nullptr;
  bool taken = false;
  std::string status;
  std::string path;
} Shot;

// Runs inside the menu's own loop once it is down: waits for the screen, saves it, closes the menu.
void CALLBACK TakeMenuShot(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  harness::Pump(300);
  RECT frame;
  GetWindowRect(Shot.frame, &frame);
  Shot.path = harness::SaveScreenshot(frame, "host_menu");
  char status[128] = {};
  HWND statusLine = FindWindowExA(Shot.frame, nullptr, "STATIC", nullptr);
  GetWindowTextA(statusLine, status, sizeof status);
  Shot.status = status;
  Shot.taken = true;
  EndMenu();
}

TEST(Host, ShowsThePluginMenuAndRoutesItsCommands) {
  harness::ClearCalls();
  HWND frame = CreateHostFrame();
  ASSERT_NE(frame, nullptr);
  HostPlugin = &harness::Plugin();
  ASSERT_TRUE(harness::InitPlugin(5000, 1));
  HWND image = OpenImageWindow(frame, "sample.bmp", harness::ToGlobal(testimg::Make(24, 160, 100, 4)));
  ASSERT_NE(image, nullptr);
  SetWindowPos(frame, HWND_TOP, 20, 20, 560, 400, SWP_SHOWWINDOW);
  UpdateWindow(frame);
  harness::Pump(200);

  // The image window is the active one: MDI activation went through the plug-in.
  const std::vector<uint8_t> before = harness::GlobalBytes(ZQ_GetHDib(image));
  harness::ClearHostLog();
  SendMessageA(frame, WM_COMMAND, harness::MenuId(1), 0);  // "Flip Image" from the menu
  EXPECT_EQ(harness::HostLogStarting("ZQ_SetHDib").size(), 1u);
  SendMessageA(frame, WM_COMMAND, harness::MenuId(1), 0);
  EXPECT_EQ(harness::GlobalBytes(ZQ_GetHDib(image)), before) << "flipped twice";

  // Pull the plug-in's menu down from the menu bar ("&Image") and photograph it.
  Shot = MenuShot{};
  Shot.frame = frame;
  SetTimer(nullptr, 0, 200, TakeMenuShot);
  PostMessageA(frame, WM_SYSCOMMAND, SC_KEYMENU, 'i');
  for (int i = 0; i < 100 && !Shot.taken; ++i) harness::Pump(50);
  ASSERT_TRUE(Shot.taken);
  EXPECT_EQ(Shot.status, "Invert the image in the active window") << "the first item's help";
  std::printf("screenshot: %s\n", Shot.path.c_str());

  // The menu is enabled for an image window, and the choice of Invert reaches the plug-in.
  HMENU popup = GetSubMenu(GetMenu(frame), 1);
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(GetMenuState(popup, harness::MenuId(0), MF_BYCOMMAND) & MF_GRAYED, 0u);
  harness::ClearHostLog();
  SendMessageA(frame, WM_COMMAND, harness::MenuId(0), 0);
  EXPECT_EQ(harness::HostLogStarting("ZQ_ProgressClose").size(), 1u);

  HostPlugin = nullptr;  // no exit call: the other tests keep the plug-in
  DestroyWindow(frame);
  MSG quit;  // the closed viewer asks its loop to end; the tests go on
  PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  harness::Plugin().imageActivate(nullptr, 0, 0);
}

}  // namespace
