// The colour chooser through real messages.

#include <windows.h>
#include <colordlg.h>
#include <commdlg.h>

#include "controls/colors.h"
#include "dib/dib.h"
#include "tests/plugin/harness.h"

namespace {

using namespace harness;

using Choice = std::pair<LONG, COLORREF>;  // the index and the colour

// The grid for 4 and 8 bits (a click beside the cells, kOutside, or beyond a short table selects
// nothing; Cancel or a chooser not made writes nothing), a toggle for 1 bit, 16 bits refused; true
// colour and no image: the system dialog, preset, full open, white custom colours, index 0 on OK.
TEST_F(PluginTest, ColorChooserReturnsTheChosenColourSuitedToTheDepth) {
  constexpr int kGrid = IDD_COLOR_CHOOSER, kNotMade = -2, kOutside = -1;
  const auto grid = [](unsigned bits, std::vector<int> clicks, UINT end,
                       const char* shot = nullptr) {
    return [=](HWND dialog) {
      HWND grid = GetDlgItem(dialog, IDC_COLOR_GRID);
      RECT r;
      GetClientRect(grid, &r);
      for (int entry : clicks)
        entry == kOutside ? MouseDown(grid, {r.right - 1, r.bottom - 1})
                          : ClickColorEntry(dialog, bits, entry);
      if (shot) SaveScreenshot({dialog}, shot);
      Key(dialog, end);
    };
  };
  const Action red200 = [](HWND d) { Type(d, COLOR_RED, "200"), Click(d, IDOK); };
  const Choice seven = {7, RGB(1, 2, 3)}, current = {9, RGB(10, 20, 30)};
  const auto entry = [](LONG e) { return Choice(e, TableColor(e)); };  // of the test images' table
  const struct {
    unsigned bits;    // 0: no image
    uint32_t colors;  // when not 0, a table shorter than the depth's
    int dialog;       // kGrid, 0 for the system's chooser, kNotMade
    Action script;
    Choice in;
    BOOL result;
    Choice out;
  } cases[] = {
      {4, 0, kGrid, grid(4, {11}, VK_RETURN, "color_chooser_16"), seven, 1, entry(11)},
      {8, 0, kGrid, grid(8, {35, kOutside}, VK_RETURN, "color_chooser_256"), seven, 1, entry(35)},
      {8, 0, kGrid, grid(8, {1, kOutside}, VK_ESCAPE), seven, 0, seven},
      {8, 20, kGrid, grid(8, {85}, VK_RETURN), seven, 1, entry(7)},
      {8, 0, kNotMade, nullptr, seven, 0, seven},
      {1, 0, kNotMade, nullptr, {1, RGB(9, 9, 9)}, 1, entry(0)},  // no dialog at all
      {16, 0, kNotMade, nullptr, current, 0, current},
      {32, 0, 0, [](HWND d) { Key(d, VK_ESCAPE); }, current, 0, current},
      {0, 0, 0, red200, current, 1, {0, RGB(200, 20, 30)}}};
  TestWindow window;
  for (const auto& c : cases) {
    if (c.bits) {  // 16 bits: a 24-bit image relabelled
      auto* header = static_cast<BitmapInfoHeader*>(
          GlobalLock(Hold(window, c.bits == 16 ? 24 : c.bits, 6, 5, 2)));
      if (c.colors) header->biClrUsed = c.colors;
      if (c.bits == 16) header->biBitCount = 16;
      GlobalUnlock(ZQ_GetHDib(window));
    }
    ClearCalls();
    c.script ? OnDialog(c.dialog, c.script) : FailCall("DialogBoxParamA", 1);
    SCOPED_TRACE(Cat(c.bits, " bits from ", c.in.first));
    auto [index, in] = c.in;
    BYTE red = GetRValue(in), green = GetGValue(in), blue = GetBValue(in);
    EXPECT_EQ(Export<decltype(&COL_ChooseColor)>("COL_ChooseColor")(
                  window, c.bits ? ZQ_GetHDib(window) : nullptr, ZQ_GetHPalette(window), &index,
                  &red, &green, &blue),
              c.result);
    EXPECT_EQ(Choice(index, RGB(red, green, blue)), c.out);
    const std::string call = Cat(sizeof(CHOOSECOLORA), " ", window.hwnd, std::hex, " ",
                                 CC_RGBINIT | CC_FULLOPEN, " ", RGB(10, 20, 30), " 1 ffffff");
    EXPECT_EQ(Recorded().chooseColor, c.dialog ? Strings{} : Strings{call});
  }
}

}  // namespace
