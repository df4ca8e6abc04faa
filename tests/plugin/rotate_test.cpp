// Rotate... through the real dialog: its rules and what it remembers, the fill colour by depth,
// the turned image and host calls by depth and angle, and every failure leaving the image alone.
#include <gtest/gtest.h>

#include <windows.h>
#include <colordlg.h>

#include <string>
#include <tuple>
#include <vector>

#include "host/host_app.h"
#include "host/korvex.h"
#include "plugin/host_api.h"
#include "resources/ids.h"
#include "resources/text_ids.h"
#include "rotate/rotate.h"
#include "tests/plugin/harness.h"
#include "tests/support/images.h"

namespace {

using namespace harness;

constexpr int kRotateRow = 6;
constexpr int kCustom = IDC_ROTATE_CUSTOM, k90 = IDC_ROTATE_90, k180 = IDC_ROTATE_180,
              k270 = IDC_ROTATE_270, kAmount = IDC_ROTATE_AMOUNT, kQuality = IDC_ROTATE_QUALITY;

int CheckedRadio(HWND d) {
  for (int id : {kCustom, k90, k180, k270})
    if (Checked(d, id)) return id;
  return 0;
}
int Quality(HWND d) { return int(SendDlgItemMessageA(d, kQuality, CB_GETCURSEL, 0, 0)); }
COLORREF Swatch(HWND d) { return COLORREF(GetWindowLongA(GetDlgItem(d, IDC_ROTATE_SWATCH), 0)); }
// Pure red typed into the system colour dialog.
void TypeRed(HWND color) {
  for (int id : {COLOR_RED, COLOR_GREEN, COLOR_BLUE})
    Type(color, id, id == COLOR_RED ? "255" : "0");
}

// Rotate... on `window`, with `script` run in the dialog (it ends the dialog itself).
void Rotate(HWND window, std::function<void(HWND)> script) {
  OnDialog(IDD_ROTATE, std::move(script));
  EXPECT_EQ(RunCommand(window, kRotateRow), 2);
}

class RotateCommand : public PluginTest {
 protected:
  TestWindow window_;
};

TEST_F(RotateCommand, DialogFollowsItsRules) {
  ReloadPlugin();  // the first use after loading
  Hold(window_, 24);
  const auto type = [](const char* text) { return [=](HWND d) { Type(d, kAmount, text); }; };
  const auto lowThen = [](std::function<void(HWND)> act) {
    return [=](HWND d) { Select(d, kQuality, 0), act(d); };
  };
  const auto click = [](int id) { return [=](HWND d) { Click(d, id); }; };
  const struct {
    std::function<void(HWND)> act;
    const char *text, *shot;
    int radio, quality;
    bool message;
  } steps[] = {
      {[](HWND) {}, "180", "rotate_first_open", k180, 1, false},
      {lowThen(click(k270)), "270", "rotate_preset_270", k270, 1, false},
      {click(kCustom), "270", nullptr, kCustom, 1, false},
      {lowThen(type("45")), "45", nullptr, kCustom, 0, false},
      {type("90"), "90", nullptr, k90, 1, false},
      {type("400"), "360", "rotate_range_message", kCustom, 1, true},
      {type("12abc"), "12abc", nullptr, kCustom, 1, false},
  };
  Rotate(window_, [&](HWND d) {
    for (const auto& s : steps) {
      const size_t boxes = Recorded().boxes.size();
      if (s.message && s.shot) PhotographNextMessage(s.shot, d);
      s.act(d);
      EXPECT_EQ(Text(d, kAmount), s.text);
      EXPECT_EQ(CheckedRadio(d), s.radio) << s.text;
      EXPECT_EQ(Quality(d), s.quality) << s.text;
      EXPECT_EQ(Recorded().boxes.size(), boxes + s.message) << s.text;
      if (s.message && Recorded().boxes.size() > boxes) {
        const MessageBoxCall& b = Recorded().boxes.back();
        EXPECT_EQ(std::tie(b.text, b.caption, b.owner, b.style),
                  std::tuple(TextById(IDS_ROTATE_ANGLE_RANGE), "Rotation Angle", nullptr,
                             UINT(MB_TASKMODAL)));
      } else if (s.shot) {
        SaveScreenshot({d}, s.shot);
      }
    }
    PhotographDropDown(d, kQuality, "rotate_quality_list");
    Key(d, VK_ESCAPE);
  });
}

// After the range message the keyboard is back in the dialog, on Amount with the limit selected:
// Alt+A, 90 and Enter turn the picture a quarter, without a click.
TEST_F(RotateCommand, KeyboardStaysInTheDialogAfterTheRangeMessage) {
  const std::vector<uint8_t> before = GlobalBytes(Hold(window_, 8, 7, 4, 5));
  Rotate(window_, [](HWND d) {
    Type(d, kAmount, "400");
    EXPECT_EQ(GetActiveWindow(), d);
    EXPECT_EQ(FocusId(d), kAmount);
    DWORD start = 1, end = 0;
    SendDlgItemMessageA(d, kAmount, EM_GETSEL, WPARAM(&start), LPARAM(&end));
    EXPECT_EQ(std::tie(start, end), std::tuple(0, 3)) << "360 selected";
    Key(d, VK_RETURN);  // the message is gone: Enter is OK, 360 turns nothing
  });
  EXPECT_EQ(HostLog("ZQ_SetHDib"), Strings{});
  Rotate(window_, [](HWND d) {
    Type(d, kAmount, "-500");
    Mnemonic(d, 'a'), Keys(d, "90"), Key(d, VK_RETURN);
  });
  EXPECT_EQ(GlobalBytes(ZQ_GetHDib(window_)),
            EngineResult(before, [](HostBlock b) { return ROT_RotateDIB(b, 1, 90, {}, nullptr); }));
}

// What OK and Cancel leave for the next opening.
TEST_F(RotateCommand, RemembersConfirmedAnglesAndEveryOtherChange) {
  Hold(window_, 24);
  const struct {
    const char* typed;
    int quality;
    UINT end;
    const char* reopened;
    COLORREF swatch;
  } cases[] = {{"12abc", 1, VK_RETURN, "12", RGB(192, 192, 192)},
               {"360", 1, VK_RETURN, "0", RGB(192, 192, 192)},
               {"-90", 0, VK_RETURN, "-90", RGB(192, 192, 192)},  // no preset: Low stays
               {"-45", 1, VK_RETURN, "-45", RGB(192, 192, 192)},
               {"30", 0, VK_ESCAPE, "-45", RGB(255, 0, 0)}};  // Cancel: red fill and Low stay
  for (const auto& c : cases) {
    Rotate(window_, [&](HWND d) {
      Type(d, kAmount, c.typed);
      Select(d, kQuality, c.quality);
      if (c.end == VK_ESCAPE) {
        OnDialog(0, [](HWND color) { TypeRed(color), Click(color, IDOK); });
        Click(d, IDC_ROTATE_COLOR);
      }
      Key(d, c.end);
    });
    Rotate(window_, [&](HWND d) {
      EXPECT_EQ(Text(d, kAmount), c.reopened) << c.typed;
      EXPECT_EQ(CheckedRadio(d), kCustom) << c.typed;
      EXPECT_EQ(Quality(d), c.quality) << c.typed;
      EXPECT_EQ(Swatch(d), c.swatch) << c.typed;
      if (c.end == VK_ESCAPE) SaveScreenshot({d}, "rotate_custom_low");
      Key(d, VK_ESCAPE);
    });
  }
}

// The Color: button by depth (the 1-bit toggle to the other entry, a palette's grid, the system
// dialog) and a palette image's own entry replacing a fill it cannot show; then the window's new
// image is the engine's for the amount, quality and fill chosen, its depth goes to the host, the
// host calls come in order, and the meter (High quality at any angle only) belongs to the host's
// main window. Which turn an amount asks for is the engine's rule, proven natively; a full turn
// changes nothing.
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
    const std::vector<uint8_t> before = GlobalBytes(Hold(window_, c.bits, 7, 4, 5));
    const COLORREF color = c.color == kEntry ? TableColor(ZQ_GetHDib(window_), c.index) : c.color;
    ClearCalls();
    Rotate(window_, [&](HWND d) {
      if (c.click && c.pick != kNone)
        OnDialog(c.pick == kRed ? 0 : IDD_COLOR_CHOOSER, [&](HWND chooser) {
          c.pick == kRed ? TypeRed(chooser) : ClickColorEntry(chooser, c.bits, c.pick);
          if (c.shot) SaveScreenshot({d, chooser}, c.shot);
          Click(chooser, IDOK);
        });
      if (c.click) Click(d, IDC_ROTATE_COLOR);
      EXPECT_EQ(Swatch(d), color) << what;
      if (c.shot && c.pick == kNone) SaveScreenshot({d}, c.shot);
      Type(d, kAmount, c.amount);
      Select(d, kQuality, c.quality);
      Click(d, IDOK);
    });
    const RotateFill fill = {GetRValue(color), GetGValue(color), GetBValue(color), c.index};
    const std::vector<uint8_t> expected = EngineResult(before, [&](HostBlock b) {
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

// Every failure shows its one message (none when the dialog cannot be made) and leaves the
// window's image as it was: same handle and bytes, unlocked, no hand-over, no meter, the cursor
// back, nothing left allocated.
TEST_F(RotateCommand, FailuresLeaveTheImageAsItWas) {
  TestWindow empty;
  // High quality at 30 degrees: the result and the sampler's five tables can fail (the other
  // turns' allocations are the engine's, failed natively; the plug-in handles all alike).
  HGLOBAL image = Hold(window_, 8, 9, 6, 4);
  const std::vector<uint8_t> bytes = GlobalBytes(image);
  for (int n = 1; n <= 6; ++n) {
    const std::string what = testimg::Cat("allocation ", n);
    ClearCalls();
    FailCall("GlobalAlloc", n);
    Rotate(window_,
           [](HWND d) { Type(d, kAmount, "30"), Select(d, kQuality, 1), Key(d, VK_RETURN); });
    ExpectOneMessage(IDS_ROTATE_NO_MEMORY);
    ExpectKept(window_, image, bytes, what);
    EXPECT_EQ(Recorded().cursors.size(), 2u) << what;
  }

  for (TextId text : {IDS_ROTATE_NO_IMAGE, IDS_UNSUPPORTED_IMAGE, TextId{}}) {  // 0: no dialog
    HGLOBAL image = Hold(window_, 24);
    if (text == IDS_UNSUPPORTED_IMAGE)
      static_cast<BitmapInfoHeader*>(GlobalLock(image))->biBitCount = 16;
    GlobalUnlock(image);
    const std::vector<uint8_t> bytes = GlobalBytes(image);
    if (text == IDS_ROTATE_NO_IMAGE) Plugin().imageActivate(empty, 1, 0);
    ClearCalls();
    if (!text) FailCall("DialogBoxParamA", 1);
    EXPECT_EQ(RunCommand(window_, kRotateRow), 2);
    Strings log = {"ZQ_GetHDib", "ZQ_GetHPalette"};
    if (!text) log.push_back("ZQ_GetOwnerWnd");
    EXPECT_EQ(HostLog(), log) << text;
    if (text) ExpectOneMessage(text);
    EXPECT_EQ(Recorded().boxes.size(), text ? 1u : 0u) << text;
    EXPECT_TRUE(Recorded().cursors.empty()) << text;
    ExpectKept(window_, image, bytes, std::to_string(text));
  }
}

}  // namespace
