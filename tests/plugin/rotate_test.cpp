// Rotate... through the real dialog: its rules and what it remembers, the fill colour by depth,
// the turned image and host calls by depth and angle, and every failure leaving the image alone.

#include <windows.h>
#include <colordlg.h>

#include "rotate/rotate.h"
#include "tests/plugin/harness.h"

namespace {

using namespace harness;

constexpr int kRotateRow = 6;
constexpr int kCustom = IDC_ROTATE_CUSTOM, k90 = IDC_ROTATE_90, k270 = IDC_ROTATE_270,
              kAmount = IDC_ROTATE_AMOUNT, kQuality = IDC_ROTATE_QUALITY;

// "amount, the checked radio (0 Custom, 1 90, 2 180, 3 270), quality"
std::string Shown(HWND d) {
  int radio = 0;
  while (radio < 4 && !Checked(d, kCustom + radio)) ++radio;
  return Text(d, kAmount) + " " + std::to_string(radio) + std::to_string(Selected(d, kQuality));
}
// Pure red typed into the system colour dialog.
void TypeRed(HWND color) {
  for (int id : {COLOR_RED, COLOR_GREEN, COLOR_BLUE})
    Type(color, id, id == COLOR_RED ? "255" : "0");
}

class RotateCommand : public CommandTest {
 protected:
  RotateCommand() : CommandTest(kRotateRow, IDD_ROTATE) {}
};

// The first opening after loading, presets, Custom, typed amounts and the range message, after
// which the keyboard is back on Amount with the limit selected: Alt+A, 90 and Enter turn the
// picture a quarter, without a click.
TEST_F(RotateCommand, DialogFollowsItsRulesAndKeepsTheKeyboard) {
  ReloadPlugin();
  const Bytes before = GlobalBytes(Hold(window_, 8, 7, 4, 5));
  const auto limitSelected = [](HWND d) {
    DWORD start = 1, end = 0;
    SendDlgItemMessageA(d, kAmount, EM_GETSEL, WPARAM(&start), LPARAM(&end));
    EXPECT_EQ(std::tie(start, end), std::tuple(0, 4)) << "-360 selected";
    const MessageBoxCall& b = Recorded().boxes.back();
    EXPECT_EQ(std::tie(b.caption, b.owner, b.style),
              std::tuple("Rotation Angle", nullptr, UINT(MB_TASKMODAL)));
  };
  const auto quality = [](HWND d) { PhotographDropDown(d, kQuality, "rotate_quality_list"); };
  Run([&](HWND d) {
    // clang-format off
    RunSteps(d, Shown, {
        {{}, "180 21", 0, 0, "rotate_first_open"},
        {{Choosing(kQuality, 0), Clicking(k270)}, "270 31", 0, 0, "rotate_preset_270"},
        {{Clicking(kCustom)}, "270 01"}, {{Choosing(kQuality, 0), Typing(kAmount, "45")}, "45 00"},
        {{Typing(kAmount, "90")}, "90 11"}, {{Typing(kAmount, "12abc"), quality}, "12abc 01"},
        {{Typing(kAmount, "400")}, "360 01", IDS_ROTATE_ANGLE_RANGE, kAmount, "rotate_range_message"},
        {{Typing(kAmount, "-500"), limitSelected}, "-360 01", IDS_ROTATE_ANGLE_RANGE, kAmount},
        {{[](HWND d) { Mnemonic(d, 'a'), Keys(d, "90"); }, Pressing(VK_RETURN)}, ""}});
    // clang-format on
  });
  EXPECT_EQ(GlobalBytes(ZQ_GetHDib(window_)),
            EngineResult(before, [](HostBlock b) { return ROT_RotateDIB(b, 1, 90, {}, nullptr); }));
}

// What OK and Cancel leave for the next opening: the confirmed angle reduced, quality and fill
// kept even after Cancel, a remembered amount that is no preset opening on Custom.
TEST_F(RotateCommand, RemembersConfirmedAnglesAndEveryOtherChange) {
  Hold(window_, 24);
  const struct {
    const char* typed;
    int quality;
    UINT end;
    const char* reopened;
    COLORREF swatch;
  } cases[] = {{"12abc", 1, VK_RETURN, "12 01", RGB(192, 192, 192)},
               {"360", 1, VK_RETURN, "0 01", RGB(192, 192, 192)},
               {"-90", 0, VK_RETURN, "-90 00", RGB(192, 192, 192)},  // no preset: Low stays
               {"-45", 1, VK_RETURN, "-45 01", RGB(192, 192, 192)},
               {"30", 0, VK_ESCAPE, "-45 00", RGB(255, 0, 0)}};  // Cancel: red fill and Low stay
  for (const auto& c : cases) {
    Run([&](HWND d) {
      Type(d, kAmount, c.typed), Select(d, kQuality, c.quality);
      if (c.end == VK_ESCAPE) {
        OnDialog(0, [](HWND color) { TypeRed(color), Click(color, IDOK); });
        Click(d, IDC_ROTATE_COLOR);
      }
      Key(d, c.end);
    });
    Run([&](HWND d) {
      EXPECT_EQ(Shown(d), c.reopened) << c.typed;
      EXPECT_EQ(Swatch(d, IDC_ROTATE_SWATCH), c.swatch) << c.typed;
      if (c.end == VK_ESCAPE) SaveScreenshot({d}, "rotate_custom_low");
      Key(d, VK_ESCAPE);
    });
  }
}

// The Color: button by depth (the 1-bit toggle to the other entry, a palette's grid, the system
// dialog) and a palette image's own entry replacing a fill it cannot show; then the window's new
// image is the engine's for the amount, quality and fill chosen, its depth goes to the host, the
// host calls come in order, and the meter (High quality at any angle only) belongs to the host's
// main window. Which turn an amount asks for is the engine's rule, proven natively.
TEST_F(RotateCommand, TurnsWithAFillSuitedToTheDepth) {
  ReloadPlugin();
  constexpr int kNone = -1, kRed = -2;          // no window; red from the system dialog
  constexpr COLORREF kEntry0 = RGB(255, 2, 1);  // entry 0 of the test images' tables
  constexpr COLORREF kEntry = 0xFF000000;       // the image's entry `index`
  const struct {
    unsigned bits;
    int pick;  // what Color: gives: kNone (also for no click), a grid entry or kRed
    bool click;
    LONG index;
    COLORREF color;  // the swatch: a colour, or kEntry
    const char* amount;
    int quality;
    const char* shot;
  } cases[] = {{1, kNone, true, 1, kEntry, "30", 0, nullptr},  // toggled to the table's entry 1
               {8, 200, true, 200, kEntry, "30", 1, "rotate_color_grid"},
               {4, kNone, false, 0, kEntry, "-90", 0, nullptr},  // 200 is not in a 16-colour table
               {24, kRed, true, 0, RGB(255, 0, 0), "30", 1, "rotate_system_color"},
               {8, kNone, false, 0, kEntry, "360", 1, "rotate_palette_swatch"},
               {24, kNone, false, 0, kEntry0, "180", 1, nullptr},  // the palette's entry stayed
               {32, kNone, false, 0, kEntry0, "30", 1, nullptr}};
  for (const auto& c : cases) {
    const std::string what = testimg::Cat(c.bits, " bits, index ", c.index, ", ", c.amount);
    const Bytes before = GlobalBytes(Hold(window_, c.bits, 7, 4, 5));
    const COLORREF color = c.color == kEntry ? TableColor(ZQ_GetHDib(window_), c.index) : c.color;
    ClearCalls();
    Run([&](HWND d) {
      if (c.click && c.pick != kNone)
        OnDialog(c.pick == kRed ? 0 : IDD_COLOR_CHOOSER, [&](HWND chooser) {
          c.pick == kRed ? TypeRed(chooser) : ClickColorEntry(chooser, c.bits, c.pick);
          if (c.shot) SaveScreenshot({d, chooser}, c.shot);
          Click(chooser, IDOK);
        });
      if (c.click) Click(d, IDC_ROTATE_COLOR);
      EXPECT_EQ(Swatch(d, IDC_ROTATE_SWATCH), color) << what;
      if (c.shot && c.pick == kNone) SaveScreenshot({d}, c.shot);
      Type(d, kAmount, c.amount), Select(d, kQuality, c.quality), Click(d, IDOK);
    });
    const RotateFill fill = {GetRValue(color), GetGValue(color), GetBValue(color), c.index};
    const Bytes expected = EngineResult(before, [&](HostBlock b) {
      return ROT_RotateDIB(b, uint16_t(c.quality), std::stoi(c.amount), fill, nullptr);
    });
    const Strings meter = HostLog("ZQ_Progress");
    EXPECT_EQ(meter.empty(), c.quality == 0 || std::string(c.amount) != "30") << what;
    EXPECT_TRUE(meter.empty() || KX_ProgressOwner() == MainWindow()) << what;
    Strings log = {"ZQ_GetHDib", "ZQ_GetHPalette", "ZQ_GetOwnerWnd"};
    log.insert(log.end(), meter.begin(), meter.end());
    if (!expected.empty())
      log.insert(log.end(), {"ZQ_SetHDib", testimg::Cat("ZQ_SetInfo 24 ", +expected.at(14))});
    EXPECT_EQ(HostLog(), log) << what;
    EXPECT_EQ(GlobalBytes(ZQ_GetHDib(window_)), expected.empty() ? before : expected) << what;
    EXPECT_EQ(Recorded().cursors.size(), 2u) << what;
    EXPECT_TRUE(Recorded().boxes.empty()) << what;
  }
}

// Each allocation of a High-quality turn by 30 degrees failing in turn (the result and the
// sampler's five tables), no image, and a dialog that cannot be made (a Cancel, without a
// message): the window keeps its image (ExpectKept), the cursor changes only around the turn.
TEST_F(RotateCommand, FailuresLeaveTheImageAsItWas) {
  TestWindow empty;
  const struct {
    const char* failing;
    int n;
    unsigned message;
  } cases[] = {{"GlobalAlloc", 1, IDS_ROTATE_NO_MEMORY},
               {"GlobalAlloc", 2, IDS_ROTATE_NO_MEMORY},
               {"GlobalAlloc", 3, IDS_ROTATE_NO_MEMORY},
               {"GlobalAlloc", 4, IDS_ROTATE_NO_MEMORY},
               {"GlobalAlloc", 5, IDS_ROTATE_NO_MEMORY},
               {"GlobalAlloc", 6, IDS_ROTATE_NO_MEMORY},
               {"", 0, IDS_ROTATE_NO_IMAGE},
               {"DialogBoxParamA", 1, 0}};
  for (const auto& c : cases) {
    const std::string what = testimg::Cat(c.failing, " ", c.n);
    HGLOBAL image = Hold(window_, 8, 9, 6, 4);
    const Bytes bytes = GlobalBytes(image);
    if (c.message == IDS_ROTATE_NO_IMAGE) Plugin().imageActivate(empty, 1, 0);
    ClearCalls();
    if (*c.failing) FailCall(c.failing, c.n);
    if (c.message == IDS_ROTATE_NO_MEMORY)
      OnDialog(IDD_ROTATE,
               [](HWND d) { Type(d, kAmount, "30"), Select(d, kQuality, 1), Key(d, VK_RETURN); });
    EXPECT_EQ(RunCommand(window_, kRotateRow), 2) << what;
    if (c.message) ExpectOneMessage(c.message);
    EXPECT_EQ(Recorded().boxes.size(), c.message ? 1u : 0u) << what;
    EXPECT_EQ(Recorded().cursors.size(), c.message == IDS_ROTATE_NO_MEMORY ? 2u : 0u) << what;
    ExpectKept(window_, image, bytes, what);
  }
}

}  // namespace
