// Scale... and the host's scale requests end to end: the Scale Image dialog driven as a user drives
// it, the window's result against the engine on the same bytes, the host calls and the failures.
// The dialog's arithmetic is proven natively (tests/scale/scale_units_test.cpp).

#include <sstream>

#include "scale/nearest.h"
#include "scale/resample.h"
#include "tests/plugin/harness.h"

namespace {

using namespace harness;
constexpr int kScaleRow = 5, kW = IDC_SCALE_WIDTH, kH = IDC_SCALE_HEIGHT, kUnits = IDC_SCALE_UNITS,
              kMeasure = IDC_SCALE_MEASURE, kAspect = IDC_SCALE_KEEP_ASPECT;
const Strings kDialogCalls = {"ZQ_GetHDib", "ZQ_GetFlag 4", "ZQ_GetOwnerWnd"};

// Writes scale keys into the host's store, as an earlier session saved them: "Key=value ...".
void Store(const std::string& settings) {
  char store[64], unused[64];
  ZQ_GetProfileFile(0, store, unused);
  std::istringstream in(settings);
  for (std::string s; in >> s;)
    WritePrivateProfileStringA("Image", s.substr(0, s.find('=')).c_str(),
                               s.substr(s.find('=') + 1).c_str(), store);
}
// "width x height label|units measure quality|aspect or free"
std::string Shown(HWND d) {
  return Text(d, kW) + "x" + Text(d, kH) + " " + Text(d, IDC_SCALE_WIDTH_UNIT) + "|" +
         std::to_string(Selected(d, kUnits) * 100 + Selected(d, kMeasure) * 10 +
                        Selected(d, IDC_SCALE_QUALITY)) +
         (Checked(d, kAspect) ? "|aspect" : "|free");
}
// Reset (Screen, Pixels, High, the image's size), aspect off, the quality and size asked, OK.
void ScaleTo(HWND d, int quality, uint32_t width, uint32_t height) {
  Click(d, IDC_SCALE_RESET);
  if (Checked(d, kAspect)) Click(d, kAspect);
  Select(d, IDC_SCALE_QUALITY, quality);
  SetText(d, kW, std::to_string(width));
  SetText(d, kH, std::to_string(height));
  Click(d, IDOK);
}

// On a 640 x 480 image, the screen at 96 dots per inch: the size in each unit and measure, the
// typed field keeping what is typed (select-all, Backspace, digits) while the other follows the
// aspect, shown formatted once left; a custom resolution left empty, Maintain Aspect, and the zero
// message with the keyboard back on the field. Enter scales to the last size; the next openings
// show the units and measure left, by OK or Cancel.
TEST_F(PluginTest, ScaleDialogFollowsTheUser) {
  TestWindow window;
  Hold(window, 8, 640, 480);
  const auto beeped = [](HWND d) {
    EXPECT_EQ(Recorded().beeps, std::vector<UINT>{0});
    EXPECT_EQ(Text(d, IDC_SCALE_RES_X), "1");
  };
  const auto measures = [](HWND d) {
    PhotographDropDown(d, kMeasure, "scale_measure_list");
    Select(d, kMeasure, 1);
  };
  const auto renamed = [](HWND d) {
    char entry[64] = {};
    SendDlgItemMessageA(d, kMeasure, CB_GETLBTEXT, 2, LPARAM(entry));
    EXPECT_STREQ(entry, "Custom (1, 96)");
  };
  OnDialog(IDD_SCALE, [&](HWND d) {
    // clang-format off
    RunSteps(d, Shown, {
        {{Clicking(IDC_SCALE_RESET)}, "640x480 Pixels|1|aspect", 0, 0, "scale_pixels"},
        {{Typing(kW, "\b320")}, "320x240 Pixels"},
        {{Choosing(kUnits, 1)}, "50x50 %|101", 0, 0, "scale_percentage"},
        {{Typing(kW, "\b5")}, "5x5 %"}, {{Typing(kW, "\b50")}, "50x50 %"},
        {{Choosing(kUnits, 2)}, "3.333x2.500 In.|201", 0, 0, "scale_inches"},
        {{Choosing(kUnits, 3)}, "8.467x6.350 Cent.|301", 0, 0, "scale_centimeters"},
        {{Typing(kW, "\b2.54")}, "2.54x1.905 Cent."}, {{Pressing(VK_TAB)}, "2.540x1.905 Cent."},
        {{measures}, "0.813x0.610 Cent.|311"},
        {{Choosing(kMeasure, 2)}, "2.540x1.905 Cent.|321", 0, 0, "scale_custom_measure"},
        {{Typing(IDC_SCALE_RES_X, "\b"), Pressing(VK_TAB), beeped}, "243.840x1.905"},
        {{Clicking(kAspect)}, "1625.600x12.700 Cent.|321|free"},
        {{Choosing(IDC_SCALE_MEASURE_NAME, 0), renamed}, "16.933x12.700 Cent.|301|free"},
        {{Choosing(kUnits, 0)}, "640x480 Pixels|1|free"}, {{Typing(kW, "\b25")}, "25x480 Pixels"},
        {{Typing(kH, "\b"), Clicking(IDOK)}, "25x0", IDS_SCALE_ZERO_ENTERED, kH, "scale_zero_message"},
        {{Typing(kH, "7"), Choosing(IDC_SCALE_QUALITY, 0), Pressing(VK_RETURN)}, ""}});
    // clang-format on
  });
  EXPECT_EQ(RunCommand(window, kScaleRow), 2);
  ExpectOneMessage(IDS_SCALE_ZERO_ENTERED, 0);  // the one message of the run, not task-modal
  EXPECT_EQ(HostLog("DibResize"), Strings{"DibResize 25 7"});
  for (const char* opens : {"25x7 Pixels|0|free", "0.083x0.023 In.|210|free"}) {
    OnDialog(IDD_SCALE, [&](HWND d) {
      EXPECT_EQ(Shown(d), opens);
      // A cancelled dialog keeps its units and measure too.
      Select(d, kUnits, 2), Select(d, kMeasure, 1), Key(d, VK_ESCAPE);
    });
    ClearCalls();
    RunCommand(window, kScaleRow);
    EXPECT_EQ(HostLog(), kDialogCalls) << "Cancel changes nothing";
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

// Each failure shows one message and leaves the window's block as it was (ExpectKept), the cursor
// back: every allocation of a high-quality run in turn, the host's resize, no image.
TEST_F(PluginTest, ScaleCommandKeepsTheImageOnEveryFailure) {
  enum Kind { kAllocation, kResize, kNoImage };
  const std::pair<Kind, TextId> cases[] = {{kAllocation, IDS_SCALE_HIGH_NO_MEMORY},
                                           {kResize, IDS_SCALE_LOW_NO_MEMORY},
                                           {kNoImage, IDS_SCALE_NO_IMAGE}};
  for (auto [kind, message] : cases)
    for (int n = 1; n <= (kind == kAllocation ? 9 : 1); ++n) {
      SCOPED_TRACE(testimg::Cat(kind, " ", n));
      TestWindow window;
      HGLOBAL image = kind == kNoImage ? nullptr : Hold(window, 8, 9, 5, 3);
      const auto before = image ? GlobalBytes(image) : Bytes{};
      Plugin().imageActivate(window, 1, 0);
      if (kind != kNoImage)
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
      EXPECT_EQ(Recorded().cursors.size(), kind == kNoImage ? 0u : 2u);
    }
}

// 4121 without an image window: the stored settings in the dialog, saved in key order after OK
// only, without the substitute base of Percentage, which no later Scale... sees either. 4122
// scales the window it names, active or not, by the stored settings alone (not by a dialog's
// unsaved edit): the units first, then custom sizes with the aspect kept (the rule is proven
// natively); a window without an image gets no message.
TEST_F(PluginTest, HostRequestsFollowTheStoredSettings) {
  Store(
      "KeepAspect=1 ScaleMeasure=0 ScaleUnits=1 ScaleQuality=0 CustomResX=96 CustomResY=96 "
      "CustomWidth=800 CustomHeight=600 PercentWidth=50 PercentHeight=25");
  for (bool ok : {false, true}) {
    OnDialog(IDD_SCALE, [ok](HWND d) {
      EXPECT_EQ(Text(d, kW) + "x" + Text(d, kH), "50x25");
      if (ok) SaveScreenshot({d}, "scale_settings_percentage");
      Type(d, kW, "40");
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
  TestWindow window, active;
  Hold(window, 8, 400, 300);
  Hold(active, 8, 50, 50);
  OnDialog(IDD_SCALE, [](HWND d) {
    EXPECT_EQ(Text(d, kW), "100") << "the image is the base again";
    Select(d, kUnits, 2);  // an edit that is never saved
    Click(d, IDCANCEL);
  });
  RunCommand(active, kScaleRow);
  Store("CustomWidth=100 CustomHeight=200 PercentWidth=50 PercentHeight=50");
  DWORD named[2] = {static_cast<DWORD>(reinterpret_cast<UINT_PTR>(window.hwnd)), 0};
  for (auto [units, resized] :
       {std::pair{"ScaleUnits=1", "DibResize 200 150"}, {"ScaleUnits=0", "DibResize 267 200"}}) {
    Store(units);
    ClearCalls();
    EXPECT_EQ(Plugin().menuHandler(active, HostScaleCommandId, named), 2);
    EXPECT_EQ(HostLog("DibResize"), Strings{resized});
    EXPECT_TRUE(HostLog("ZQ_GetOwnerWnd").empty());
  }
  TestWindow empty;
  Plugin().imageActivate(empty, 1, 0);
  ClearCalls();
  named[0] = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(empty.hwnd));
  EXPECT_EQ(Plugin().menuHandler(empty, HostScaleCommandId, named), 2);
  EXPECT_EQ(HostLog(), Strings{"ZQ_GetHDib"});
  EXPECT_TRUE(Recorded().boxes.empty());
}

}  // namespace
