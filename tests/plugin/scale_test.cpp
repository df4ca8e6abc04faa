// Scale... and the host's scale requests end to end: the Scale Image dialog driven as a user drives
// it, the window's result against the engine on the same bytes, the host calls and the failures.
// The dialog's arithmetic is proven natively (tests/scale/scale_units_test.cpp).
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "host/host_app.h"
#include "host/korvex.h"
#include "plugin/host_api.h"
#include "resources/ids.h"
#include "resources/text_ids.h"
#include "scale/nearest.h"
#include "scale/resample.h"
#include "tests/plugin/harness.h"
#include "tests/support/images.h"

namespace {

using namespace harness;
constexpr int kScaleRow = 5;
const Strings kDialogCalls = {"ZQ_GetHDib", "ZQ_GetFlag 4", "ZQ_GetOwnerWnd"};

int Selected(HWND d, int id) { return int(SendDlgItemMessageA(d, id, CB_GETCURSEL, 0, 0)); }
// Writes scale keys into the host's store, as an earlier session saved them.
// `settings` is "Key=value Key=value ...".
void Store(const std::string& settings) {
  char store[64], unused[64];
  ZQ_GetProfileFile(0, store, unused);
  std::istringstream in(settings);
  for (std::string s; in >> s;)
    WritePrivateProfileStringA("Image", s.substr(0, s.find('=')).c_str(),
                               s.substr(s.find('=') + 1).c_str(), store);
}
// Reset (Screen, Pixels, High, the image's size), aspect off, the quality and size asked, OK.
void ScaleTo(HWND d, int quality, uint32_t width, uint32_t height) {
  Click(d, IDC_SCALE_RESET);
  if (Checked(d, IDC_SCALE_KEEP_ASPECT)) Click(d, IDC_SCALE_KEEP_ASPECT);
  Select(d, IDC_SCALE_QUALITY, quality);
  SetText(d, IDC_SCALE_WIDTH, std::to_string(width));
  SetText(d, IDC_SCALE_HEIGHT, std::to_string(height));
  Click(d, IDOK);
}

// Each unit and measure on a 640 × 480 image: the width shown at the measure's resolution (96 dots
// per inch for the screen under Wine, 300 for the printer; the conversions are proven natively;
// the labels and the controls each measure shows are in the screenshots). Every dialog is
// cancelled, yet opens on the units and measure the one before left.
TEST_F(PluginTest, ScaleDialogShowsTheSizeInEachUnitAndMeasure) {
  TestWindow window;
  Hold(window, 24, 640, 480);
  const struct {
    int units, measure;
    const char* shot;
    const char* width;  // null: the custom resolution is whatever an earlier test left
  } cases[] = {{0, 0, "scale_pixels", "640"},           {1, 0, "scale_percentage", "100"},
               {2, 0, "scale_inches", "6.667"},         {3, 0, "scale_centimeters", "16.933"},
               {3, 2, "scale_custom_measure", nullptr}, {2, 1, "scale_measure_list", "2.133"}};
  for (const auto& c : cases) {
    const auto& last = &c == cases ? c : (&c)[-1];  // what the dialog opens on
    ClearCalls();
    OnDialog(IDD_SCALE, [&](HWND d) {
      const int opened = Selected(d, IDC_SCALE_UNITS) * 10 + Selected(d, IDC_SCALE_MEASURE);
      EXPECT_TRUE(&c == cases || opened == last.units * 10 + last.measure) << opened;
      Select(d, IDC_SCALE_UNITS, c.units);
      Select(d, last.measure == 2 ? IDC_SCALE_MEASURE_NAME : IDC_SCALE_MEASURE, c.measure);
      if (c.width) {
        EXPECT_EQ(Text(d, IDC_SCALE_WIDTH), c.width) << c.shot;
      }
      if (&c == cases + 5)
        PhotographDropDown(d, IDC_SCALE_MEASURE, c.shot);
      else
        SaveScreenshot({d}, c.shot);
      Key(d, VK_ESCAPE);
    });
    EXPECT_EQ(RunCommand(window, kScaleRow), 2);
    EXPECT_EQ(HostLog(), kDialogCalls) << "Cancel changes nothing";
  }
}

// Typing with and without the aspect, a custom resolution left empty, Maintain Aspect, Reset and
// the zero message, in one dialog on a 640 × 480 image; Enter gives the window its last size.
TEST_F(PluginTest, ScaleDialogFollowsTheUser) {
  TestWindow window;
  Hold(window, 8, 640, 480);
  OnDialog(IDD_SCALE, [](HWND d) {
    Click(d, IDC_SCALE_RESET);
    EXPECT_EQ(Text(d, IDC_SCALE_WIDTH) + "x" + Text(d, IDC_SCALE_HEIGHT), "640x480");
    EXPECT_EQ(Selected(d, IDC_SCALE_QUALITY), 1);
    if (!Checked(d, IDC_SCALE_KEEP_ASPECT)) Click(d, IDC_SCALE_KEEP_ASPECT);
    Select(d, IDC_SCALE_UNITS, 1);
    Type(d, IDC_SCALE_WIDTH, "50");
    EXPECT_EQ(Text(d, IDC_SCALE_HEIGHT), "50");
    Click(d, IDC_SCALE_KEEP_ASPECT);
    EXPECT_FALSE(Checked(d, IDC_SCALE_KEEP_ASPECT));
    Type(d, IDC_SCALE_WIDTH, "25");
    EXPECT_EQ(Text(d, IDC_SCALE_HEIGHT), "100");
    Select(d, IDC_SCALE_UNITS, 0);
    EXPECT_EQ(Text(d, IDC_SCALE_WIDTH), "160");
    Select(d, IDC_SCALE_MEASURE, 2);
    Type(d, IDC_SCALE_RES_X, "\b");
    Key(d, VK_TAB);
    EXPECT_EQ(Recorded().beeps, std::vector<UINT>{0});
    EXPECT_EQ(Text(d, IDC_SCALE_RES_X), "1");
    SetText(d, IDC_SCALE_HEIGHT, "");
    PhotographNextMessage("scale_zero_message");
    Click(d, IDOK);
    ExpectOneMessage(IDS_SCALE_ZERO_ENTERED, 0);
    ASSERT_TRUE(IsWindowVisible(d)) << "the dialog stays open";
    EXPECT_EQ(std::pair(GetActiveWindow(), FocusId(d)), std::pair(d, int(IDC_SCALE_HEIGHT)));
    Type(d, IDC_SCALE_HEIGHT, "7");
    Select(d, IDC_SCALE_QUALITY, 0);
    Key(d, VK_RETURN);
  });
  EXPECT_EQ(RunCommand(window, kScaleRow), 2);
  EXPECT_EQ(HostLog("DibResize"), Strings{"DibResize 160 7"});
}

// With the aspect kept, the field being typed in keeps the text as typed (select-all, Backspace and
// the digits) while the other follows; leaving the field shows its value formatted, and Enter
// scales to the size typed. The image is 640 x 480, the screen 96 dots per inch.
TEST_F(PluginTest, ScaleFieldKeepsWhatIsTypedInIt) {
  TestWindow window;
  Hold(window, 24, 640, 480);
  const struct {
    int units, id;
    const char *typed, *other, *left, *resized;
  } cases[] = {{1, IDC_SCALE_WIDTH, "\b50", "50", "50", "DibResize 320 240"},
               {3, IDC_SCALE_WIDTH, "\b2.54", "1.905", "2.540", "DibResize 96 72"},
               {0, IDC_SCALE_WIDTH, "\b320", "240", "320", "DibResize 320 240"},
               {0, IDC_SCALE_HEIGHT, "\b3", "4", "3", "DibResize 4 3"}};
  for (const auto& c : cases) {
    const int other = c.id == IDC_SCALE_WIDTH ? IDC_SCALE_HEIGHT : IDC_SCALE_WIDTH;
    OnDialog(IDD_SCALE, [&](HWND d) {
      Click(d, IDC_SCALE_RESET);
      if (!Checked(d, IDC_SCALE_KEEP_ASPECT)) Click(d, IDC_SCALE_KEEP_ASPECT);
      Select(d, IDC_SCALE_QUALITY, 0);
      Select(d, IDC_SCALE_UNITS, c.units);
      Type(d, c.id, c.typed);
      EXPECT_EQ(Text(d, c.id), c.typed + 1);
      EXPECT_EQ(Text(d, other), c.other) << c.typed + 1;
      Key(d, VK_TAB);
      EXPECT_EQ(Text(d, c.id), c.left) << c.typed + 1;
      Key(d, VK_RETURN);
    });
    ClearCalls();
    RunCommand(window, kScaleRow);
    EXPECT_EQ(HostLog("DibResize"), Strings{c.resized}) << c.typed + 1;
  }
}

// Every depth, with and without host flag 4 (colour), at both qualities, on a 9 × 5 image to a
// width only, a height only, both, and its own size: the window gets the host's resize (Low, which
// samples as the nearest-pixel engine) or the engine's result (High, its meter before the hand-over
// and its depth told to the host); its own size changes nothing.
TEST_F(PluginTest, ScaleCommandGivesTheWindowTheScaledImage) {
  for (unsigned bits : testimg::kDepths)
    for (bool colour : {false, true})
      for (int quality : {0, 1})
        for (auto [w, h] : {std::pair{5u, 5u}, {9u, 8u}, {4u, 11u}, {9u, 5u}}) {
          SCOPED_TRACE(
              testimg::Cat(bits, " bits colour ", colour, " q", quality, " to ", w, "x", h));
          TestWindow window;
          const auto before = GlobalBytes(Hold(window, bits, 9, 5, bits));
          KX_SetFlag(window, 4, colour);
          OnDialog(IDD_SCALE, [&](HWND d) { ScaleTo(d, quality, w, h); });
          ClearCalls();
          ASSERT_EQ(RunCommand(window, kScaleRow), 2);
          EXPECT_EQ(Recorded().cursors.size(), 2u);
          const bool same = w == 9 && h == 5, high = !same && quality;
          const Strings meter = HostLog("ZQ_Progress");
          const auto expected = same ? before : EngineResult(before, [&](HostBlock dib) {
            return quality
                       ? SCL_ChooseOperation(9, 5, w, h)(dib, w, h, !colour && bits != 24, nullptr)
                       : ResizeNearest(dib, w, h);
          });
          Strings log = kDialogCalls;
          if (!same && !quality)
            log.insert(log.end(), {testimg::Cat("DibResize ", w, " ", h), "ZQ_SetHDib"});
          if (high) {
            log.insert(log.end(), meter.begin(), meter.end());
            log.insert(log.end(), {"ZQ_SetHDib", testimg::Cat("ZQ_SetInfo 24 ", +expected.at(14))});
          }
          EXPECT_EQ(HostLog(), log);
          EXPECT_EQ(meter.empty(), !high);
          EXPECT_EQ(GlobalBytes(ZQ_GetHDib(window)), expected);
        }
}

// Each failure shows one message and leaves the window's block as it was: same handle, same bytes,
// unlocked; no hand-over, the meter closed, no block left. Every allocation of a high-quality run
// fails in turn. (A Scale dialog that cannot open is the dispatch test's: a Cancel.)
TEST_F(PluginTest, ScaleCommandKeepsTheImageOnEveryFailure) {
  enum Kind { kAllocation, kResize, kNoImage, kMalformed };
  const std::pair<Kind, TextId> cases[] = {{kAllocation, IDS_SCALE_HIGH_NO_MEMORY},
                                           {kResize, IDS_SCALE_LOW_NO_MEMORY},
                                           {kNoImage, IDS_SCALE_NO_IMAGE},
                                           {kMalformed, IDS_UNSUPPORTED_IMAGE}};
  for (auto [kind, message] : cases)
    for (int n = 1; n <= (kind == kAllocation ? 9 : 1); ++n) {
      SCOPED_TRACE(testimg::Cat(kind, " ", n));
      TestWindow window;
      HGLOBAL image = kind == kNoImage ? nullptr : Hold(window, 8, 9, 5, 3);
      if (kind == kMalformed)
        KX_AttachImage(window, image = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 60));
      const auto before = image ? GlobalBytes(image) : std::vector<uint8_t>{};
      Plugin().imageActivate(window, 1, 0);
      if (kind <= kResize)
        OnDialog(IDD_SCALE, [&](HWND d) { ScaleTo(d, kind == kAllocation, 4, 11); });
      ClearCalls();
      if (kind == kAllocation) FailCall("GlobalAlloc", n);
      if (kind == kResize) KX_FailCall(KX_FAIL_RESIZE, 1);
      ASSERT_EQ(RunCommand(window, kScaleRow), 2);
      if (kind == kAllocation && Recorded().calls["GlobalAlloc"] < n) {
        EXPECT_EQ(HostLog("ZQ_SetHDib").size(), 1u) << "the run without a failure";
        break;
      }
      ExpectOneMessage(message);
      ExpectKept(window, image, before);
      EXPECT_EQ(Recorded().cursors.size(), kind <= kResize ? 2u : 0u);
    }
}

// 4121 without an image window: the stored settings in the dialog, saved in key order after OK
// only, without the substitute base of Percentage, which no later Scale... sees either.
TEST_F(PluginTest, ScaleSettingsRequestEditsTheStoredSettings) {
  Store(
      "KeepAspect=1 ScaleMeasure=0 ScaleUnits=1 ScaleQuality=0 CustomResX=96 CustomResY=96 "
      "CustomWidth=800 CustomHeight=600 PercentWidth=50 PercentHeight=25");
  for (bool ok : {false, true}) {
    OnDialog(IDD_SCALE, [ok](HWND d) {
      EXPECT_EQ(Text(d, IDC_SCALE_WIDTH) + "x" + Text(d, IDC_SCALE_HEIGHT), "50x25");
      if (ok) SaveScreenshot({d}, "scale_settings_percentage");
      Type(d, IDC_SCALE_WIDTH, "40");
      Click(d, ok ? IDOK : IDCANCEL);
    });
    ClearCalls();
    EXPECT_EQ(Plugin().menuHandler(nullptr, ScaleSettingsCommandId, nullptr), 2);
    const Strings keys = {"ProfileWriteLong KeepAspect 1",    "ProfileWriteLong ScaleMeasure 0",
                          "ProfileWriteLong ScaleUnits 1",    "ProfileWriteLong ScaleQuality 0",
                          "ProfileWriteDword CustomResX 96",  "ProfileWriteDword CustomResY 96",
                          "ProfileWriteWord PercentWidth 40", "ProfileWriteWord PercentHeight 40"};
    EXPECT_EQ(HostLog("ProfileWrite"), ok ? keys : Strings{});
  }
  TestWindow window;
  Hold(window, 24, 30, 20);
  OnDialog(IDD_SCALE, [](HWND d) {
    EXPECT_EQ(Text(d, IDC_SCALE_WIDTH), "100") << "the image is the base again";
    Click(d, IDCANCEL);
  });
  RunCommand(window, kScaleRow);
}

// 4122 scales the window it names, active or not, by the stored settings alone: the units first
// (Percentage leaves the custom sizes aside), then custom sizes with the aspect kept (the rule
// itself is proven natively). The window's image is 400 x 300, then 200 x 150.
TEST_F(PluginTest, RescaleRequestFollowsTheStoredSettings) {
  Store(
      "CustomWidth=100 CustomHeight=200 PercentWidth=50 PercentHeight=50 KeepAspect=1 "
      "ScaleQuality=0");
  TestWindow window, active;
  Hold(window, 8, 400, 300);
  Hold(active, 8, 50, 50);
  OnDialog(IDD_SCALE, [](HWND d) {  // an edit that was never saved
    Select(d, IDC_SCALE_UNITS, 2);
    Click(d, IDCANCEL);
  });
  RunCommand(active, kScaleRow);
  DWORD block[2] = {static_cast<DWORD>(reinterpret_cast<UINT_PTR>(window.hwnd)), 0};
  for (auto [units, resized] :
       {std::pair{"ScaleUnits=1", "DibResize 200 150"}, {"ScaleUnits=0", "DibResize 267 200"}}) {
    Store(units);
    ClearCalls();
    EXPECT_EQ(Plugin().menuHandler(active, HostScaleCommandId, block), 2);
    EXPECT_EQ(HostLog("DibResize"), Strings{resized});
    EXPECT_TRUE(HostLog("ZQ_GetOwnerWnd").empty());
  }
  TestWindow empty;
  Plugin().imageActivate(empty, 1, 0);
  ClearCalls();
  block[0] = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(empty.hwnd));
  EXPECT_EQ(Plugin().menuHandler(empty, HostScaleCommandId, block), 2);
  EXPECT_EQ(HostLog(), Strings{"ZQ_GetHDib"});
  EXPECT_TRUE(Recorded().boxes.empty());
}

}  // namespace
