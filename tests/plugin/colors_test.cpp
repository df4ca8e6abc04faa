// The colour chooser and the swatch, driven through real messages: the 1-bit toggle, the
// ColorChooser dialog and its grid (clicks, OK and Cancel), the system colour dialog, and
// StatColorCtrl.
#include <gtest/gtest.h>

#include <windows.h>
#include <colordlg.h>
#include <commdlg.h>

#include <functional>
#include <tuple>
#include <vector>

#include "controls/colors.h"
#include "dib/dib.h"
#include "host/korvex.h"
#include "plugin/host_api.h"
#include "resources/ids.h"
#include "tests/plugin/harness.h"
#include "tests/support/images.h"

namespace {

using namespace harness;

struct Choice {
  LONG index;
  BYTE red, green, blue;
  bool operator==(const Choice&) const = default;
};

class ColorChooser : public PluginTest {
 protected:
  // Puts a test image of `bits` into the window; `colors` entries for palette depths (a shorter
  // table: the rows follow it no longer, which the chooser ignores).
  void HoldImage(unsigned bits, uint32_t colors = 0) {
    HGLOBAL image = Hold(window_, bits, 6, 5, 2);
    if (colors) static_cast<BitmapInfoHeader*>(GlobalLock(image))->biClrUsed = colors;
    GlobalUnlock(image);
  }
  BOOL Choose(Choice& choice) {
    return Export<decltype(&COL_ChooseColor)>("COL_ChooseColor")(
        window_, ZQ_GetHDib(window_), ZQ_GetHPalette(window_), &choice.index, &choice.red,
        &choice.green, &choice.blue);
  }
  // Table entry `entry` of the window's image as a choice.
  Choice Entry(LONG entry) {
    const COLORREF c = TableColor(ZQ_GetHDib(window_), entry);
    return {entry, GetRValue(c), GetGValue(c), GetBValue(c)};
  }
  TestWindow window_;
};

// The grid on a real dialog (its cells and the ring on the selected one are in the screenshots):
// a click selects the entry under it, OK returns it; OK alone returns the entry passed in, even
// after a click right of the last full cell; Cancel after a click writes nothing; cells beyond a
// short table cannot be chosen.
TEST_F(ColorChooser, GridReturnsTheClickedEntry) {
  for (unsigned bits : {4u, 8u}) {
    HoldImage(bits);
    Choice choice{5, 1, 2, 3};
    const int clicked = bits == 4 ? 11 : 35;  // column 2, row 3
    OnDialog(IDD_COLOR_CHOOSER, [&](HWND dialog) {
      ClickColorEntry(dialog, bits, clicked);
      RedrawWindow(dialog, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      SaveScreenshot({dialog}, bits == 4 ? "color_chooser_16" : "color_chooser_256");
      Key(dialog, VK_RETURN);
    });
    EXPECT_EQ(Choose(choice), 1) << bits;
    EXPECT_EQ(choice, Entry(clicked)) << bits;

    for (const bool ok : {true, false}) {
      choice = {7, 1, 2, 3};
      OnDialog(IDD_COLOR_CHOOSER, [ok, bits](HWND dialog) {
        HWND grid = GetDlgItem(dialog, IDC_COLOR_GRID);
        RECT r;
        GetClientRect(grid, &r);
        if (!ok) ClickColorEntry(dialog, bits, 1);
        MouseDown(grid, {r.right - 1, r.bottom - 1});  // right of the last full cell: nothing
        MouseUp(grid, {r.right - 1, r.bottom - 1});
        Key(dialog, ok ? VK_RETURN : VK_ESCAPE);
      });
      EXPECT_EQ(Choose(choice), ok ? 1 : 0) << bits;
      EXPECT_EQ(choice, (ok ? Entry(7) : Choice{7, 1, 2, 3})) << bits;
    }
  }
  // A chooser that cannot be created is a Cancel.
  FailCall("DialogBoxParamA", 1);
  Choice choice{7, 1, 2, 3};
  EXPECT_EQ(Choose(choice), 0);
  EXPECT_EQ(choice, (Choice{7, 1, 2, 3}));
  HoldImage(8, 20);
  choice = {3, 0, 0, 0};
  OnDialog(IDD_COLOR_CHOOSER, [&](HWND dialog) {
    ClickColorEntry(dialog, 8, 85);  // entry 85 does not exist
    SendMessageA(dialog, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(Choose(choice), 1);
  EXPECT_EQ(choice, Entry(3));
}

// Without a grid: 1 bit toggles between the table's two entries, another depth without a table is
// refused and nothing written; true colour and no image ask the system dialog (its structure as
// filled), which gives the colour with index 0 on OK and writes nothing on Cancel.
TEST_F(ColorChooser, TogglesOneBitAsksTheSystemForTrueColourAndRefusesTheRest) {
  const auto red200 = [](HWND d) { Type(d, COLOR_RED, "200"), Click(d, IDOK); };
  const auto cancel = [](HWND d) { Key(d, VK_ESCAPE); };
  const struct {
    unsigned bits;                     // 0: no image
    std::function<void(HWND)> system;  // the system dialog's script; null: it must not open
    Choice in;
    BOOL result;
    Choice out;
  } cases[] = {{1, nullptr, {0, 1, 2, 3}, 1, {1, 254, 15, 8}},  // the table's entries 1 and 0
               {1, nullptr, {1, 9, 9, 9}, 1, {0, 255, 2, 1}},
               {16, nullptr, {3, 4, 5, 6}, 0, {3, 4, 5, 6}},
               {32, red200, {9, 10, 20, 30}, 1, {0, 200, 20, 30}},
               {32, cancel, {9, 10, 20, 30}, 0, {9, 10, 20, 30}},
               {0, red200, {9, 10, 20, 30}, 1, {0, 200, 20, 30}}};
  for (const auto& c : cases) {
    c.bits ? HoldImage(c.bits == 16 ? 24 : c.bits) : KX_DetachWindow(window_);
    if (c.bits == 16) {
      static_cast<BitmapInfoHeader*>(GlobalLock(ZQ_GetHDib(window_)))->biBitCount = 16;
      GlobalUnlock(ZQ_GetHDib(window_));
    }
    ClearCalls();
    if (c.system) OnDialog(0, c.system);
    Choice choice = c.in;
    EXPECT_EQ(Choose(choice), c.result) << c.bits;
    EXPECT_EQ(choice, c.out) << c.bits;
    ASSERT_EQ(Recorded().chooseColor.size(), c.system ? 1u : 0u) << c.bits;
    if (!c.system) continue;
    const ChooseColorCall& call = Recorded().chooseColor[0];
    EXPECT_EQ(std::tie(call.size, call.owner, call.initial, call.flags),
              std::tuple(DWORD{sizeof(CHOOSECOLORA)}, window_.hwnd, RGB(10, 20, 30),
                         DWORD{CC_RGBINIT | CC_FULLOPEN}));
    EXPECT_EQ(call.custom, std::vector<COLORREF>(16, 0xFFFFFF));
  }
}

// The swatch: the plug-in's class through its window procedure, coloured by SetSwatchColor (from
// the same source, built into this program); how it paints is in every dialog's screenshot.
TEST_F(PluginTest, SwatchKeepsItsColourAndOnlyBeepsOnClicks) {
  TestWindow parent;
  HWND swatch = CreateWindowExA(0, "StatColorCtrl", "", WS_CHILD | WS_VISIBLE, 10, 10, 40, 20,
                                parent, nullptr, Plugin().module, nullptr);
  EXPECT_EQ(GetWindowLongA(swatch, 0), 0) << "a new swatch is black";
  SetSwatchColor(swatch, 0x1FF, 0x300, 0x280);  // the low bytes count
  EXPECT_EQ(GetWindowLongA(swatch, 0), 0x008000FF);
  SendMessageA(swatch, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(Recorded().beeps, std::vector<UINT>{0});
  EXPECT_EQ(GetWindowLongA(swatch, 0), 0x008000FF);
  DestroyWindow(swatch);
}

}  // namespace
