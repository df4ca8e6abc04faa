// Crop... through real messages; its rules are proven natively (tests/crop/crop_test.cpp).

#include <algorithm>

#include "crop/crop.h"
#include "tests/plugin/harness.h"

namespace {

using namespace harness;
constexpr int kCropRow = 4;
const std::vector<int> kFields = {IDC_CROP_TOP,   IDC_CROP_BOTTOM, IDC_CROP_LEFT,
                                  IDC_CROP_RIGHT, IDC_CROP_WIDTH,  IDC_CROP_HEIGHT};

Action Margins(std::string top, std::string bottom, std::string left, std::string right) {
  return [=](HWND d) {
    Type(d, IDC_CROP_TOP, top), Type(d, IDC_CROP_BOTTOM, bottom), Type(d, IDC_CROP_LEFT, left);
    Type(d, IDC_CROP_RIGHT, right);
  };
}
// Mouse moves and the release are queued before the press, whose drag loop takes them.
Action Drag(POINT from, std::vector<POINT> path) {
  return [=](HWND d) {
    const HWND preview = GetDlgItem(d, IDC_CROP_PREVIEW);
    MouseMove(preview, from);
    for (POINT p : path) PostMessageA(preview, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    PostMessageA(preview, WM_LBUTTONUP, 0, MAKELPARAM(path.back().x, path.back().y));
    MouseDown(preview, from);
    EXPECT_EQ(GetCapture(), nullptr);
  };
}
HCURSOR Cursor(LPCSTR shape) { return LoadCursorA(nullptr, shape); }

// Four margins typed on a side over 65535 give the engine's result; the fields follow their rules
// (proven natively) to an empty result. Every way the command stops leaves the window its image,
// with one message at most.
TEST_F(PluginTest, CropCutsTheMarginsOffOrLeavesTheImage) {
  const auto fail = [](std::function<void()> plan) { return [=](HWND, HGLOBAL) { plan(); }; };
  const Strings asked = {"ZQ_GetHDib", "ZQ_GetHPalette", "ZQ_GetOwnerWnd", "DibResize *"};
  // clang-format off
  const CommandRun runs[] = {
      {.row = kCropRow, .bits = 1, .width = 100000, .height = 41,
       .script = Stepping(kFields, {{{Margins("3", "5", "70000", "7"), Pressing(VK_RETURN)},
                                     "3 5 70000 7 29993 33"}}),
       .engine = [](HostBlock b) { return CRP_CropDIB(b, 70000, 7, 3, 5); },
       .log = {"ZQ_GetHDib", "ZQ_GetHPalette", "ZQ_GetOwnerWnd", "DibResize *", "ZQ_SetHDib"}},
      {.row = kCropRow, .script = Pressing(VK_ESCAPE), .log = asked},
      {.row = kCropRow, .plan = fail([] { KX_FailCall(KX_FAIL_PALETTE, 1); }),
       .message = IDS_CROP_NO_IMAGE, .log = {"ZQ_GetHDib", "ZQ_GetHPalette"}},
      {.row = kCropRow, .plan = fail([] { KX_FailCall(KX_FAIL_RESIZE, 1); }),
       .message = IDS_CROP_NO_MEMORY, .log = asked},
      {.row = kCropRow, .script = Stepping(kFields, {
          {{Typing(IDC_CROP_WIDTH, "11")}, "0 0 195 194 11 260"},
          {{Typing(IDC_CROP_WIDTH, "500")}, "0 0 0 0 500 260"},
          {{Typing(IDC_CROP_BOTTOM, "20"), Typing(IDC_CROP_TOP, "400")}, "240 20 0 0 500 0"},
          {{Typing(0, "\b")}, "24 20 0 0 500 216"},  // the caret was behind the value cut back
          {{Typing(IDC_CROP_LEFT, "-2")}, "24 20 -2 0 400 216"},  // a sign is no number: 0
          {{Clicking(IDC_CROP_RESET)}, "0 0 0 0 400 260"},
          {{Typing(IDC_CROP_WIDTH, "0")}, "0 0 200 200 0 260", 0, 0, "crop_empty"},
          {{Pressing(VK_RETURN)}, ""}}), .message = IDS_CROP_EMPTY_RESULT, .log = asked},
      {.row = kCropRow, .script = Pressing(VK_RETURN),
       .plan = fail([] { FailCall("GlobalAlloc", 1); }), .message = IDS_CROP_NO_MEMORY, .log = asked},
      {.row = kCropRow, .plan = fail([] { FailCall("DialogBoxParamA", 1); }),
       .message = IDS_CROP_NO_MEMORY, .log = {"ZQ_GetHDib", "ZQ_GetHPalette", "ZQ_GetOwnerWnd"}}};
  // clang-format on
  for (CommandRun run : runs) {
    if (run.width == 9) run.width = 400, run.height = 260;  // unless given: a fitted preview
    ExpectRun(run, Cat(run.bits, " bits ", run.width, ", ", run.message));
  }
}

// A small image opens at real size, a large one fitted; Tab walks the fields, the checked radio and
// the buttons. The large image is one column wider than the preview's interior and exactly as high:
// at real size only the bar across shows.
TEST_F(PluginTest, CropOpensFittedOrAtRealSizeAndTabWalksTheControls) {
  RECT c = {};  // the preview's client area, read in the first dialog; its frame is one pixel
  for (const bool small : {true, false}) {
    TestWindow window;
    Hold(window, 24, small ? 40 : c.right - 1, small ? 30 : c.bottom - 2, 1);
    RunDialog(window, kCropRow, [&](HWND d) {
      GetClientRect(GetDlgItem(d, IDC_CROP_PREVIEW), &c);
      HWND at = nullptr;  // Tab as the dialog manager walks it, round to Top again
      for (int id : {IDC_CROP_TOP, IDC_CROP_BOTTOM, IDC_CROP_LEFT, IDC_CROP_RIGHT, IDC_CROP_WIDTH,
                     IDC_CROP_HEIGHT, small ? IDC_CROP_REAL_SIZE : IDC_CROP_FIT, IDOK, IDCANCEL,
                     IDC_CROP_RESET, IDC_CROP_TOP})
        EXPECT_EQ(GetDlgCtrlID(at = GetNextDlgTabItem(d, at, FALSE)), id);
      SaveScreenshot({d}, small ? "crop_real_size" : "crop_fitted");
      Click(d, IDC_CROP_REAL_SIZE);
      EXPECT_EQ(IsWindowVisible(GetDlgItem(d, IDC_CROP_HSCROLL)), !small) << "one column to scroll";
      EXPECT_FALSE(IsWindowVisible(GetDlgItem(d, IDC_CROP_VSCROLL))) << "nothing to scroll down";
      Key(d, VK_ESCAPE);
    });
  }
}

// The preview's zones as cursors, drags and scrolling, without trails (a scrolled preview equals a
// fresh paint); a press inside before any margin is set only hints.
TEST_F(PluginTest, CropPreviewMarksMouseAndScrolling) {
  TestWindow window;
  HGLOBAL image = Hold(window, 24, 400, 300, 4);
  DibView picture;  // smooth, so that the marks stand out in the screenshots
  DescribeDib(GlobalLock(image), GlobalSize(image), picture);
  for (uint32_t y = 0; y < 300; ++y)
    for (uint32_t x = 0; x < 400; ++x)
      testimg::SetPixel(picture, x, y, (x * 255 / 400) << 16 | (y * 255 / 300) << 8 | 0x60);
  GlobalUnlock(image);
  RunDialog(window, kCropRow, [&](HWND d) {
    const HWND p = GetDlgItem(d, IDC_CROP_PREVIEW);
    RECT c;
    GetClientRect(p, &c);
    const auto fittedFresh = ClientPixels(p);
    const Action sameAs = [&](HWND) { EXPECT_EQ(ClientPixels(p), fittedFresh); };
    const HCURSOR hand = LoadCursorA(Plugin().module, MAKEINTRESOURCEA(IDC_CROP_HAND));
    // clang-format off
    const Action zones = [&](HWND) {  // marks at left 30, right 101, top 20, bottom 101
      for (auto [x, y, cursor] : {std::tuple<int, int, HCURSOR>{30, 60, Cursor(IDC_SIZEWE)},
               {111, 60, Cursor(IDC_SIZEWE)}, {60, 10, Cursor(IDC_SIZENS)},
               {39, 29, Cursor(IDC_SIZEALL)}, {19, 60, Cursor(IDC_ARROW)}, {60, 60, hand}})
        { MouseMove(p, {x, y}); EXPECT_EQ(Recorded().cursors.back(), cursor) << x << "," << y; }
    };
    RunSteps(d, kFields, {
        {{Margins("40", "60", "100", "20")}, "40 60 100 20 280 200", 0, 0, "crop_fitted_marks"},
        {{Clicking(IDC_CROP_RESET), sameAs, Clicking(IDC_CROP_REAL_SIZE)}, "0 0 0 0 400 300"}});
    const HWND h = GetDlgItem(d, IDC_CROP_HSCROLL), v = GetDlgItem(d, IDC_CROP_VSCROLL);
    EXPECT_TRUE(IsWindowVisible(h) && IsWindowVisible(v));
    const auto realFresh = ClientPixels(p);
    RunSteps(d, kFields, {
        {{Margins("20", "200", "30", "300")}, "20 200 30 300 70 80", 0, 0, "crop_real_size_marks"},
        {{zones, Drag({30, 60}, {{60, 60}, {-50, 60}})}, "20 200 0 300 100 80"},  // past the edge
        {{Drag({60, 60}, {{160, 0}})}, "0 220 100 200 100 80"},  // the inside, past the top
        {{Drag({201, 81}, {{-40, -40}})}, "0 299 100 299 1 1", 0, 0, "crop_dragged"},
        {{Clicking(IDC_CROP_RESET), Margins("60", "60", "60", "60")}, "60 60 60 60 280 180"}});
    // Each bar's wiring: its page, the thumb, its range; then both back to the start.
    for (auto [bar, request, thumb, want] : {std::tuple<HWND, WORD, WORD, int>{h, SB_PAGEDOWN, 0,
             std::min<int>(c.right, 400 - c.right + 2)}, {h, SB_THUMBPOSITION, 50, 50},
             {v, SB_PAGEDOWN, 0, 300 - c.bottom + 2}, {h, SB_THUMBPOSITION, 0, 0},
             {v, SB_THUMBPOSITION, 0, 0}}) {
      if (bar == h && want == 0) SaveScreenshot({d}, "crop_scrolled");  // before going back
      SendMessageA(d, bar == h ? WM_HSCROLL : WM_VSCROLL, MAKEWPARAM(request, thumb),
                   reinterpret_cast<LPARAM>(bar));
      EXPECT_EQ(GetScrollPos(bar, SB_CTL), want) << request;
      const auto scrolled = ClientPixels(p);
      InvalidateRect(p, nullptr, TRUE), UpdateWindow(p);
      EXPECT_EQ(scrolled, ClientPixels(p)) << "scrolled by request " << request;
    }
    const Action noTrails = [&](HWND) { EXPECT_EQ(ClientPixels(p), realFresh); };
    const Action press = [&](HWND) { MouseMove(p, {60, 60}), MouseDown(p, {60, 60}); };
    RunSteps(d, kFields, {
        {{Clicking(IDC_CROP_RESET), noTrails}, "0 0 0 0 400 300"},
        {{press}, "0 0 0 0 400 300", IDS_CROP_DRAG_HINT, IDC_CROP_RESET, "crop_hint"},
        {{Clicking(IDC_CROP_FIT), sameAs, Clicking(IDCANCEL)}, "0 0 0 0 400 300"}});
    // clang-format on
  });
}

}  // namespace
