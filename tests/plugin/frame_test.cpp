// Frame/Caption... on Windows: IMG_FrameDIB and the alignment dialog through IMAGE.DLL's exports,
// the Frame dialog through real messages and its result against the engine's composition.

#include <windows.h>
#include <colordlg.h>
#include <commdlg.h>
#include <dlgs.h>

#include <cstring>

#include "frame/caption.h"
#include "frame/frame_dialog.h"
#include "mask/gdi_mask.h"
#include "plugin/gdi.h"
#include "tests/plugin/harness.h"

namespace {

using namespace harness;
using FrameDib = PluginTest;

// What IMG_FrameDIB must make of an image with `s` and the flags: the frame, and the caption as
// this test draws it (TextOutA straight into a one-bit bitmap) merged by the engine.
std::function<HostBlock(HostBlock)> Framed(const FrameSpec& s, uint16_t invert, uint16_t alpha,
                                           uint16_t color) {
  const auto draw = [&s](const MaskRaster& r) {
    const LONG w = LONG(r.width), h = LONG(r.height), n = LONG(std::strlen(s.caption));
    const struct {
      BITMAPINFOHEADER h;
      RGBQUAD c[2];
    } info = {{sizeof info.h, w, h, 1, 1, BI_RGB, 0, 0, 0, 0, 0},
              {{0, 0, 0, 0}, {255, 255, 255, 0}}};
    void* bits = nullptr;
    MemoryDC dc;
    OwnedBitmap bitmap(CreateDIBSection(dc, reinterpret_cast<const BITMAPINFO*>(&info),
                                        DIB_RGB_COLORS, &bits, nullptr, 0));
    OwnedFont font(CreateFontIndirectA(reinterpret_cast<const LOGFONTA*>(&s.font)));
    SelectedObject drawn(dc, bitmap), in(dc, font);
    PatBlt(dc, 0, 0, w, h, WHITENESS);
    SIZE e;
    GetTextExtentPointA(dc, s.caption, n, &e);
    const CaptionOrigin at = FRM_CaptionOrigin(r.width, r.height, e.cx, e.cy, s.alignment);
    TextOutA(dc, at.x, at.y, s.caption, n);
    GdiFlush();
    MAS_RasterFromMono(static_cast<uint8_t*>(bits), RowStride(1, r.width), r);
    return true;
  };
  return [=, &s](HostBlock dib) {
    HostBlock framed = FRM_ComposeFrame(dib, s);
    return framed && s.caption
               ? FRM_AddCaption(framed, s.text, invert, alpha, color, draw, DisplayBits())
               : framed;
  };
}

// A 30 x 16 image in a 40 x 22 frame, "Frame" bottom right (high flag bits ignored), each step
// failing: the messages (F: the frame's memory, I and M: the caption's image and mask, T: its
// text) and the frame with this test's caption, without it or none; nothing left, nothing locked.
TEST_F(FrameDib, FailsWithItsMessagesAndHandsOverTheFrame) {
  // clang-format off
  const std::tuple<unsigned, const char*, int, std::string> cases[] = {
      {32, "GlobalAlloc", 1, "F"}, {32, "GlobalAlloc", 2, "IT"}, {32, "GlobalAlloc", 3, "MT"},
      {32, "GlobalAlloc", 4, "MT"}, {32, "GlobalAlloc", 5, ""}, {8, "GlobalAlloc", 4, ""},
      {32, "CreateMetaFileA", 1, "T"}, {8, "CloseMetaFile", 1, "T"}, {8, "GetDC", 1, "T"},
      {32, "CreateFontIndirectA", 1, "T"}, {32, "CreateBitmap", 1, "MT"},
      {8, "CreateCompatibleDC", 1, "MT"}};
  // clang-format on
  for (const auto& [bits, call, n, boxes] : cases) {
    FrameSpec s;
    s.addWidth = 10, s.addHeight = 6, s.top = 4, s.left = 4, s.bottom = 2, s.right = 6;
    s.caption = "Frame", s.alignment = 36, s.style = kFrameOutline, s.text = {1, 10, 200, 30};
    std::strcpy(s.font.lfFaceName, "Arial");
    const Bytes source = testimg::Bytes(OwnedBlock(testimg::Make(bits, 30, 16, bits)).get());
    HGLOBAL image = ToGlobal(testimg::FromBytes(source));
    ClearCalls();
    FailCall(call, n);
    HGLOBAL made = Export<decltype(&IMG_FrameDIB)>("IMG_FrameDIB")(image, &s, 0x10000, 0x10001,
                                                                   0x10001, 0xDEAD);
    SCOPED_TRACE(Cat(bits, " ", call, " ", n));
    EXPECT_EQ(Recorded().live.erase(made), made ? 1u : 0u) << "the frame is the plug-in's";
    EXPECT_TRUE(Recorded().live.empty() && Recorded().gdiObjects.empty() &&
                Recorded().dcs.empty() && !(GlobalFlags(image) & GMEM_LOCKCOUNT));
    const unsigned codes[] = {IDS_FRAME_NO_MEMORY, IDS_MASK_NO_MEMORY_IMAGE,
                              IDS_MASK_NO_MEMORY_MASK, IDS_FRAME_CAPTION_FAILED};  // F, I, M, T
    std::string shown;
    for (const MessageBoxCall& box : Recorded().boxes)
      for (int i : {0, 1, 2, 3})
        if (box.text == TextById(codes[i])) shown += "FIMT"[i];
    EXPECT_EQ(shown, boxes);
    if (!boxes.empty()) s.caption = nullptr;  // a failed caption leaves the frame
    EXPECT_EQ(made ? GlobalBytes(made) : Bytes{},
              boxes == "F" ? Bytes{} : EngineResult(source, Framed(s, 0, 1, 1)));
    GlobalFree(made), GlobalFree(image);
  }
}

// The marks each stored value shows (Top to Right), mnemonics moving a mark within its group
// only, and what OK (Enter) stores and Cancel (Esc) leaves.
TEST_F(FrameDib, AlignmentDialogMarksOneButtonPerGroup) {
  const std::tuple<WORD, std::string, const char*, std::string, UINT, WORD> cases[] = {
      {9, "x o o x o o", "be", "o o x o x o", VK_RETURN, 20},
      {18, "o x o o x o", "t", "x o o o x o", VK_ESCAPE, 18},
      {3, "x o o o o x", "cl", "o x o x o o", VK_RETURN, 10}};
  const std::vector<int> marks = {IDC_ALIGN_TOP,  IDC_ALIGN_VCENTER, IDC_ALIGN_BOTTOM,
                                  IDC_ALIGN_LEFT, IDC_ALIGN_HCENTER, IDC_ALIGN_RIGHT};
  for (const auto& [stored, before, keys, after, end, result] : cases) {
    WORD alignment = stored;
    OnDialog(IDD_FRAME_ALIGN, [&](HWND d) {
      EXPECT_EQ(Read(d, marks), before) << stored;
      for (const char* k = keys; *k; ++k) Mnemonic(d, *k);
      EXPECT_EQ(Read(d, marks), after) << stored;
      if (result == 20) SaveScreenshot({d}, "frame_align_dialog");
      Key(d, end);
    });
    const int ok = Export<decltype(&FRA_ChooseAlign)>("FRA_ChooseAlign")(MainWindow(), &alignment);
    EXPECT_EQ(std::pair(ok != 0, alignment), std::pair(end == VK_RETURN, result)) << stored;
  }
}

constexpr int kFrameRow = 7, kW = IDC_FRAME_WIDTH, kH = IDC_FRAME_HEIGHT, kL = IDC_FRAME_LEFT;
// What the dialog shows: the six fields, both lists, the boxes, the caption and its group's title.
// clang-format off
const std::vector<int> kShown = {kW, kH, IDC_FRAME_TOP, IDC_FRAME_BOTTOM, kL, IDC_FRAME_RIGHT,
    IDC_FRAME_STYLE, IDC_FRAME_COLORS, IDC_FRAME_INVERT, IDC_FRAME_ALPHA, IDC_FRAME_COLOR_CHANNELS,
    IDC_FRAME_CAPTION, IDC_FRAME_CAPTION_GROUP};
// clang-format on

using FrameCommand = PluginTest;

// On a 100 x 80 image: each field moving those that depend on it (the split is proven natively),
// Reset, and OK's refusals, each keeping the dialog open; OK with nothing to do changes nothing.
// Then choices cancelled on a 32-bit image last for the session, but the font's face ("Arial"
// again) and the caption. Enter in the longest caption frames with them as the engine does. A
// palette image then shows its own entries.
TEST_F(FrameCommand, KeepsTheFieldsInStepAndRemembersEachChoiceAsLongAsItShould) {
  const auto ok = [](int id, std::string t) {
    return [=](HWND d) { SetText(d, id, t), Click(d, IDOK); };
  };
  const Strings asked = {"ZQ_GetHDib", "ZQ_GetHPalette", "ZQ_GetOwnerWnd"};
  CommandRun run = {.row = kFrameRow, .bits = 24, .width = 100, .height = 80, .log = asked};
  // clang-format off
  run.script = Stepping(kShown, {
      {{[](HWND) { Pump(100); }}, "100 80 0 0 0 0 Filled Fill Color o -o -x  Caption", 0, 0,
       "frame_dialog_24bit_open"},
      {{Typing(kW, "105")}, "105 80 0 0 2 3"}, {{Typing(IDC_FRAME_TOP, "10")}, "105 90 10 0 2 3"},
      {{Clicking(IDC_FRAME_RESET)}, "100 80 0 0 0 0"},
      {{Typing(kW, "300")}, "300 80 0 0 100 100", 0, 0, "frame_dialog_margins"},
      {{Clicking(IDC_FRAME_RESET), Typing(kH, "400")}, "100 400 160 160 0 0", 0, 0,
       "frame_dialog_tall"},
      {{Typing(kW, "\b"), Pressing(VK_TAB), Clicking(IDOK)}, "0 400 160 160 0 0",
       IDS_FRAME_WIDTH_TOO_SMALL, kW, "frame_message_width_too_small"},
      {{ok(kW, "70000")}, "70000 400 160 160 32717 32718", IDS_IMAGE_TOO_LARGE, kW,
       "frame_message_too_large"},
      {{ok(kH, "79")}, "70000 79 0 0 32717 32718", IDS_FRAME_HEIGHT_TOO_SMALL, kH},
      {{[](HWND d) { SetText(d, kW, "100"); }, ok(kH, "70000")},
       "100 70000 32727 32728 0 0", IDS_IMAGE_TOO_LARGE, kH},
      {{ok(IDC_FRAME_CAPTION, std::string(255, 'x'))}, "100 70000", IDS_FRAME_CAPTION_TOO_LONG,
       IDC_FRAME_CAPTION},
      {{Clicking(IDC_FRAME_RESET), ok(IDC_FRAME_CAPTION, "")}, "100 80 0 0 0 0"}});
  // clang-format on
  ExpectRun(run, "24 bits");
  run.bits = 32, run.width = run.height = 10;
  run.script = [](HWND d) {
    EXPECT_EQ(Read(d, kShown), "10 10 0 0 0 0 Filled Fill Color o o x  Caption");
    Pump(100), SaveScreenshot({d}, "frame_dialog_32bit_open");
    Select(d, IDC_FRAME_STYLE, 1), Select(d, IDC_FRAME_COLORS, 2), Type(d, kL, "4");
    for (int id : {IDC_FRAME_INVERT, IDC_FRAME_ALPHA, IDC_FRAME_COLOR_CHANNELS}) Click(d, id);
    Type(d, IDC_FRAME_CAPTION, "Hi");
    OnDialog(IDD_FRAME_ALIGN,
             [](HWND a) { Mnemonic(a, 'b'), Mnemonic(a, 'e'), Key(a, VK_RETURN); });
    Click(d, IDC_FRAME_ALIGN);
    OnDialog(0, [](HWND c) { Type(c, COLOR_RED, "255"), Click(c, IDOK); });
    Click(d, IDC_FRAME_COLOR_BUTTON);  // on the text's grey
    EXPECT_EQ(Swatch(d, IDC_FRAME_SWATCH), RGB(255, 192, 192));
    OnDialog(0, [&](HWND f) {
      for (auto [id, item] : {std::pair{cmb1, "DejaVu Serif"}, {cmb3, "20"}})
        Select(f, id,
               int(SendDlgItemMessageA(f, id, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(item))));
      SaveScreenshot({d, f}, "frame_font_dialog"), Click(f, IDOK);
    });
    Click(d, IDC_FRAME_FONT);
    SaveScreenshot({d}, "frame_dialog_caption"), Click(d, IDCANCEL);
  };
  ExpectRun(run, "cancelled");
  const std::string caption(254, 'g');  // the longest OK takes, handed over whole
  FrameSpec params = {.addWidth = 4, .left = 4, .caption = caption.c_str(), .alignment = 20};
  params.style = kFrameOutline, params.text = {0, 192, 192, 255};  // as the first run chose
  run.log.push_back("ZQ_SetHDib"), run.engine = Framed(params, 1, 1, 0);
  run.script = [&](HWND d) {
    EXPECT_EQ(Read(d, kShown), "14 10 0 0 4 0 Outline Text Color x x o  Caption");
    SaveScreenshot({d}, "frame_dialog_text_color");
    OnDialog(0, [](HWND f) { Click(f, IDCANCEL); }), Click(d, IDC_FRAME_FONT);
    EXPECT_EQ(Recorded().chooseFont.back(), Cat(sizeof(CHOOSEFONTA), " ", d, " 41 Arial-27"));
    std::memcpy(&params.font, &Recorded().font, sizeof params.font);
    Type(d, IDC_FRAME_CAPTION, caption), Key(d, VK_RETURN);
  };
  ExpectRun(run, "the longest caption");
  // A palette image's entries are its colours; a click on the swatch only beeps.
  run = {.row = kFrameRow, .log = asked};
  run.script = [](HWND d) {
    EXPECT_EQ(Swatch(d, IDC_FRAME_SWATCH), TableColor(0));
    OnDialog(IDD_COLOR_CHOOSER, [](HWND c) { ClickColorEntry(c, 8, 200), Click(c, IDOK); });
    Click(d, IDC_FRAME_COLOR_BUTTON);
    EXPECT_EQ(Swatch(d, IDC_FRAME_SWATCH), TableColor(200));
    MouseDown(GetDlgItem(d, IDC_FRAME_SWATCH), {2, 2});
    HWND fresh = CreateWindowExA(0, "StatColorCtrl", "", WS_CHILD, 0, 0, 9, 9, d, nullptr,
                                 Plugin().module, nullptr);
    EXPECT_EQ(GetWindowLongA(fresh, 0), 0) << "a new swatch is black";
    DestroyWindow(fresh);
    EXPECT_EQ(Recorded().beeps.size(), 1u);
    Click(d, IDCANCEL);
  };
  ExpectRun(run, "palette");
}

}  // namespace
