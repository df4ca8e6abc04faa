// The stand-in host's viewer with the plug-in, as a person sees it: an image window in the
// frame, the plug-in's menu pulled down (saved as a screenshot), help on the status line, and
// the commands chosen through the frame's menu routing.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/host_app.h"
#include "host/korvex.h"
#include "plugin/host_api.h"
#include "dib/dib.h"
#include "tests/plugin/harness.h"
#include "tests/support/images.h"

namespace {

// A small landscape for the viewer: sky, a hill, and a red "F" that shows which way is up.
HGLOBAL Landscape(int width, int height) {
  HGLOBAL dib = harness::ToGlobal(testimg::Make(24, static_cast<uint32_t>(width), static_cast<uint32_t>(height), 1));
  std::vector<uint8_t> bytes = harness::GlobalBytes(dib);
  DibView v;
  DescribeDib(bytes.data(), bytes.size(), v);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const bool f = x >= 12 && y >= 10 && ((x < 16 && y < 40) || (x < 32 && y < 14) || (x < 26 && y >= 22 && y < 26));
      const bool hill = y > height * 2 / 3 + (x - width / 3) * (x - width / 3) / (width * 2) - height / 8;
      const uint32_t color = f ? 0x1414DC : hill ? 0x329628 : 0xEB965A + static_cast<uint32_t>(100 * y / height);  // 0xBBGGRR
      testimg::SetPixel(v, static_cast<uint32_t>(x), static_cast<uint32_t>(y), color);
    }
  std::memcpy(GlobalLock(dib), bytes.data(), bytes.size());
  GlobalUnlock(dib);
  return dib;
}

struct MenuShot {
  HWND frame = nullptr;
  bool taken = false;
  bool menuShown = false;
  std::string status;
  std::string path;
} Shot;

// Runs inside the menu's own loop once it is down: waits for the screen, saves it, closes the menu.
void CALLBACK TakeMenuShot(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  harness::Pump(100);
  HWND menu = FindWindowA("#32768", nullptr);  // the popup menu, a window of its own
  std::vector<HWND> windows = {Shot.frame};
  if (menu && IsWindowVisible(menu)) windows.push_back(menu);
  Shot.menuShown = windows.size() == 2;
  Shot.path = harness::SaveScreenshot(windows, "host_menu");
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
  HWND image = OpenImageWindow(frame, "landscape.bmp", Landscape(240, 160));
  ASSERT_NE(image, nullptr);
  SetWindowPos(frame, HWND_TOP, 20, 20, 560, 400, SWP_SHOWWINDOW);
  UpdateWindow(frame);
  harness::Pump(200);

  // The image window is the active one: MDI activation went through the plug-in.
  const std::vector<uint8_t> before = harness::GlobalBytes(ZQ_GetHDib(image));
  KX_ClearLog();
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
  EXPECT_TRUE(Shot.menuShown);
  EXPECT_EQ(Shot.status, "Invert the image in the active window") << "the first item's help";
  std::printf("screenshot: %s\n", Shot.path.c_str());

  // The menu is enabled for an image window, and the choice of Invert reaches the plug-in.
  HMENU popup = GetSubMenu(GetMenu(frame), 1);
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(GetMenuState(popup, harness::MenuId(0), MF_BYCOMMAND) & MF_GRAYED, 0u);
  KX_ClearLog();
  SendMessageA(frame, WM_COMMAND, harness::MenuId(0), 0);
  EXPECT_EQ(harness::HostLogStarting("ZQ_ProgressClose").size(), 1u);

  HostPlugin = nullptr;  // no exit call: the other tests keep the plug-in
  DestroyWindow(frame);
  MSG quit;  // the closed viewer asks its loop to end; the tests go on
  PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  harness::Plugin().imageActivate(nullptr, 0, 0);
}

}  // namespace

namespace {

// The host library's fast resize: nearest pixels at the same depth, the colour table and header
// carried over, the source untouched; PaletteSize by the header's rule.
TEST(HostUtilities, ResizeAndPaletteSizeFollowTheirRules) {
  for (unsigned bits : testimg::kDepths) {
    HGLOBAL source = harness::ToGlobal(testimg::Make(bits, 5, 3, 8));
    std::vector<uint8_t> in = harness::GlobalBytes(source);
    HGLOBAL doubled = DibResize(source, 10, 6);
    ASSERT_NE(doubled, nullptr) << bits;
    EXPECT_EQ(harness::GlobalBytes(source), in);
    std::vector<uint8_t> out = harness::GlobalBytes(doubled);
    DibView a, b;
    ASSERT_TRUE(DescribeDib(in.data(), in.size(), a));
    ASSERT_TRUE(DescribeDib(out.data(), out.size(), b)) << bits;
    EXPECT_EQ(PaletteSize(in.data()), a.colorCount * 4) << bits;
    for (uint32_t y = 0; y < 6; ++y)
      for (uint32_t x = 0; x < 10; ++x)
        ASSERT_EQ(testimg::GetPixel(b, x, y), testimg::GetPixel(a, x / 2, y / 2)) << bits << " bits at " << x << "," << y;
    EXPECT_EQ(DibResize(source, 0, 6), nullptr);
    GlobalFree(doubled);
    GlobalFree(source);
  }
}

}  // namespace
