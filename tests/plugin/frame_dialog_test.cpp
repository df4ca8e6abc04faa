// Frame/Caption... through the real dialog: opening by depth with the colours and the windows it
// refuses, the fields kept in step with the preview and OK's refusals, results against the
// exported composition, and what lasts, the font included.
#include <gtest/gtest.h>

#include <windows.h>
#include <colordlg.h>
#include <dlgs.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "controls/color_grid.h"
#include "frame/frame_dialog.h"
#include "frame/margins.h"
#include "host/host_app.h"
#include "plugin/host_api.h"
#include "resources/ids.h"
#include "resources/text_ids.h"
#include "tests/plugin/harness.h"
#include "tests/support/images.h"

namespace {

using namespace harness;
using Strings = std::vector<std::string>;
using Script = std::function<void(HWND)>;
constexpr int kW = IDC_FRAME_WIDTH, kH = IDC_FRAME_HEIGHT, kT = IDC_FRAME_TOP,
              kB = IDC_FRAME_BOTTOM, kL = IDC_FRAME_LEFT, kR = IDC_FRAME_RIGHT;
constexpr uint32_t kPattern = 1 << 24, kRed = 0xFF0000, kWhite = 0xFFFFFF;
const Strings kNoChange = {"ZQ_GetHDib", "ZQ_GetHPalette", "ZQ_GetOwnerWnd"};

// What the dialog shows: the six fields, both lists, the boxes (x marked, - disabled), the caption
// and its group's title.
std::string Shown(HWND d) {
  std::string s;
  for (int id : {kW, kH, kT, kB, kL, kR}) s += Text(d, id) + " ";
  s += Text(d, IDC_FRAME_STYLE) + "|" + Text(d, IDC_FRAME_COLORS) + "|";
  for (int id : {IDC_FRAME_INVERT, IDC_FRAME_ALPHA, IDC_FRAME_COLOR_CHANNELS})
    s += std::string(Enabled(d, id) ? "" : "-") + (Checked(d, id) ? "x" : "o");
  return s + "|" + Text(d, IDC_FRAME_CAPTION) + "|" + Text(d, IDC_FRAME_CAPTION_GROUP);
}
COLORREF Swatch(HWND d) { return COLORREF(GetWindowLongA(GetDlgItem(d, IDC_FRAME_SWATCH), 0)); }
// The preview's 5 x 5 pixels around a point given in fractions of it: their one colour
// (0xRRGGBB), or kPattern when they differ.
uint32_t Preview(HWND d, double fx, double fy) {
  RECT r;
  GetClientRect(GetDlgItem(d, IDC_FRAME_PREVIEW), &r);
  const std::vector<uint32_t> p = ClientPixels(GetDlgItem(d, IDC_FRAME_PREVIEW));
  const int x = int(fx * r.right), y = int(fy * r.bottom);
  uint32_t mixed = 0;
  for (int v = y - 2; v <= y + 2; ++v)
    for (int u = x - 2; u <= x + 2; ++u) mixed |= p[v * r.right + u] != p[y * r.right + x];
  return mixed ? kPattern : p[y * r.right + x];
}
void SystemRed(HWND c) {
  for (int id : {COLOR_RED, COLOR_GREEN, COLOR_BLUE}) Type(c, id, id == COLOR_RED ? "255" : "0");
  Click(c, IDOK);
}

class FrameCommand : public PluginTest {
 protected:
  void Run(Script script) {
    OnDialog(IDD_FRAME, std::move(script));
    EXPECT_EQ(RunCommand(window_, 7), 2);
  }
  TestWindow window_;
};

// Opening by depth: the colours suited to the image (an index beyond a short table becomes 0) and
// the flags its depth allows; Color... by depth (`chooser`: the dialog it opens,
// 0 the system's, -1 none, -2 not clicked) and Cancel in it. The swatch before and after is a
// colour, or -1 - an entry of the image. A window without an image, or with one the engines
// cannot frame, gets a message and no dialog.
TEST_F(FrameCommand, OpensSuitedToTheImage) {
  ReloadPlugin();
  const LONG_PTR hook = LONG_PTR(GetProcAddress(Plugin().module, "FRM_StaticHookProc"));
  const Script grid = [](HWND c) {
    RECT r;
    GetClientRect(GetDlgItem(c, IDC_COLOR_GRID), &r);
    const GridCell g = GridCellOf(MakeColorGrid(8, r.right, r.bottom), 200);
    MouseDown(GetDlgItem(c, IDC_COLOR_GRID), {g.left + 2, g.top + 2}), Click(c, IDOK);
  };
  // clang-format off
  const struct { unsigned bits, used; int chooser; Script pick; int open, after; } cases[] = {
      {24, 0, 0, SystemRed, 0x808080, 0x0000FF}, {8, 0, IDD_COLOR_CHOOSER, grid, -1, -201},
      {8, 16, -2, nullptr, -1, -1}, {1, 0, -1, nullptr, -1, 0xFFFFFF},
      {32, 0, 0, [](HWND c) { Key(c, VK_ESCAPE); }, 0xFFFFFF, 0xFFFFFF}};
  // clang-format on
  for (const auto& c : cases) {
    HGLOBAL image = Hold(window_, c.bits);
    if (c.used) static_cast<BitmapInfoHeader*>(GlobalLock(image))->biClrUsed = c.used;
    GlobalUnlock(image);
    const auto color = [&](int v) {
      if (v >= 0) return COLORREF(v);
      const RgbQuad e = reinterpret_cast<const RgbQuad*>(GlobalBytes(image).data() + 40)[-1 - v];
      return RGB(e.rgbRed, e.rgbGreen, e.rgbBlue);
    };
    ClearCalls();
    Run([&](HWND d) {
      const bool alpha = c.bits == 32;
      EXPECT_EQ(Shown(d), std::string("5 3 0 0 0 0 Filled|Fill Color|o") + (alpha ? "ox" : "-o-x") +
                              "||Caption");
      EXPECT_EQ(GetWindowLongPtrA(GetDlgItem(d, IDC_FRAME_PREVIEW), GWLP_WNDPROC), hook);
      EXPECT_EQ(Swatch(d), color(c.open)) << c.bits;
      if (c.bits >= 24)
        Pump(100),
            SaveScreenshot({d}, alpha ? "frame_dialog_32bit_open" : "frame_dialog_24bit_open");
      if (c.pick) OnDialog(c.chooser, c.pick);
      if (c.chooser != -2) Click(d, IDC_FRAME_COLOR_BUTTON);
      EXPECT_EQ(Swatch(d), color(c.after)) << c.bits;
      Key(d, VK_ESCAPE);
    });
    EXPECT_EQ(HostLog(), kNoChange);
  }
  TestWindow empty;
  for (unsigned text : {IDS_UNSUPPORTED_IMAGE, IDS_FRAME_NO_IMAGE}) {
    static_cast<BitmapInfoHeader*>(GlobalLock(ZQ_GetHDib(window_)))->biBitCount = 16;
    GlobalUnlock(ZQ_GetHDib(window_));
    if (text == IDS_FRAME_NO_IMAGE) Plugin().imageActivate(empty, 1, 0);
    ClearCalls();
    EXPECT_EQ(RunCommand(window_, 7), 2);
    ExpectOneMessage(text);
    EXPECT_EQ(HostLog(), Strings(kNoChange.begin(), kNoChange.end() - 1));
  }
}

// On a 100 x 80 image: sizes and margins kept in step as the user types, the preview, and OK's
// refusals in order (each keeps the dialog open); Cancel then leaves the image alone.
TEST_F(FrameCommand, KeepsTheFieldsInStepAndRefusesOkInOrder) {
  ReloadPlugin();
  const auto before = GlobalBytes(Hold(window_, 24, 100, 80));
  const auto type = [](int id, const char* t) { return [=](HWND d) { Type(d, id, t); }; };
  const auto ok = [](int id, const char* t) {
    return [=](HWND d) {
      id == IDC_FRAME_CAPTION ? SetText(d, id, t) : Type(d, id, t), Click(d, IDOK);
    };
  };
  const std::string x254(254, 'x'), x255 = x254 + "x", x256 = x255 + "x";
  const struct {
    Script act;
    const char* fields;
    unsigned message = 0;
    int focus = 0;
    char shape = 0;                   // the preview: 'w' for a wide frame, 't' for a tall one
    uint32_t margin = 0, middle = 0;  // colours there: in a margin, at the image's place
    const char* shot = nullptr;
  } steps[] = {
      // clang-format off
      {type(kW, "105"), "105 80 0 0 2 3"}, {type(kH, "81"), "105 81 0 1 2 3"},
      {type(kT, "10"), "105 91 10 1 2 3"}, {type(kB, "4"), "105 94 10 4 2 3"},
      {type(kL, "1x"), "104 94 10 4 1x 3"}, {type(kR, "abc"), "101 94 10 4 1x abc"},
      {[](HWND d) { Click(d, IDC_FRAME_RESET); }, "100 80 0 0 0 0"},
      {type(kW, "300"), "300 80 0 0 100 100", 0, 0, 'w', 0x808080, kPattern, "frame_dialog_margins"},
      {[](HWND d) { OnDialog(0, SystemRed), Click(d, IDC_FRAME_COLOR_BUTTON); },
       "300 80 0 0 100 100", 0, 0, 'w', kRed, kPattern},
      {type(kL, "200"), "400 80 0 0 200 100", 0, 0, 'w', kRed, kRed},
      {[](HWND d) { Click(d, IDC_FRAME_RESET), Type(d, kH, "400"); }, "100 400 160 160 0 0", 0, 0,
       't', kRed, kPattern, "frame_dialog_tall"},
      {[](HWND d) { Type(d, kW, "\b"), Key(d, VK_TAB), Click(d, IDOK); }, "0 400 160 160 0 0",
       IDS_FRAME_WIDTH_TOO_SMALL, kW, 0, 0, 0, "frame_message_width_too_small"},
      {[](HWND d) { SetText(d, kW, "70000"), Click(d, IDOK); }, "70000 400 160 160 32717 32718",
       IDS_IMAGE_TOO_LARGE, kW, 0, 0, 0, "frame_message_too_large"},
      {ok(kH, "79"), "70000 79 0 0 32717 32718", IDS_FRAME_HEIGHT_TOO_SMALL, kH},
      {ok(IDC_FRAME_CAPTION, x256.c_str()), "70000 79 0 0 32717 32718", IDS_FRAME_CAPTION_TOO_LONG},
      {ok(IDC_FRAME_CAPTION, x255.c_str()), "70000 79 0 0 32717 32718", IDS_FRAME_CAPTION_TOO_LONG},
      {ok(IDC_FRAME_CAPTION, x254.c_str()), "70000 79 0 0 32717 32718", IDS_FRAME_HEIGHT_TOO_SMALL, kH}};
  // clang-format on
  ClearCalls();
  Run([&](HWND d) {
    for (const auto& s : steps) {
      const size_t boxes = Recorded().boxes.size();
      if (s.message && s.shot) OnMessageBox([&](HWND box) { SaveScreenshot({d, box}, s.shot); });
      s.act(d);
      EXPECT_EQ(Shown(d).substr(0, std::strlen(s.fields)), s.fields);
      ASSERT_EQ(Recorded().boxes.size(), boxes + (s.message != 0)) << s.fields;
      EXPECT_EQ(s.message ? Recorded().boxes.back().text : "", s.message ? TextById(s.message) : "")
          << s.fields;
      // (A test beside this one may hold the activation; then the dialog has no focus to show.)
      EXPECT_TRUE(!s.focus || GetActiveWindow() != d || FocusId(d) == s.focus) << s.fields;
      const bool wide = s.shape == 'w';  // white above a wide frame, at the sides of a tall one
      if (s.shape) {
        EXPECT_EQ(std::vector({Preview(d, wide ? 0.5 : 0.03, wide ? 0.03 : 0.5),
                               Preview(d, wide ? 0.12 : 0.5, wide ? 0.5 : 0.12),
                               Preview(d, wide ? 0.4 : 0.5, 0.5)}),
                  std::vector({kWhite, s.margin, s.middle}))
            << s.fields;
      }
      if (s.shot && !s.message) SaveScreenshot({d}, s.shot);
    }
    Key(d, VK_ESCAPE);
  });
  EXPECT_EQ(HostLog(), kNoChange);
  EXPECT_EQ(GlobalBytes(ZQ_GetHDib(window_)), before);
  EXPECT_TRUE(Recorded().cursors.empty());
}

// OK hands over what the exported composition makes of the same image and choices, after one
// wait-cursor pair; with nothing to do it changes nothing. Enter in the caption box is OK.
TEST_F(FrameCommand, FramesAsTheExportedCompositionDoes) {
  ReloadPlugin();
  const auto compose = reinterpret_cast<decltype(&IMG_FrameDIB)>(
      reinterpret_cast<void*>(GetProcAddress(Plugin().module, "IMG_FrameDIB")));
  FrameSpec spec;  // as the dialog leaves it: the face it sets, the rest read back from it
  std::strcpy(spec.font.lfFaceName, "Arial");
  DWORD flags[2] = {};  // Invert, Alpha
  // clang-format off
  const struct { unsigned bits; const char *width, *height; int style, toggle; size_t caption; } runs[] = {
      {24, "9", "6", 1, 0, 0}, {8, "8", "3", 0, IDC_FRAME_INVERT, 5},
      {32, "5", "3", 0, IDC_FRAME_ALPHA, 254}, {1, "7", "4", 0, IDC_FRAME_INVERT, 3},
      {4, "5", "3", 0, 0, 0}};  // the last: nothing to do
  // clang-format on
  for (const auto& r : runs) {
    const auto before = GlobalBytes(Hold(window_, r.bits));
    std::string text;
    while (text.size() < r.caption) text += "Ag ";
    text.resize(r.caption);
    ClearCalls();
    Run([&](HWND d) {
      Type(d, kW, r.width), Type(d, kH, r.height), Select(d, IDC_FRAME_STYLE, r.style);
      if (r.toggle) Click(d, r.toggle), flags[r.toggle == IDC_FRAME_ALPHA] ^= 1;
      Type(d, IDC_FRAME_CAPTION, text);
      const auto n = [&](int id) { return uint16_t(std::stoi(Text(d, id))); };
      FRM_SetMargins(spec, 0, 0, n(kT), n(kB), n(kL), n(kR));
      FrameColor* colors[] = {&spec.fill, &spec.outline, &spec.text};
      for (int i : {0, 1, 2})
        Select(d, IDC_FRAME_COLORS, i),
            *colors[i] = {0, GetBValue(Swatch(d)), GetGValue(Swatch(d)), GetRValue(Swatch(d))};
      spec.style = uint16_t(r.style);
      Key(d, VK_RETURN);
    });
    const bool framed = r.bits != 4;
    Strings log = kNoChange;
    if (framed) log.push_back("ZQ_SetHDib");
    EXPECT_EQ(HostLog(), log) << r.bits;
    EXPECT_EQ(Recorded().cursors.size() + Recorded().boxes.size(), framed ? 2u : 0u) << r.bits;
    spec.caption = text.empty() ? nullptr : text.c_str();
    HGLOBAL copy = ToGlobal(testimg::FromBytes(before));
    HGLOBAL made = compose(copy, &spec, flags[0], flags[1], 1, 1);
    Recorded().live.erase(made);
    EXPECT_EQ(GlobalBytes(ZQ_GetHDib(window_)), framed ? GlobalBytes(made) : before) << r.bits;
    GlobalFree(made), GlobalFree(copy);
  }
}

// Style, colour choice and alignment chosen and then cancelled are stored at Exit and shown after
// the next start; margins, colours, flags and the font's size last for the session, its face is
// "Arial" again at each opening, the caption never lasts. A size picked in the font dialog shows
// in the caption's title.
TEST_F(FrameCommand, RemembersEachChoiceAsLongAsItShould) {
  ReloadPlugin();
  Hold(window_, 24, 10, 10);
  const auto align = [](int vertical, int across, bool marked) {
    return [=](HWND d) {
      OnDialog(IDD_FRAME_ALIGN, [=](HWND a) {
        EXPECT_EQ(Checked(a, vertical) && Checked(a, across), marked);
        Click(a, vertical), Click(a, across), Click(a, IDOK);
      });
      Click(d, IDC_FRAME_ALIGN);
    };
  };
  const auto height = [](HWND d) {  // of the caption, from "Caption (cx, cy)"
    const std::string title = Text(d, IDC_FRAME_CAPTION_GROUP);
    return std::stoi(title.substr(title.find(", ") + 2));
  };
  Run([&](HWND d) {
    Select(d, IDC_FRAME_STYLE, 1), Select(d, IDC_FRAME_COLORS, 2), Type(d, kL, "4");
    Click(d, IDC_FRAME_INVERT), Type(d, IDC_FRAME_CAPTION, "Hi"), align(144, 146, false)(d);
    OnDialog(0, SystemRed), Click(d, IDC_FRAME_COLOR_BUTTON);
    const int plain = height(d);
    OnDialog(0, [&](HWND f) {
      for (auto [id, item] : {std::pair{cmb1, "DejaVu Serif"}, {cmb3, "20"}})
        Select(f, id,
               int(SendDlgItemMessageA(f, id, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(item))));
      SaveScreenshot({d, f}, "frame_font_dialog"), Click(f, IDOK);
    });
    Click(d, IDC_FRAME_FONT);
    EXPECT_GT(height(d), plain);
    SaveScreenshot({d}, "frame_dialog_caption"), Key(d, VK_ESCAPE);
  });
  for (bool again : {false, true}) {  // the same session, then a new one
    if (again) {
      ClearCalls();
      Plugin().exit();
      for (const char* line : {"Style 1", "ChooseColor 2", "Alignment 20"})
        EXPECT_EQ(HostLog(std::string("ProfileWriteLong ") + line).size(), 1u) << line;
      ReloadPlugin();
      Hold(window_, 24, 10, 10);
    }
    Run([&](HWND d) {
      EXPECT_EQ(Shown(d), std::string(again ? "10 10 0 0 0 0" : "14 10 0 0 4 0") +
                              " Outline|Text Color|" + (again ? "o" : "x") + "-o-x||Caption");
      EXPECT_EQ(Swatch(d), again ? COLORREF(0xC0C0C0) : COLORREF(0x0000FF));
      if (!again) SaveScreenshot({d}, "frame_dialog_text_color");
      OnDialog(0, [](HWND f) { Key(f, VK_ESCAPE); }), Click(d, IDC_FRAME_FONT);
      const LOGFONTA& font = Recorded().chooseFont.back().font;
      EXPECT_EQ(font.lfFaceName + std::to_string(font.lfHeight), again ? "Arial16" : "Arial-27");
      if (again) Select(d, IDC_FRAME_STYLE, 0), Select(d, IDC_FRAME_COLORS, 0);
      align(again ? 142 : 144, again ? 145 : 146, !again)(d);  // the defaults back at last
      Key(d, VK_ESCAPE);
    });
  }
}

// The viewer after Frame/Caption... from its menu: the framed, captioned picture.
TEST(FrameInViewer, ShowsTheFramedPicture) {
  HWND frame = CreateHostFrame();
  HostPlugin = &Plugin();
  ASSERT_TRUE(InitPlugin(5000, 1));
  OpenImageWindow(frame, "picture.bmp", ToGlobal(testimg::Make(24, 200, 100, 3)));
  SetWindowPos(frame, HWND_TOP, 20, 20, 560, 420, SWP_SHOWWINDOW);
  OnDialog(IDD_FRAME, [](HWND d) {
    Type(d, kW, "260"), Type(d, kH, "160"), Type(d, IDC_FRAME_CAPTION, "Framed"), Click(d, IDOK);
  });
  SendMessageA(frame, WM_COMMAND, MenuId(7), 0);
  Pump(200);
  SaveScreenshot({frame}, "host_frame_result");
  HostPlugin = nullptr;
  DestroyWindow(frame);
  MSG quit;  // the closed viewer asks its loop to end; the tests go on
  PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
  Plugin().imageActivate(nullptr, 0, 0);
}

}  // namespace
