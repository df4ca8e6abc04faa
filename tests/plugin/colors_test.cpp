// The colour chooser and the swatch, driven through real messages: the 1-bit toggle, the
// ColorChooser dialog and its grid (cells, ring, clicks, OK and Cancel), the system colour
// dialog, and StatColorCtrl.
#include <gtest/gtest.h>

#include <windows.h>
#include <colordlg.h>
#include <commdlg.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "controls/color_grid.h"
#include "controls/colors.h"
#include "dib/dib.h"
#include "host/korvex.h"
#include "plugin/host_api.h"
#include "resources/ids.h"
#include "tests/plugin/harness.h"
#include "tests/support/images.h"

namespace {

using namespace harness;

constexpr COLORREF kRed = RGB(255, 0, 0), kWhite = RGB(255, 255, 255), kBlack = RGB(0, 0, 0);

struct Choice {
  LONG index;
  BYTE red, green, blue;
  bool operator==(const Choice&) const = default;
};

// Cell `entry` of the grid of a ColorChooser showing an image of `bits`, where the control's own
// geometry (proven by the static checks of controls/color_grid.h) puts it: the pixels of its
// swatch, its frame and the gap between them, where the selected cell's red ring shows.
struct Cell {
  Cell(HWND chooser, unsigned bits, int entry) {
    HWND grid = GetDlgItem(chooser, IDC_COLOR_GRID);
    RECT r;
    GetClientRect(grid, &r);
    const ColorGrid g = MakeColorGrid(int(bits), r.right, r.bottom);
    const GridCell c = GridCellOf(g, entry);
    const int y = (c.top + c.bottom) / 2;
    UpdateWindow(grid);
    swatch = ClientPixel(grid, (c.left + c.right) / 2, y);
    frame = ClientPixel(grid, c.left, y);
    ring = ClientPixel(grid, c.left + 1 + (g.inset - 1) / 2, y);
  }
  COLORREF swatch, frame, ring;
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
  // The cell shows its entry's colour inside a black frame, with the ring only when `selected`.
  void ExpectCellShows(HWND chooser, unsigned bits, int entry, bool selected) {
    const Cell cell(chooser, bits, entry);
    const COLORREF colour = TableColor(ZQ_GetHDib(window_), entry);
    EXPECT_EQ(std::tuple(cell.swatch, cell.frame, cell.ring),
              std::tuple(colour, kBlack, selected ? kRed : kWhite))
        << bits << " bits, entry " << entry;
  }

  TestWindow window_;
};

// The grid on a real dialog: each cell its entry's colour in a black frame, a red ring between
// them on the selected cell only; a click selects the entry under it, OK returns it, Cancel
// writes nothing; a short table leaves cells empty.
TEST_F(ColorChooser, GridShowsTheTableAndMovesTheRingOnClicks) {
  for (unsigned bits : {4u, 8u}) {
    HoldImage(bits);
    Choice choice{5, 1, 2, 3};
    const int last = bits == 4 ? 15 : 255, clicked = bits == 4 ? 11 : 35;  // column 2, row 3
    OnDialog(IDD_COLOR_CHOOSER, [&](HWND dialog) {
      char caption[16] = "x";
      GetWindowTextA(dialog, caption, sizeof caption);
      EXPECT_STREQ(caption, "");
      ExpectCellShows(dialog, bits, 0, false);
      ExpectCellShows(dialog, bits, 5, true);  // the entry passed in
      ExpectCellShows(dialog, bits, last, false);
      // A click right of the last full cell selects nothing; one on a cell does.
      RECT r;
      GetClientRect(GetDlgItem(dialog, IDC_COLOR_GRID), &r);
      MouseDown(GetDlgItem(dialog, IDC_COLOR_GRID), {r.right - 1, r.bottom - 1});
      MouseUp(GetDlgItem(dialog, IDC_COLOR_GRID), {r.right - 1, r.bottom - 1});
      ExpectCellShows(dialog, bits, 5, true);
      ClickColorEntry(dialog, bits, clicked);
      ExpectCellShows(dialog, bits, clicked, true);
      ExpectCellShows(dialog, bits, 5, false);
      RedrawWindow(dialog, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      SaveScreenshot({dialog}, bits == 4 ? "color_chooser_16" : "color_chooser_256");
      Key(dialog, VK_RETURN);
    });
    EXPECT_EQ(Choose(choice), 1) << bits;
    EXPECT_EQ(choice, Entry(clicked)) << bits;

    // OK alone keeps entry 7; Cancel after a click changes nothing.
    for (const bool ok : {true, false}) {
      choice = {7, 1, 2, 3};
      OnDialog(IDD_COLOR_CHOOSER, [ok, bits](HWND dialog) {
        if (!ok) ClickColorEntry(dialog, bits, 1);
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
  // Cells beyond a short table stay empty and cannot be chosen.
  HoldImage(8, 20);
  choice = {3, 0, 0, 0};
  OnDialog(IDD_COLOR_CHOOSER, [&](HWND dialog) {
    EXPECT_EQ(Cell(dialog, 8, 85).swatch, kWhite) << "entry 85 does not exist";
    ClickColorEntry(dialog, 8, 85);
    SendMessageA(dialog, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(Choose(choice), 1);
  EXPECT_EQ(choice, Entry(3));
}

// Without a grid: 1 bit toggles black and white, another depth without a table is refused and
// nothing written; true colour and no image ask the system dialog (its structure as filled),
// which gives the colour with index 0 on OK and writes nothing on Cancel.
TEST_F(ColorChooser, TogglesOneBitAsksTheSystemForTrueColourAndRefusesTheRest) {
  const auto red200 = [](HWND d) { Type(d, COLOR_RED, "200"), Click(d, IDOK); };
  const auto cancel = [](HWND d) { Key(d, VK_ESCAPE); };
  const struct {
    unsigned bits;                     // 0: no image
    std::function<void(HWND)> system;  // the system dialog's script; null: it must not open
    Choice in;
    BOOL result;
    Choice out;
  } cases[] = {{1, nullptr, {0, 1, 2, 3}, 1, {1, 255, 255, 255}},
               {1, nullptr, {1, 9, 9, 9}, 1, {0, 0, 0, 0}},
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
// the same source, built into this program).
TEST_F(PluginTest, SwatchPaintsItsColourInABlackFrameAndOnlyBeepsOnClicks) {
  TestWindow parent;
  HWND swatch = CreateWindowExA(0, "StatColorCtrl", "", WS_CHILD | WS_VISIBLE, 10, 10, 40, 20,
                                parent, nullptr, Plugin().module, nullptr);
  UpdateWindow(swatch);
  EXPECT_EQ(GetWindowLongA(swatch, 0), 0) << "a new swatch is black";
  EXPECT_EQ(ClientPixel(swatch, 20, 10), kBlack);

  SetSwatchColor(swatch, 0x1FF, 0x300, 0x280);  // the low bytes count
  EXPECT_EQ(GetWindowLongA(swatch, 0), 0x008000FF);
  UpdateWindow(swatch);
  EXPECT_EQ(ClientPixel(swatch, 20, 10), RGB(255, 0, 128));
  EXPECT_EQ(ClientPixel(swatch, 39, 19), kBlack);

  SendMessageA(swatch, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(Recorded().beeps, std::vector<UINT>{0});
  EXPECT_EQ(GetWindowLongA(swatch, 0), 0x008000FF);
  DestroyWindow(swatch);
}

}  // namespace
