// Scale... and the host's two scale requests end to end; the dialog's arithmetic is proven natively
// (tests/scale/scale_units_test.cpp), so the rows here check its wiring.

#include "scale/nearest.h"
#include "scale/resample.h"
#include "tests/plugin/harness.h"

namespace {

using namespace harness;
constexpr int kScaleRow = 5, kW = IDC_SCALE_WIDTH, kH = IDC_SCALE_HEIGHT, kUnits = IDC_SCALE_UNITS,
              kMeasure = IDC_SCALE_MEASURE, kAspect = IDC_SCALE_KEEP_ASPECT;
const Strings kDialogCalls = {"ZQ_GetHDib", "ZQ_GetFlag 4", "ZQ_GetOwnerWnd"};
const std::vector<int> kShown = {
    kW, kH, IDC_SCALE_WIDTH_UNIT, kAspect, IDC_SCALE_QUALITY, kMeasure, IDC_SCALE_RES_X};

// On a 640 x 480 image at 96 dots per inch: the typed field keeps what is typed while the other
// follows the aspect. The next openings show the units and measure left, by OK or Cancel.
TEST_F(PluginTest, ScaleDialogFollowsTheUser) {
  const Action beeped = [](HWND) { EXPECT_EQ(Recorded().beeps, std::vector<UINT>{0}); };
  // clang-format off
  ExpectRun({.row = kScaleRow, .width = 640, .height = 480, .script = Stepping(kShown, {
        {{Clicking(IDC_SCALE_RESET)}, "640 480 Pixels x High Screen (96, 96)", 0, 0, "scale_pixels"},
        {{Typing(kW, "\b320")}, "320 240 Pixels"},
        {{Choosing(kUnits, 1)}, "50 50 % x High Screen (96, 96)", 0, 0, "scale_percentage"},
        {{Typing(kW, "\b5")}, "5 5 %"}, {{Typing(kW, "\b50")}, "50 50 %"},
        {{Choosing(kUnits, 2)}, "3.333 2.500 In. x High Screen", 0, 0, "scale_inches"},
        {{Choosing(kUnits, 3)}, "8.467 6.350 Cent. x High Screen", 0, 0, "scale_centimeters"},
        {{Typing(kW, "\b2.54")}, "2.54 1.905 Cent."}, {{Pressing(VK_TAB)}, "2.540 1.905 Cent."},
        {{[](HWND d) { PhotographDropDown(d, kMeasure, "scale_measure_list"); },
          Choosing(kMeasure, 1)}, "0.813 0.610 Cent. x High Printer"},
        {{Choosing(kMeasure, 2)}, "2.540 1.905 Cent. x High Custom", 0, 0, "scale_custom_measure"},
        {{Typing(IDC_SCALE_RES_X, "\b"), Pressing(VK_TAB), beeped},
         "243.840 1.905 Cent. x High Custom (96, 96) 1"},
        {{Clicking(kAspect)}, "1625.600 12.700 Cent. o High Custom (96, 96) 1"},
        {{Choosing(IDC_SCALE_MEASURE_NAME, 0)}, "16.933 12.700 Cent. o High Screen (96, 96)"},
        // Left through the narrow list, Custom's entry names the resolution it has now.
        {{Choosing(kMeasure, 2), Choosing(kUnits, 0)}, "640 480 Pixels o High Custom (1, 96) 1"},
        {{Typing(kW, "\b25")}, "25 480 Pixels o High Custom (1, 96) 1"},
        {{Typing(kH, "\b"), Clicking(IDOK)}, "25 0", IDS_SCALE_ZERO_ENTERED, kH, "scale_zero_message"},
        {{Typing(kH, "7"), Choosing(IDC_SCALE_QUALITY, 0), Pressing(VK_RETURN)}, ""}}),
             .engine = [](HostBlock b) { return ResizeNearest(b, 25, 7); }, .log = {"ZQ_GetHDib",
             "ZQ_GetFlag 4", "ZQ_GetOwnerWnd", "DibResize 25 7", "ZQ_SetHDib"},
             .check = [](HWND) { ExpectOneMessage(IDS_SCALE_ZERO_ENTERED, 0); }},  // not task-modal
            "typed");
  // Cancel keeps units and measure too; neither the typed size nor OK's 25 x 7 reaches this image.
  for (const char* opens : {"26 7 Pixels o Low Custom (1, 96)", "0.087 0.023 In. o Low Printer"})
    ExpectRun({.row = kScaleRow, .width = 26, .height = 7, .script = Stepping(kShown, {{{}, opens},
        {{Choosing(kUnits, 2), Choosing(kMeasure, 1), Typing(kW, "9"), Pressing(VK_ESCAPE)}, ""}}),
               .log = kDialogCalls}, opens);
  // clang-format on
}

// Every depth, colour or not, at both qualities, to each side, both and the same size: the host's
// resize (Low) or the engine's result (High, its depth told); then one size's failures.
TEST_F(PluginTest, ScaleCommandGivesTheWindowTheScaledImageOrKeepsItOnEveryFailure) {
  for (unsigned bits : testimg::kDepths)
    for (bool colour : {false, true})
      for (int quality : {0, 1})
        for (auto [w, h] : {std::pair{5u, 5u}, {9u, 8u}, {4u, 11u}, {9u, 5u}}) {
          CommandRun run = {.row = kScaleRow,
                            .bits = bits,
                            .script = ScaleTo(quality, w, h),
                            .plan = [=](HWND window, HGLOBAL) { KX_SetFlag(window, 4, colour); },
                            .log = kDialogCalls};
          if (w != 9 || h != 5) {
            run.engine = [=](HostBlock dib) {
              return quality ? SCL_ChooseOperation(9, 5, w, h)(dib, w, h, !colour && bits != 24,
                                                               nullptr)
                             : ResizeNearest(dib, w, h);
            };
            if (!quality) run.log.push_back(Cat("DibResize ", w, " ", h));
            run.log.push_back("ZQ_SetHDib");
            if (quality) run.log.push_back("ZQ_SetInfo"), run.meter = run.kMainMeter;
          }
          ExpectRun(run, Cat(bits, " bits colour ", colour, " q", quality, " to ", w, "x", h));
          if (bits != 8 || colour || w != 4) continue;
          // The same run with each of its allocations failing (High), or the host's resize (Low).
          const int failures = quality ? Recorded().calls["GlobalAlloc"] : 1;
          run.engine = nullptr, run.log.resize(quality ? 3 : 4);  // no result handed over
          run.message = quality ? IDS_SCALE_HIGH_NO_MEMORY : IDS_SCALE_LOW_NO_MEMORY;
          for (int n = 1; n <= failures; ++n) {
            run.plan = [n, quality](HWND, HGLOBAL) {
              quality ? FailCall("GlobalAlloc", n) : KX_FailCall(KX_FAIL_RESIZE, 1);
            };
            ExpectRun(run, Cat("failure ", n));
          }
        }
}

// ScaleSettingsCommandId: the stored settings in the dialog, saved in key order after OK.
// HostScaleCommandId scales the window it names, active or not, by the stored settings alone.
TEST_F(PluginTest, HostRequestsFollowTheStoredSettings) {
  Store(
      "KeepAspect=1 ScaleMeasure=0 ScaleUnits=1 ScaleQuality=0 CustomResX=96 CustomResY=96 "
      "CustomWidth=800 CustomHeight=600 PercentWidth=50 PercentHeight=25");
  OnDialog(IDD_SCALE, Stepping({kW, kH}, {{{}, "50 25", 0, 0, "scale_settings_percentage"},
                                          {{Typing(kW, "40"), Clicking(IDOK)}, "40 40"}}));
  EXPECT_EQ(Plugin().menuHandler(nullptr, ScaleSettingsCommandId, nullptr), 2);
  EXPECT_EQ(HostLog("ProfileWrite"),
            (Strings{"ProfileWriteLong KeepAspect 1", "ProfileWriteLong ScaleMeasure 0",
                     "ProfileWriteLong ScaleUnits 1", "ProfileWriteLong ScaleQuality 0",
                     "ProfileWriteDword CustomResX 96", "ProfileWriteDword CustomResY 96",
                     "ProfileWriteWord PercentWidth 40", "ProfileWriteWord PercentHeight 40"}));
  TestWindow window, active;
  Hold(window, 8, 400, 300);
  Hold(active, 8, 50, 50);
  // The image is the base again; Cancel leaves inches chosen, which the host's requests ignore.
  RunDialog(active, kScaleRow,
            Stepping({kW}, {{{}, "100"}, {{Choosing(kUnits, 2), Clicking(IDCANCEL)}, "0.521"}}));
  TestWindow empty;
  Store("CustomWidth=100 CustomHeight=200 PercentWidth=50 PercentHeight=50");
  // The host's calls starting with `prefix`: a window without an image is only asked for it.
  for (auto [named, units, prefix, call] :
       {std::tuple{window.hwnd, "ScaleUnits=1", "DibResize", "DibResize 200 150"},
        {window.hwnd, "ScaleUnits=0", "DibResize", "DibResize 267 200"},
        {empty.hwnd, "", "", "ZQ_GetHDib"}}) {
    Store(units), ClearCalls();
    DWORD value[2] = {static_cast<DWORD>(reinterpret_cast<UINT_PTR>(named)), 0};
    EXPECT_EQ(Plugin().menuHandler(active, HostScaleCommandId, value), 2);
    EXPECT_EQ(HostLog(prefix), Strings{call});
    ExpectOneMessage(0);
  }
}

}  // namespace
