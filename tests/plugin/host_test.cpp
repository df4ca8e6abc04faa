// The stand-in host's viewer with the plug-in, as a person sees it: the plug-in's menu pulled down
// and each dialog command's result (saved as screenshots), and Save As.
#include <windows.h>
// The common dialogs' control ids need <windows.h> first.
#include <dlgs.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "cli/formats/bmp_io.h"
#include "dib/block.h"
#include "dib/transforms.h"
#include "tests/plugin/harness.h"

namespace {

using namespace harness;

// The stand-in host's viewer on the screen, 560 x `height` pixels, with the plug-in initialised
// for it (menu ids 5000, 5001, ...). Closing it leaves the plug-in loaded and no window active.
struct Viewer {
  explicit Viewer(int height = 400) {
    HostPlugin = &Plugin();
    EXPECT_TRUE(frame && InitPlugin(5000, 1));
    SetWindowPos(frame, HWND_TOP, 20, 20, 560, height, SWP_SHOWWINDOW);
  }
  ~Viewer() {
    HostPlugin = nullptr;  // no exit call: the other tests keep the plug-in
    DestroyWindow(frame);
    MSG quit;  // the closed viewer asks its loop to end; the tests go on
    PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    Plugin().imageActivate(nullptr, 0, 0);
  }
  HWND frame = CreateHostFrame();
};

bool ShotTaken = false;

// In the menu's own loop once it is down: waits for the screen, saves it with `frame`, closes it.
void CALLBACK TakeMenuShot(HWND frame, UINT, UINT_PTR id, DWORD) {
  KillTimer(frame, id);
  Pump(100);
  HWND menu = FindWindowA("#32768", nullptr);  // the popup menu, a window of its own
  SaveScreenshot(menu ? std::vector{frame, menu} : std::vector{frame}, "host_menu");
  ShotTaken = true;
  EndMenu();
}

// The plug-in's menu pulled down from the viewer's menu bar ("&Image"), then the dialog commands
// from it, each result in its image window, for the screenshots.
TEST(Host, ShowsThePluginMenuAndTheResultOfEachDialogCommand) {
  const struct {
    int row, dialog;
    std::function<void(HWND)> script;
    const char* shot;
    uint32_t width, height;  // of the source
  } cases[] = {
      // clang-format off
      {4, IDD_CROP, [](HWND d) { Type(d, IDC_CROP_WIDTH, "120"), Key(d, VK_RETURN); },
       "host_cropped", 240, 160},
      {5, IDD_SCALE, ScaleTo(1, 320, 200), "host_scaled", 160, 90},
      {6, IDD_ROTATE, [](HWND d) {  // by 30 degrees at High quality, its corners in the fill
         Type(d, IDC_ROTATE_AMOUNT, "30"), Select(d, IDC_ROTATE_QUALITY, 1), Click(d, IDOK);
       }, "host_rotated", 200, 100},
      {7, IDD_FRAME, [](HWND d) {
         Type(d, IDC_FRAME_WIDTH, "260"), Type(d, IDC_FRAME_HEIGHT, "160");
         Type(d, IDC_FRAME_CAPTION, "Framed"), Click(d, IDOK);
       }, "host_frame_result", 200, 100},
      {8, IDD_TILE_IMAGE, [](HWND d) {
         Type(d, IDC_TILE_WIDTH, "3"), Type(d, IDC_TILE_HEIGHT, "3"), Key(d, VK_RETURN);
       }, "host_tile_result", 80, 50},
      {9, IDD_MASK_IMAGE, [](HWND d) { Select(d, IDC_MASK_LIST, 7), Key(d, VK_RETURN); },  // Heart
       "host_mask_result", 200, 120},
      // clang-format on
  };
  for (const auto& c : cases) {
    ClearCalls();
    Viewer viewer(c.row == 6 || c.row == 7 ? 420 : 400);
    HWND image = OpenImageWindow(viewer.frame, "picture.bmp",
                                 ToGlobal(testimg::Make(24, c.width, c.height, 8)));
    Pump(200);
    if (c.row == 4) {  // the menu, over the first picture
      SetTimer(viewer.frame, 1, 200, TakeMenuShot);
      PostMessageA(viewer.frame, WM_SYSCOMMAND, SC_KEYMENU, 'i');
      for (int i = 0; i < 100 && !ShotTaken; ++i) Pump(50);
      ASSERT_TRUE(ShotTaken);
    }
    Plugin().imageActivate(image, 1, 0);  // as the viewer does when the window is activated
    OnDialog(c.dialog, c.script);
    SendMessageA(viewer.frame, WM_COMMAND, MenuId(c.row), 0);
    Pump(200);
    SaveScreenshot({viewer.frame}, c.shot);
  }
}

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The viewer opens a file with imagetool's reader and saves the active image through the common
// dialog: after Invert, the saved file is byte for byte what imagetool's invert writes.
TEST(Host, SavesTheInvertedImageAsImagetoolWritesIt) {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  // One name on every run: the Save As screenshot lists the file, and the 64-bit and 32-bit
  // builds' screenshots are compared.
  const std::string stem = temp + std::string("host_save_");
  const std::string in = stem + "in.bmp", out = stem + "out.bmp";
  Viewer viewer;
  const UINT saveAs = GetMenuItemID(GetSubMenu(GetMenu(viewer.frame), 0), 1);
  std::string error;
  OwnedBlock picture(testimg::Make(24, 37, 11, 24));
  ASSERT_TRUE(WriteBmpFile(in, picture.get(), error)) << error;
  ASSERT_TRUE(OpenPictureFile(viewer.frame, in.c_str()));
  SendMessageA(viewer.frame, WM_COMMAND, MenuId(0), 0);  // Invert
  OnDialog(0, [&](HWND dialog) {
    SaveScreenshot({dialog}, "host_save_as");
    SetDlgItemTextA(dialog, GetDlgItem(dialog, cmb13) ? cmb13 : edt1, out.c_str());
    SendMessageA(dialog, WM_COMMAND, IDOK, 0);
  });
  SendMessageA(viewer.frame, WM_COMMAND, saveAs, 0);

  OwnedBlock expected(ReadBmpFile(in, error));
  ASSERT_TRUE(InvertDib(expected.get(), nullptr));
  ASSERT_TRUE(WriteBmpFile(in, expected.get(), error)) << error;
  EXPECT_EQ(FileBytes(out), FileBytes(in));
  std::remove(out.c_str());
  std::remove(in.c_str());
}

}  // namespace
