// The colour chooser and the swatch, driven through real messages: the 1-bit toggle, the
// ColorChooser dialog and its grid (clicks, OK and Cancel), the system colour dialog, and
// StatColorCtrl.

#include <windows.h>
#include <colordlg.h>
#include <commdlg.h>

#include "controls/colors.h"
#include "dib/dib.h"
#include "tests/plugin/harness.h"

namespace {

using namespace harness;

struct Choice {
  LONG index;
  BYTE red, green, blue;
  bool operator==(const Choice&) const = default;
};

class ColorChooser : public PluginTest {
 protected:
  // COL_ChooseColor on a test image of `bits` (0: none) in the window, with `colors` table entries
  // when given (a shorter table than the depth's), starting from `choice`.
  BOOL Choose(unsigned bits, Choice& choice, uint32_t colors = 0) {
    if (bits) {
      HGLOBAL image = Hold(window_, bits == 16 ? 24 : bits, 6, 5, 2);
      auto* header = static_cast<BitmapInfoHeader*>(GlobalLock(image));
      if (colors) header->biClrUsed = colors;
      if (bits == 16) header->biBitCount = 16;
      GlobalUnlock(image);
    }
    return Export<decltype(&COL_ChooseColor)>("COL_ChooseColor")(
        window_, bits ? ZQ_GetHDib(window_) : nullptr, ZQ_GetHPalette(window_), &choice.index,
        &choice.red, &choice.green, &choice.blue);
  }
  // Table entry `entry` of the test images as a choice.
  static Choice Entry(LONG entry) {
    const COLORREF c = TableColor(entry);
    return {entry, GetRValue(c), GetGValue(c), GetBValue(c)};
  }
  TestWindow window_;
};

// The grid on a real dialog (its cells and the ring on the selected one are in the screenshots),
// starting from entry 7: a click selects the entry under it and OK returns it; a click right of
// the last full cell or on a cell beyond a short table selects nothing; Cancel after a click writes
// nothing; a chooser that cannot be made is a Cancel.
TEST_F(ColorChooser, GridReturnsTheClickedEntry) {
  constexpr int kOutside = -1;  // right of and below the last full cell
  const struct {
    unsigned bits;
    uint32_t colors;
    std::vector<int> clicks;
    UINT end;  // 0: the dialog cannot be made
    LONG chosen;
    const char* shot;
  } cases[] = {{4, 0, {11}, VK_RETURN, 11, "color_chooser_16"},  // column 2, row 3
               {8, 0, {35}, VK_RETURN, 35, "color_chooser_256"},
               {8, 0, {kOutside}, VK_RETURN, 7, nullptr},
               {8, 0, {1, kOutside}, VK_ESCAPE, -1, nullptr},
               {8, 20, {85}, VK_RETURN, 7, nullptr},
               {8, 0, {}, 0, -1, nullptr}};
  for (const auto& c : cases) {
    if (c.end) {
      OnDialog(IDD_COLOR_CHOOSER, [&](HWND dialog) {
        HWND grid = GetDlgItem(dialog, IDC_COLOR_GRID);
        RECT r;
        GetClientRect(grid, &r);
        for (int entry : c.clicks)
          entry == kOutside ? MouseDown(grid, {r.right - 1, r.bottom - 1})
                            : ClickColorEntry(dialog, c.bits, entry);
        if (c.shot) {
          RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
          SaveScreenshot({dialog}, c.shot);
        }
        Key(dialog, c.end);
      });
    } else {
      FailCall("DialogBoxParamA", 1);
    }
    const Choice given{7, 1, 2, 3};
    Choice choice = given;
    EXPECT_EQ(Choose(c.bits, choice, c.colors), c.chosen >= 0) << c.bits << " " << c.chosen;
    EXPECT_EQ(choice, c.chosen >= 0 ? Entry(c.chosen) : given) << c.chosen;
  }
}

// Without a grid: 1 bit toggles between the table's two entries, another depth (16 bits) is
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
  } cases[] = {{1, nullptr, {0, 1, 2, 3}, 1, Entry(1)},  // the table's entries 1 and 0
               {1, nullptr, {1, 9, 9, 9}, 1, Entry(0)},
               {16, nullptr, {3, 4, 5, 6}, 0, {3, 4, 5, 6}},
               {32, red200, {9, 10, 20, 30}, 1, {0, 200, 20, 30}},
               {32, cancel, {9, 10, 20, 30}, 0, {9, 10, 20, 30}},
               {0, red200, {9, 10, 20, 30}, 1, {0, 200, 20, 30}}};
  for (const auto& c : cases) {
    ClearCalls();
    if (c.system) OnDialog(0, c.system);
    Choice choice = c.in;
    EXPECT_EQ(Choose(c.bits, choice), c.result) << c.bits;
    EXPECT_EQ(choice, c.out) << c.bits;
    // Preset to the current colour, full open, with sixteen white custom colours.
    const std::string call = Cat(sizeof(CHOOSECOLORA), " ", window_.hwnd, std::hex, " ",
                                 CC_RGBINIT | CC_FULLOPEN, " ", RGB(10, 20, 30), " 1 ffffff");
    EXPECT_EQ(Recorded().chooseColor, c.system ? Strings{call} : Strings{}) << c.bits;
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
  SendMessageA(swatch, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(Recorded().beeps, std::vector<UINT>{0});
  EXPECT_EQ(GetWindowLongA(swatch, 0), 0x008000FF);
  DestroyWindow(swatch);
}

}  // namespace
