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

// A small landscape for the viewer: sky, sun, hills, and a red "F" that shows which way is up.
HGLOBAL Landscape(int width, int height) {
  const int stride = (width * 3 + 3) / 4 * 4;
  HGLOBAL dib = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 40 + static_cast<SIZE_T>(stride) * height);
  auto* p = static_cast<BYTE*>(GlobalLock(dib));
  BITMAPINFOHEADER h = {40, width, height, 1, 24, BI_RGB, static_cast<DWORD>(stride * height), 0, 0, 0, 0};
  std::memcpy(p, &h, 40);
  for (int y = 0; y < height; ++y) {  // y from the top
    BYTE* row = p + 40 + static_cast<SIZE_T>(height - 1 - y) * stride;
    for (int x = 0; x < width; ++x) {
      int r = 90 + 100 * y / height, g = 150 + 70 * y / height, b = 235;
      const int hill = height * 2 / 3 + (x - width / 3) * (x - width / 3) / (width * 2) - height / 8;
      if (y > hill) r = 40, g = 150 - 60 * (y - hill) / (height - hill + 1), b = 50;
      if ((x - width * 7 / 10) * (x - width * 7 / 10) + (y - height / 4) * (y - height / 4) < height * height / 64)
        r = 255, g = 214, b = 40;
      const bool f = (x >= 12 && x < 16 && y >= 10 && y < 40) || (x >= 12 && x < 32 && y >= 10 && y < 14) ||
                     (x >= 12 && x < 26 && y >= 22 && y < 26);
      if (f) r = 220, g = 20, b = 20;
      row[3 * x] = static_cast<BYTE>(b);
      row[3 * x + 1] = static_cast<BYTE>(g);
      row[3 * x + 2] = static_cast<BYTE>(r);
    }
  }
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
  EXPECT_TRUE(Shot.menuShown);
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

namespace {

std::vector<uint8_t> BlockBytes(HGLOBAL block) { return harness::GlobalBytes(block); }

// TALMOR's fast resize: nearest pixels at the same depth, the colour table and header carried
// over, the source untouched; PaletteSize by the header's rule.
TEST(HostUtilities, ResizeAndPaletteSizeFollowTheirRules) {
  for (unsigned bits : testimg::kDepths) {
    HGLOBAL source = harness::ToGlobal(testimg::Make(bits, 5, 3, 8));
    const std::vector<uint8_t> before = BlockBytes(source);
    HGLOBAL doubled = DibResize(source, 10, 6);
    ASSERT_NE(doubled, nullptr) << bits;
    EXPECT_EQ(BlockBytes(source), before);
    std::vector<uint8_t> in = before, out = BlockBytes(doubled);
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

// host.exe's BMP reader: either row order and a shorter colour table give the packed bitmap the
// plug-in expects.
TEST(HostUtilities, ReadsBmpFilesIntoPackedBitmaps) {
  for (bool topDown : {false, true}) {
    HGLOBAL image = harness::ToGlobal(testimg::Make(4, 7, 5, 2));
    std::vector<uint8_t> dib = BlockBytes(image);
    GlobalFree(image);
    DibView v;
    ASSERT_TRUE(DescribeDib(dib.data(), dib.size(), v));
    // The file: its header, the 40-byte header with biClrUsed 0 ("all 16"), the table, the rows.
    const size_t pixelsAt = 14 + 40 + 64;
    std::vector<uint8_t> file(pixelsAt + v.stride * v.height);
    const BITMAPFILEHEADER fh = {0x4D42, static_cast<DWORD>(file.size()), 0, 0, static_cast<DWORD>(pixelsAt)};
    std::memcpy(file.data(), &fh, 14);
    BITMAPINFOHEADER h;
    std::memcpy(&h, dib.data(), 40);
    h.biClrUsed = 0;
    if (topDown) h.biHeight = -h.biHeight;
    std::memcpy(file.data() + 14, &h, 40);
    std::memcpy(file.data() + 54, dib.data() + 40, 64);
    for (uint32_t k = 0; k < v.height; ++k)
      std::memcpy(file.data() + pixelsAt + k * v.stride, v.Row(topDown ? v.height - 1 - k : k), v.stride);
    char path[MAX_PATH];
    GetTempPathA(sizeof path, path);
    std::strcat(path, topDown ? "host_read_td.bmp" : "host_read_bu.bmp");
    FILE* f = std::fopen(path, "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);

    std::string error;
    HGLOBAL read = ReadBmpFile(path, error);
    ASSERT_NE(read, nullptr) << error;
    EXPECT_EQ(BlockBytes(read), dib) << (topDown ? "top-down" : "bottom-up");
    GlobalFree(read);
    DeleteFileA(path);
  }
  std::string error;
  EXPECT_EQ(ReadBmpFile("no such file.bmp", error), nullptr);
  EXPECT_FALSE(error.empty());
}

}  // namespace
