// IMG_FrameDIB and the caption's alignment dialog through IMAGE.DLL's exports and real messages.

#include <cstring>

#include "frame/caption.h"
#include "frame/frame_dialog.h"
#include "mask/gdi_mask.h"
#include "plugin/gdi.h"
#include "tests/plugin/harness.h"

namespace {

using namespace harness;
using Bytes = std::vector<uint8_t>;
using FrameDib = PluginTest;

// The caption as this test draws it: TextOutA straight into a one-bit bitmap.
bool DrawCaption(const FrameSpec& s, const MaskRaster& r) {
  const LONG w = LONG(r.width), h = LONG(r.height), n = LONG(std::strlen(s.caption));
  const struct {
    BITMAPINFOHEADER h;
    RGBQUAD c[2];
  } info = {{sizeof info.h, w, h, 1, 1, BI_RGB, 0, 0, 0, 0, 0}, {{0, 0, 0, 0}, {255, 255, 255, 0}}};
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
}

// IMG_FrameDIB's result for a 30 x 16 image of `bits` in an Outline frame of 40 x 22, "Frame"
// bottom right, Alpha and Color on (with high bits, to be ignored), call `n` of `failing` failing;
// and what it must be: the frame, this test's caption, the mask engine. No block, GDI object or DC
// may be left, nor the image locked.
std::pair<Bytes, Bytes> Frame(unsigned bits, const char* failing, int n) {
  const int flags[3] = {0, 1, 1};
  FrameSpec s;
  s.addWidth = 10, s.addHeight = 6, s.top = 4, s.left = 4, s.bottom = 2, s.right = 6;
  s.caption = "Frame", s.alignment = 36, s.style = kFrameOutline, s.text = {1, 10, 200, 30};
  std::strcpy(s.font.lfFaceName, "Arial");
  const Bytes source = testimg::Bytes(OwnedBlock(testimg::Make(bits, 30, 16, bits)).get());
  HGLOBAL image = ToGlobal(testimg::FromBytes(source));
  ClearCalls();
  FailCall(failing, n);
  HGLOBAL made = Export<decltype(&IMG_FrameDIB)>("IMG_FrameDIB")(
      image, &s, flags[0] | 0x10000, flags[1] | 0x10000, flags[2] | 0x10000, 0xDEAD);
  EXPECT_EQ(Recorded().live, made ? std::set<HGLOBAL>{made} : std::set<HGLOBAL>{});
  EXPECT_TRUE(Recorded().gdiObjects.empty() && Recorded().dcs.empty() &&
              !(GlobalFlags(image) & GMEM_LOCKCOUNT));
  const Bytes got = made ? GlobalBytes(made) : Bytes{};
  Recorded().live.erase(made);
  GlobalFree(made), GlobalFree(image);
  if (!Recorded().boxes.empty()) s.caption = nullptr;  // a failed caption leaves the frame
  MAS_SetMaskColor(s.text.index, s.text.red, s.text.green, s.text.blue);
  return {got, EngineResult(source, [&](HostBlock dib) {
            OwnedBlock framed(FRM_ComposeFrame(dib, s));
            const auto draw = [&](const MaskRaster& r) { return DrawCaption(s, r); };
            return s.caption ? MAS_ApplyMask(framed.get(), draw, !flags[0], flags[1], flags[2],
                                             DisplayBits())
                             : framed.release();
          })};
}

// Each allocation in turn (at 32 bits; 8 bits, the same steps without a separate mask, makes one
// fewer) and each GDI step failing: the messages in order (F: the frame's memory, I and M: the
// caption's image and mask, T: the caption's text), and the frame without caption unless the frame
// itself could not be had.
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
    const auto [got, want] = Frame(bits, call, n);
    std::string shown;
    for (const MessageBoxCall& box : Recorded().boxes)
      for (auto [code, id] : {std::pair{'F', IDS_FRAME_NO_MEMORY},
                              {'I', IDS_MASK_NO_MEMORY_IMAGE},
                              {'M', IDS_MASK_NO_MEMORY_MASK},
                              {'T', IDS_FRAME_CAPTION_FAILED}})
        if (box.text == TextById(id)) shown += code;
    EXPECT_EQ(shown, boxes) << bits << " " << call << " " << n;
    EXPECT_EQ(got, boxes == "F" ? Bytes{} : want) << bits << " " << call << " " << n;
  }
}

// The marks each stored value shows (Top to Right, 1 for marked), mnemonics moving a mark within
// its group only, and what OK (Enter) stores and Cancel (Esc) leaves.
TEST_F(FrameDib, AlignmentDialogMarksOneButtonPerGroup) {
  const std::tuple<WORD, std::string, const char*, std::string, UINT, WORD> cases[] = {
      {0, "001001", "", "001001", VK_RETURN, 36},
      {9, "100100", "be", "001010", VK_RETURN, 20},
      {18, "010010", "t", "100010", VK_ESCAPE, 18},
      {3, "100001", "cl", "010100", VK_RETURN, 10}};
  const auto marks = [](HWND d) {
    std::string s;
    for (int id = IDC_ALIGN_TOP; id <= IDC_ALIGN_RIGHT; ++id) s += Checked(d, id) ? '1' : '0';
    return s;
  };
  for (const auto& [stored, before, keys, after, end, result] : cases) {
    WORD alignment = stored;
    OnDialog(IDD_FRAME_ALIGN, [&](HWND d) {
      EXPECT_EQ(marks(d), before) << stored;
      for (const char* k = keys; *k; ++k) Mnemonic(d, *k);
      EXPECT_EQ(marks(d), after) << stored;
      if (result == 20) SaveScreenshot({d}, "frame_align_dialog");
      Key(d, end);
    });
    const int ok = Export<decltype(&FRA_ChooseAlign)>("FRA_ChooseAlign")(MainWindow(), &alignment);
    EXPECT_EQ(std::pair(ok != 0, alignment), std::pair(end == VK_RETURN, result)) << stored;
  }
}

}  // namespace
