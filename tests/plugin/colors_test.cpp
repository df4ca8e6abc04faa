// The colour chooser and the swatch, driven through real messages: the 1-bit toggle, the
// ColorChooser dialog and its grid (geometry, ring, clicks, OK and Cancel), the system colour
// dialog, and StatColorCtrl.
#include <gtest/gtest.h>

#include <windows.h>
#include <commdlg.h>

#include <string>
#include <vector>

#include "controls/colors.h"
#include "dib/dib.h"
#include "host/korvex.h"
#include "plugin/host_api.h"
#include "plugin/plugin.h"
#include "resources/ids.h"
#include "tests/plugin/harness.h"
#include "tests/plugin/plugin_test.h"
#include "tests/support/images.h"

namespace {

using harness::TestWindow;
using ChooseFunction = BOOL(WINAPI*)(HWND, HGLOBAL, HPALETTE, LONG*, BYTE*, BYTE*, BYTE*);

constexpr COLORREF kRed = RGB(255, 0, 0), kWhite = RGB(255, 255, 255), kBlack = RGB(0, 0, 0);

struct Choice {
  LONG index;
  BYTE red, green, blue;
  bool operator==(const Choice&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Choice& c) {
  return out << "index " << c.index << " rgb(" << int{c.red} << "," << int{c.green} << "," << int{c.blue} << ")";
}

class ColorChooser : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    choose_ = reinterpret_cast<ChooseFunction>(reinterpret_cast<void*>(GetProcAddress(harness::Plugin().module, "COL_ChooseColor")));
    ASSERT_NE(choose_, nullptr);
  }
  // Puts a test image of `bits` into the window; `colors` entries for palette depths.
  void Hold(unsigned bits, uint32_t colors = 0) {
    HGLOBAL image = harness::ToGlobal(testimg::Make(bits, 6, 5, 2));
    if (colors) {
      auto* h = static_cast<BitmapInfoHeader*>(GlobalLock(image));
      h->biClrUsed = colors;  // a shorter table; the rows follow it no longer, which the chooser ignores
      GlobalUnlock(image);
    }
    KX_AttachImage(window_, image);
  }
  BOOL Choose(Choice& choice) {
    return choose_(window_, ZQ_GetHDib(window_), ZQ_GetHPalette(window_), &choice.index, &choice.red, &choice.green,
                   &choice.blue);
  }
  // The colour of table entry `entry` of the window's image.
  Choice Entry(LONG entry) {
    const auto* p = static_cast<const uint8_t*>(GlobalLock(ZQ_GetHDib(window_)));
    const auto* c = reinterpret_cast<const RgbQuad*>(p + 40) + entry;
    Choice result{entry, c->rgbRed, c->rgbGreen, c->rgbBlue};
    GlobalUnlock(ZQ_GetHDib(window_));
    return result;
  }

  ChooseFunction choose_ = nullptr;
  TestWindow window_;
};

TEST_F(ColorChooser, TogglesBlackAndWhiteForOneBitImagesAndRefusesOtherPaletteLessDepths) {
  Hold(1);
  const struct {
    Choice in, out;
  } cases[] = {{{0, 1, 2, 3}, {1, 255, 255, 255}}, {{1, 9, 9, 9}, {0, 0, 0, 0}}, {{7, 9, 9, 9}, {0, 0, 0, 0}}};
  for (const auto& c : cases) {
    Choice choice = c.in;
    EXPECT_EQ(Choose(choice), 1);
    EXPECT_EQ(choice, c.out);
  }
  auto* h = static_cast<BitmapInfoHeader*>(GlobalLock(ZQ_GetHDib(window_)));
  h->biBitCount = 16;
  GlobalUnlock(ZQ_GetHDib(window_));
  Choice choice{3, 4, 5, 6};
  EXPECT_EQ(Choose(choice), 0);
  EXPECT_EQ(choice, (Choice{3, 4, 5, 6}));
  EXPECT_TRUE(harness::ChooseColorCalls().empty());
}

// The grid on a real dialog: n x n cells from the client size, entry c * n + r in column c,
// row r, a red ring between the black frame and the swatch of the selected cell only.
class ColorGridDialog : public ColorChooser, public testing::WithParamInterface<unsigned> {
 protected:
  struct Geometry {
    int n, cellWidth, cellHeight, inset;
  };
  static Geometry GeometryOf(HWND grid) {
    RECT client;
    GetClientRect(grid, &client);
    const int n = GetParam() == 4 ? 4 : 16;
    return {n, (client.right - n - 1) / n, (client.bottom - n - 1) / n, GetParam() == 4 ? 6 : 3};
  }
  static POINT Center(const Geometry& g, int column, int row) {
    return {column * g.cellWidth + g.cellWidth / 2, row * g.cellHeight + g.cellHeight / 2};
  }
  // The pixel in the gap between the frame and the swatch, on the cell's left side.
  static COLORREF Ring(HWND grid, const Geometry& g, int column, int row) {
    return harness::ClientPixel(grid, column * g.cellWidth + 1 + (g.inset - 1) / 2, row * g.cellHeight + g.cellHeight / 2);
  }
  void ExpectCellShows(HWND grid, const Geometry& g, int column, int row) {
    const POINT p = Center(g, column, row);
    const Choice c = Entry(column * g.n + row);
    EXPECT_EQ(harness::ClientPixel(grid, p.x, p.y), RGB(c.red, c.green, c.blue)) << "cell " << column << "," << row;
    EXPECT_EQ(harness::ClientPixel(grid, column * g.cellWidth, p.y), kBlack) << "frame of " << column << "," << row;
  }
  static void Click(HWND grid, POINT p) {
    SendMessageA(grid, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    UpdateWindow(grid);
  }
};

TEST_P(ColorGridDialog, ShowsTheTableAndMovesTheRingOnClicks) {
  Hold(GetParam());
  Choice choice{5, 1, 2, 3};
  const int last = GetParam() == 4 ? 3 : 15;
  harness::OnDialog(IDD_COLOR_CHOOSER, [&](HWND dialog) {
    char caption[16] = "x";
    GetWindowTextA(dialog, caption, sizeof caption);
    EXPECT_STREQ(caption, "");
    HWND grid = GetDlgItem(dialog, IDC_COLOR_GRID);
    char className[32] = {};
    GetClassNameA(grid, className, sizeof className);
    EXPECT_STREQ(className, "ColorCtrl");
    UpdateWindow(grid);
    const Geometry g = GeometryOf(grid);
    ASSERT_GT(g.cellWidth, 2 * g.inset);
    ExpectCellShows(grid, g, 0, 0);
    ExpectCellShows(grid, g, 0, 1);  // entry 1 is below entry 0
    ExpectCellShows(grid, g, 1, 0);  // entry n is right of entry 0
    ExpectCellShows(grid, g, last, last);
    const int selected[2] = {5 / g.n, 5 % g.n};
    EXPECT_EQ(Ring(grid, g, selected[0], selected[1]), kRed) << "entry 5 passed in is selected";
    EXPECT_EQ(Ring(grid, g, 0, 0), kWhite);

    // A click right of the last full cell selects nothing; a click on column 2, row 3 does.
    RECT client;
    GetClientRect(grid, &client);
    Click(grid, {client.right - 1, client.bottom - 1});
    EXPECT_EQ(Ring(grid, g, selected[0], selected[1]), kRed);
    Click(grid, Center(g, 2, 3));
    EXPECT_EQ(Ring(grid, g, 2, 3), kRed);
    EXPECT_EQ(Ring(grid, g, selected[0], selected[1]), kWhite) << "the old ring is gone";
    ExpectCellShows(grid, g, 2, 3);

    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    harness::SaveScreenshot({dialog}, GetParam() == 4 ? "color_chooser_16" : "color_chooser_256");
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, 1), 0);  // not exactly IDOK: ignored
    EXPECT_TRUE(IsWindow(dialog));
    SendMessageA(dialog, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(Choose(choice), 1);
  EXPECT_EQ(choice, Entry(2 * (GetParam() == 4 ? 4 : 16) + 3));
}

TEST_P(ColorGridDialog, OkAloneKeepsTheEntryPassedInAndCancelChangesNothing) {
  Hold(GetParam());
  for (const bool ok : {true, false}) {
    Choice choice{7, 1, 2, 3};
    harness::OnDialog(IDD_COLOR_CHOOSER, [ok](HWND dialog) {
      HWND grid = GetDlgItem(dialog, IDC_COLOR_GRID);
      if (!ok) Click(grid, Center(GeometryOf(grid), 1, 1));
      SendMessageA(dialog, WM_COMMAND, ok ? IDOK : IDCANCEL, 0);
    });
    EXPECT_EQ(Choose(choice), ok ? 1 : 0);
    EXPECT_EQ(choice, ok ? Entry(7) : (Choice{7, 1, 2, 3}));
  }
}

INSTANTIATE_TEST_SUITE_P(Depths, ColorGridDialog, testing::Values(4u, 8u),
                         [](const testing::TestParamInfo<unsigned>& info) { return std::to_string(info.param) + "bit"; });

TEST_F(ColorChooser, LeavesCellsBeyondAShortTableEmptyAndUnselectable) {
  Hold(8, 20);
  Choice choice{3, 0, 0, 0};
  harness::OnDialog(IDD_COLOR_CHOOSER, [&](HWND dialog) {
    HWND grid = GetDlgItem(dialog, IDC_COLOR_GRID);
    UpdateWindow(grid);
    RECT client;
    GetClientRect(grid, &client);
    const int w = (client.right - 17) / 16, h = (client.bottom - 17) / 16;
    EXPECT_EQ(harness::ClientPixel(grid, 5 * w + w / 2, 5 * h + h / 2), kWhite) << "entry 85 does not exist";
    SendMessageA(grid, WM_LBUTTONDOWN, 0, MAKELPARAM(5 * w + w / 2, 5 * h + h / 2));
    SendMessageA(dialog, WM_COMMAND, IDOK, 0);
  });
  EXPECT_EQ(Choose(choice), 1);
  EXPECT_EQ(choice, Entry(3));
}

TEST_F(ColorChooser, UsesTheSystemDialogForTrueColourAndNoImage) {
  for (unsigned bits : {24u, 32u, 0u}) {
    if (bits) Hold(bits);
    harness::ClearCalls();
    // Confirmed: the colour typed into the dialog's red field comes back with index 0.
    harness::OnDialog(0, [](HWND dialog) {
      SetDlgItemTextA(dialog, 706, "200");
      SendMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    Choice choice{9, 10, 20, 30};
    const BOOL confirmed = bits ? Choose(choice)
                                : choose_(window_, nullptr, nullptr, &choice.index, &choice.red, &choice.green, &choice.blue);
    EXPECT_EQ(confirmed, 1) << bits;
    EXPECT_EQ(choice, (Choice{0, 200, 20, 30})) << bits;
    ASSERT_EQ(harness::ChooseColorCalls().size(), 1u);
    const harness::ChooseColorCall& call = harness::ChooseColorCalls()[0];
    EXPECT_EQ(call.size, sizeof(CHOOSECOLORA));
    EXPECT_EQ(call.owner, window_.hwnd);
    EXPECT_EQ(call.initial, RGB(10, 20, 30));
    EXPECT_EQ(call.flags, DWORD{CC_RGBINIT | CC_FULLOPEN});
    EXPECT_EQ(call.custom, std::vector<COLORREF>(16, 0xFFFFFF));

    // Cancelled: nothing is written.
    harness::OnDialog(0, [](HWND dialog) { SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_EQ(Choose(choice), 0) << bits;
    EXPECT_EQ(choice, (Choice{0, 200, 20, 30}));
    if (!bits) break;
    KX_DetachWindow(window_);
  }
}

// The swatch: the plug-in's class through its window procedure, and SetSwatchColor from the same
// source built into this program.
TEST_F(PluginTest, SwatchPaintsItsColourInABlackFrameAndOnlyBeepsOnClicks) {
  TestWindow parent;
  HWND swatch = CreateWindowExA(0, "StatColorCtrl", "", WS_CHILD | WS_VISIBLE, 10, 10, 40, 20, parent, nullptr,
                                harness::Plugin().module, nullptr);
  UpdateWindow(swatch);
  EXPECT_EQ(GetWindowLongA(swatch, 0), 0) << "a new swatch is black";
  EXPECT_EQ(harness::ClientPixel(swatch, 20, 10), kBlack);

  SetWindowLongA(swatch, 0, static_cast<LONG>(RGB(10, 200, 30)));
  InvalidateRect(swatch, nullptr, TRUE);
  UpdateWindow(swatch);
  EXPECT_EQ(harness::ClientPixel(swatch, 20, 10), RGB(10, 200, 30));
  EXPECT_EQ(harness::ClientPixel(swatch, 39, 19), kBlack);

  SendMessageA(swatch, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(harness::Beeps(), std::vector<UINT>{0});
  EXPECT_EQ(GetWindowLongA(swatch, 0), static_cast<LONG>(RGB(10, 200, 30)));
  DestroyWindow(swatch);
}

TEST(SetSwatchColor, StoresTheLowBytesAndRepaints) {
  ASSERT_NE(STA_RegisterStatColorCtrl(), 0);  // this program's own copy of the class
  TestWindow parent;
  HWND swatch = CreateWindowExA(0, "StatColorCtrl", "", WS_CHILD | WS_VISIBLE, 10, 10, 30, 30, parent, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  UpdateWindow(swatch);
  SetSwatchColor(swatch, 0x1FF, 0x300, 0x280);
  EXPECT_EQ(GetWindowLongA(swatch, 0), 0x008000FF);
  EXPECT_TRUE(GetUpdateRect(swatch, nullptr, FALSE)) << "invalidated at once";
  UpdateWindow(swatch);
  EXPECT_EQ(harness::ClientPixel(swatch, 15, 15), RGB(255, 0, 128));
  DestroyWindow(swatch);
}

}  // namespace
