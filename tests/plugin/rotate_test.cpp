// Rotate... through the real dialog, the turned image against the engine's.

#include <windows.h>
#include <colordlg.h>

#include "rotate/rotate.h"
#include "tests/plugin/harness.h"

namespace {

using namespace harness;

constexpr int kRotateRow = 6, kAmount = IDC_ROTATE_AMOUNT, kQuality = IDC_ROTATE_QUALITY;
const std::vector<int> kShown = {kAmount,        IDC_ROTATE_CUSTOM, IDC_ROTATE_90,
                                 IDC_ROTATE_180, IDC_ROTATE_270,    kQuality};
const Strings kAsked = {"ZQ_GetHDib", "ZQ_GetHPalette", "ZQ_GetOwnerWnd"};

// Rotate... on `bits` opening with `opens`; `pick` in Color: (kNone: no click, kToggle: a click,
// kRed: the system dialog, or a grid entry) shows `fill`; then OK, matching the engine, or Cancel.
constexpr int kNone = -1, kToggle = -2, kRed = -3;
CommandRun Turn(unsigned bits, const char* opens, int pick, RotateFill fill, const char* amount,
                int quality, bool ok = true, const char* shot = nullptr) {
  CommandRun run = {.row = kRotateRow, .bits = bits, .log = kAsked};
  run.script = [=](HWND d) {
    EXPECT_EQ(Read(d, kShown), opens);
    if (pick == kRed || pick >= 0)
      OnDialog(pick == kRed ? 0 : IDD_COLOR_CHOOSER, [=](HWND chooser) {
        for (int id : {COLOR_RED, COLOR_GREEN, COLOR_BLUE})
          if (pick == kRed) Type(chooser, id, id == COLOR_RED ? "255" : "0");
        if (pick != kRed) ClickColorEntry(chooser, bits, pick);
        if (shot) SaveScreenshot({d, chooser}, shot);
        Click(chooser, IDOK);
      });
    if (pick != kNone) Click(d, IDC_ROTATE_COLOR);
    EXPECT_EQ(Swatch(d, IDC_ROTATE_SWATCH), RGB(fill.red, fill.green, fill.blue)) << opens;
    if (shot && pick == kNone) SaveScreenshot({d}, shot);
    Type(d, kAmount, amount), Select(d, kQuality, quality), Key(d, ok ? VK_RETURN : VK_ESCAPE);
  };
  const int angle = std::stoi(amount);
  if (!ok || angle % 360 == 0) return run;  // nothing to turn
  run.engine = [=](HostBlock b) { return ROT_RotateDIB(b, uint16_t(quality), angle, fill, 0); };
  run.log.insert(run.log.end(), {"ZQ_SetHDib", "ZQ_SetInfo"});
  if (quality && angle % 90) run.meter = CommandRun::kMainMeter;
  return run;
}
RotateFill Entry(int i) {  // entry `i` of the test images' tables as a palette image's fill
  return {GetRValue(TableColor(i)), GetGValue(TableColor(i)), GetBValue(TableColor(i)), i};
}

// The dialog's rules (proven natively) wired; after the range message, 90 typed over the selected
// limit and Enter turn a quarter. Then the engine's turn with the fill shown (a palette's entry for
// one it lacks, which true colour keeps), the meter on the main window; each run leaves its choices
// to the next, even after Cancel. Each allocation failing, and a dialog not made, keep the image.
TEST_F(PluginTest, RotateFollowsItsRulesThenTurnsOrKeepsTheImage) {
  const auto quality = [](HWND d) { PhotographDropDown(d, kQuality, "rotate_quality_list"); };
  CommandRun steps = Turn(8, "", kNone, Entry(0), "90", 1);
  // clang-format off
  steps.script = Stepping(kShown, {
      {{}, "180 o o x o High", 0, 0, "rotate_first_open"},
      {{Choosing(kQuality, 0), Clicking(IDC_ROTATE_270)}, "270 o o o x High", 0, 0,
       "rotate_preset_270"},
      {{Clicking(IDC_ROTATE_CUSTOM)}, "270 x o o o High"},
      {{Choosing(kQuality, 0), [](HWND d) { Mnemonic(d, 'a'), Type(d, 0, "45"); }},
       "45 x o o o Low"},  // Alt+A from the radio, the field's text selected
      {{Typing(kAmount, "90")}, "90 o x o o High"},
      {{Typing(kAmount, "12abc"), quality}, "12abc x o o o High"},
      {{Typing(kAmount, "400")}, "360 x o o o High", IDS_ROTATE_ANGLE_RANGE, kAmount,
       "rotate_range_message"},
      {{Typing(0, "90"), Pressing(VK_RETURN)}, "90 o x o o High"}});
  steps.check = [](HWND) {  // the range message, under its own caption
    ExpectOneMessage(IDS_ROTATE_ANGLE_RANGE, MB_TASKMODAL, "Rotation Angle"); };
  const RotateFill red = {255, 0, 0, 0};
  const CommandRun runs[] = {
      steps,
      Turn(1, "90 o x o o High", kToggle, Entry(1), "30", 0),  // from entry 0 to 1
      Turn(8, "30 x o o o Low", 200, Entry(200), "12abc", 1, true, "rotate_color_grid"),
      Turn(4, "12 x o o o High", kNone, Entry(0), "-90", 0),  // 200 is no 16-colour entry
      Turn(24, "-90 x o o o Low", kRed, red, "360", 1, true, "rotate_system_color"),
      Turn(8, "0 x o o o High", kNone, Entry(0), "30", 1, true, "rotate_palette_swatch"),
      Turn(24, "30 x o o o High", kNone, Entry(0), "-45", 1),   // the palette's entry stayed
      Turn(32, "-45 x o o o High", kRed, red, "30", 0, false),  // Cancel: red and Low stay
      Turn(32, "-45 x o o o Low", kNone, red, "45", 1, true, "rotate_custom_low"),
      {.row = kRotateRow, .plan = [](HWND, HGLOBAL) { FailCall("DialogBoxParamA", 1); },
       .log = kAsked}};
  // clang-format on
  for (const CommandRun& run : runs) ExpectRun(run, Cat(run.bits, " bits"));
  CommandRun run = Turn(8, "45 x o o o High", kNone, Entry(0), "45", 1);
  ExpectRun(run, "8 bits");  // then each of its allocations failing
  run.engine = nullptr, run.message = IDS_ROTATE_NO_MEMORY, run.log = kAsked;
  for (int n = 1, made = Recorded().calls["GlobalAlloc"]; n <= made; ++n) {
    run.plan = [n](HWND, HGLOBAL) { FailCall("GlobalAlloc", n); };
    ExpectRun(run, Cat("allocation ", n));
  }
}

}  // namespace
