// The colour chooser and the swatch, driven through real messages: the 1-bit toggle, the
// ColorChooser dialog and its grid (geometry, ring, clicks, OK and Cancel), the system colour
// dialog, and StatColorCtrl.
#include <gtest/gtest.h>

#include <windows.h>
#include <colordlg.h>
#include <commdlg.h>

#include <functional>
#include <string>
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
using ChooseFunction = BOOL(WINAPI*)(HWND, HGLOBAL, HPALETTE, LONG*, BYTE*, BYTE*, BYTE*);

constexpr COLORREF kRed = RGB(255, 0, 0), kWhite = RGB(255, 255, 255), kBlack = RGB(0, 0, 0);

struct Choice {
  LONG index;
  BYTE red, green, blue;
  bool operator==(const Choice&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Choice& c) {
  return out << "index " << c.index << " rgb(" << int{c.red} << "," << int{c.green} << ","
             << int{c.blue} << ")";
}

// The grid control of a ColorChooser dialog, measured independently of the control's code: n x n
// cells from the client size, entry c * n + r in column c, row r.
struct Grid {
  Grid(HWND dialog, unsigned bits) : control(GetDlgItem(dialog, IDC_COLOR_GRID)) {
    GetClientRect(control, &client);
    n = bits == 4 ? 4 : 16;
    inset = bits == 4 ? 6 : 3;
    cellWidth = (client.right - n - 1) / n;
    cellHeight = (client.bottom - n - 1) / n;
    UpdateWindow(control);
  }
  POINT Center(int column, int row) const {
    return {column * cellWidth + cellWidth / 2, row * cellHeight + cellHeight / 2};
  }
  COLORREF At(POINT p) const { return ClientPixel(control, p.x, p.y); }
  // The pixel in the gap between the frame and the swatch, on the cell's left side.
  COLORREF Ring(int column, int row) const {
    return At({column * cellWidth + 1 + (inset - 1) / 2, Center(column, row).y});
  }
  void Click(POINT p) const {
    MouseDown(control, p);
    MouseUp(control, p);
    UpdateWindow(control);
  }
  HWND control;
  RECT client;
  int n, inset, cellWidth, cellHeight;
};

class ColorChooser : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    auto* address = reinterpret_cast<void*>(GetProcAddress(Plugin().module, "COL_ChooseColor"));
    choose_ = reinterpret_cast<ChooseFunction>(address);
    ASSERT_NE(choose_, nullptr);
  }
  // Puts a test image of `bits` into the window; `colors` entries for palette depths (a shorter
  // table: the rows follow it no longer, which the chooser ignores).
  void HoldImage(unsigned bits, uint32_t colors = 0) {
    HGLOBAL image = Hold(window_, bits, 6, 5, 2);
    if (colors) static_cast<BitmapInfoHeader*>(GlobalLock(image))->biClrUsed = colors;
    GlobalUnlock(image);
  }
  BOOL Choose(Choice& choice) {
    return choose_(window_, ZQ_GetHDib(window_), ZQ_GetHPalette(window_), &choice.index,
                   &choice.red, &choice.green, &choice.blue);
  }
  // The colour of table entry `entry` of the window's image.
  Choice Entry(LONG entry) {
    const auto* p = static_cast<const uint8_t*>(GlobalLock(ZQ_GetHDib(window_)));
    const auto* c = reinterpret_cast<const RgbQuad*>(p + 40) + entry;
    Choice result{entry, c->rgbRed, c->rgbGreen, c->rgbBlue};
    GlobalUnlock(ZQ_GetHDib(window_));
    return result;
  }
  // The cell shows its entry's colour inside a black frame.
  void ExpectCellShows(const Grid& g, int column, int row) {
    const Choice c = Entry(column * g.n + row);
    EXPECT_EQ(g.At(g.Center(column, row)), RGB(c.red, c.green, c.blue))
        << "cell " << column << "," << row;
    EXPECT_EQ(g.At({column * g.cellWidth, g.Center(column, row).y}), kBlack)
        << "frame of " << column << "," << row;
  }

  ChooseFunction choose_ = nullptr;
  TestWindow window_;
};

// The grid on a real dialog: a red ring between the black frame and the swatch of the selected
// cell only; OK returns the selected entry, Cancel writes nothing; a short table leaves cells
// empty.
TEST_F(ColorChooser, GridShowsTheTableAndMovesTheRingOnClicks) {
  for (unsigned bits : {4u, 8u}) {
    HoldImage(bits);
    Choice choice{5, 1, 2, 3};
    int n = 0;
    OnDialog(IDD_COLOR_CHOOSER, [&](HWND dialog) {
      char caption[16] = "x";
      GetWindowTextA(dialog, caption, sizeof caption);
      EXPECT_STREQ(caption, "");
      const Grid g(dialog, bits);
      n = g.n;
      ASSERT_GT(g.cellWidth, 2 * g.inset);
      ExpectCellShows(g, 0, 0);
      ExpectCellShows(g, 0, 1);  // entry 1 is below entry 0
      ExpectCellShows(g, 1, 0);  // entry n is right of entry 0
      ExpectCellShows(g, n - 1, n - 1);
      EXPECT_EQ(g.Ring(5 / n, 5 % n), kRed) << "entry 5 passed in is selected";
      EXPECT_EQ(g.Ring(0, 0), kWhite);

      // A click right of the last full cell selects nothing; a click on column 2, row 3 does.
      g.Click({g.client.right - 1, g.client.bottom - 1});
      EXPECT_EQ(g.Ring(5 / n, 5 % n), kRed);
      g.Click(g.Center(2, 3));
      EXPECT_EQ(g.Ring(2, 3), kRed);
      EXPECT_EQ(g.Ring(5 / n, 5 % n), kWhite) << "the old ring is gone";
      ExpectCellShows(g, 2, 3);

      RedrawWindow(dialog, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      SaveScreenshot({dialog}, bits == 4 ? "color_chooser_16" : "color_chooser_256");
      Key(dialog, VK_RETURN);
    });
    EXPECT_EQ(Choose(choice), 1) << bits;
    EXPECT_EQ(choice, Entry(2 * n + 3)) << bits;

    // OK alone keeps entry 7; Cancel after a click changes nothing.
    for (const bool ok : {true, false}) {
      choice = {7, 1, 2, 3};
      OnDialog(IDD_COLOR_CHOOSER, [ok, bits](HWND dialog) {
        if (const Grid g(dialog, bits); !ok) g.Click(g.Center(1, 1));
        Key(dialog, ok ? VK_RETURN : VK_ESCAPE);
      });
      EXPECT_EQ(Choose(choice), ok ? 1 : 0) << bits;
      EXPECT_EQ(choice, ok ? Entry(7) : (Choice{7, 1, 2, 3})) << bits;
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
    const Grid g(dialog, 8);
    EXPECT_EQ(g.At(g.Center(5, 5)), kWhite) << "entry 85 does not exist";
    g.Click(g.Center(5, 5));
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
