// The exported frame composition with its GDI caption, and the caption's choosers, through
// IMAGE.DLL's exports and real messages.
#include <gtest/gtest.h>

#include <windows.h>
#include <commdlg.h>

#include <cstring>
#include <string>
#include <vector>

#include "frame/caption.h"
#include "mask/gdi_mask.h"
#include "plugin/gdi.h"
#include "resources/ids.h"
#include "resources/text_ids.h"
#include "tests/plugin/harness.h"
#include "tests/support/images.h"

namespace {

using namespace harness;
using Bytes = std::vector<uint8_t>;

template <typename F>
F Export(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(Plugin().module, name)));
}

// A 30 × 16 image of `bits` and its 40 × 22 frame, captioned "Frame" in 16-pixel Arial.
struct Framing {
  explicit Framing(unsigned bits, const char* caption = "Frame")
      : bytes(testimg::Bytes(OwnedBlock(testimg::Make(bits, 30, 16, bits)).get())),
        image(ToGlobal(testimg::FromBytes(bytes))) {
    spec.addWidth = 10, spec.left = 4, spec.right = 6, spec.addHeight = 6, spec.bottom = 2;
    spec.top = 4, spec.caption = caption, spec.text = {1, 10, 200, 30};
    std::strcpy(spec.font.lfFaceName, "Arial");
  }
  ~Framing() { GlobalFree(image); }
  // IMG_FrameDIB's result (empty for none), freed; nothing else may be left.
  Bytes Run(DWORD invert, DWORD alpha = 0, DWORD color = 1) {
    ClearCalls();
    if (failing) FailCall(failing, failAt);
    const auto frame =
        Export<HGLOBAL(WINAPI*)(HGLOBAL, const FrameSpec*, DWORD, DWORD, DWORD, DWORD)>(
            "IMG_FrameDIB");
    HGLOBAL result = frame(image, &spec, invert, alpha, color, 0xDEAD);
    EXPECT_EQ(Recorded().live, result ? std::set<HGLOBAL>{result} : std::set<HGLOBAL>{});
    EXPECT_TRUE(Recorded().gdiObjects.empty() && Recorded().dcs.empty() && !LockCount(image));
    const Bytes out = result ? GlobalBytes(result) : Bytes{};
    Recorded().live.erase(result);
    GlobalFree(result);
    return out;
  }
  // The frame, the caption drawn by this test straight into a one-bit bitmap, then the mask
  // engine: what IMG_FrameDIB must give.
  Bytes Expected(bool invert, int32_t alpha = 0, int32_t color = 1) const {
    return EngineResult(bytes, [&](HostBlock source) -> HostBlock {
      OwnedBlock framed(FRM_ComposeFrame(source, spec));
      MAS_SetMaskColor(spec.text.index, spec.text.red, spec.text.green, spec.text.blue);
      if (!spec.caption) return framed.release();
      return MAS_ApplyMask(
          framed.get(),
          [&](const MaskRaster& r) {
            const struct {
              BITMAPINFOHEADER h;
              RGBQUAD c[2];
            } info = {{sizeof info.h, LONG(r.width), LONG(r.height), 1, 1, BI_RGB, 0, 0, 0, 0, 0},
                      {{0, 0, 0, 0}, {255, 255, 255, 0}}};
            void* bits = nullptr;
            MemoryDC dc;
            OwnedBitmap bitmap(CreateDIBSection(dc, reinterpret_cast<const BITMAPINFO*>(&info),
                                                DIB_RGB_COLORS, &bits, nullptr, 0));
            OwnedFont font(CreateFontIndirectA(reinterpret_cast<const LOGFONTA*>(&spec.font)));
            SelectedObject drawn(dc, bitmap), in(dc, font);
            PatBlt(dc, 0, 0, LONG(r.width), LONG(r.height), WHITENESS);
            SIZE e;
            const int n = static_cast<int>(std::strlen(spec.caption));
            GetTextExtentPointA(dc, spec.caption, n, &e);
            const CaptionOrigin at =
                FRM_CaptionOrigin(r.width, r.height, e.cx, e.cy, spec.alignment);
            TextOutA(dc, at.x, at.y, spec.caption, n);
            GdiFlush();
            MAS_RasterFromMono(static_cast<uint8_t*>(bits), RowStride(1, r.width), r);
            return true;
          },
          !invert, alpha, color, DisplayBits());
    });
  }
  Bytes bytes;
  HGLOBAL image;
  FrameSpec spec;
  const char* failing = nullptr;  // its failAt-th call fails in Run
  int failAt = 0;
};

using FrameDib = PluginTest;

// Without a caption the frame alone, both styles; with one, every depth × the four corners and
// centres × Invert (high bits ignored) × the 32-bit flags; a centred caption wider than the image.
TEST_F(FrameDib, DrawsTheCaptionAsTextOutIntoOneBit) {
  for (unsigned bits : testimg::kDepths) {
    Framing f(bits, nullptr);
    for (uint16_t style : {kFrameFilled, kFrameOutline}) {
      f.spec.style = style;
      EXPECT_EQ(f.Run(0), f.Expected(false)) << bits;
    }
    f.spec.caption = "Frame";
    for (int i = 0; i < 8; ++i) {
      f.spec.alignment = uint16_t(std::initializer_list<int>{9, 20, 36, 18}.begin()[i % 4]);
      const int32_t alpha = i / 2 % 2, color = i / 4;
      EXPECT_EQ(f.Run(0x10000 | i % 2, alpha | 0x10000, color | 0x20000),
                f.Expected(i % 2, alpha, color))
          << bits << " case " << i;
    }
  }
  Framing wide(24, "A caption much wider than the frame");
  wide.spec.alignment = kAlignVCenter | kAlignHCenter;
  EXPECT_EQ(wide.Run(0), wide.Expected(false));
}

// A caption of spaces draws no glyph: the frame alone, or with Invert all of it in the text colour.
TEST_F(FrameDib, SpacesPaintOnlyWhenInverted) {
  Framing f(24, "   ");
  const Bytes plain = f.Run(0), inverted = f.Run(1);
  f.spec.caption = nullptr;
  EXPECT_EQ(plain, f.Expected(false));
  OwnedBlock block(testimg::FromBytes(inverted));
  const testimg::View v(block.get());
  int others = 0;
  for (uint32_t y = 0; y < 22; ++y)
    for (uint32_t x = 0; x < 40; ++x) others += testimg::GetPixel(v.v, x, y) != 0x1EC80A;
  EXPECT_EQ(others, 0);
}

// Each allocation in turn, and each GDI step, failing: the messages in order, and the frame without
// caption unless the frame itself could not be had.
TEST_F(FrameDib, FailsWithItsMessagesAndHandsOverTheFrame) {
  const unsigned kFrame = IDS_FRAME_NO_MEMORY, kImage = IDS_MASK_NO_MEMORY_IMAGE,
                 kMask = IDS_MASK_NO_MEMORY_MASK, kText = IDS_FRAME_CAPTION_FAILED;
  const struct {
    unsigned bits;
    const char* call;
    int n;
    std::vector<unsigned> boxes;
  } cases[] = {{32, "GlobalAlloc", 1, {kFrame}},
               {32, "GlobalAlloc", 2, {kImage, kText}},
               {32, "GlobalAlloc", 3, {kMask, kText}},
               {32, "GlobalAlloc", 4, {kMask, kText}},
               {32, "GlobalAlloc", 5, {}},
               {8, "GlobalAlloc", 1, {kFrame}},
               {8, "GlobalAlloc", 2, {kImage, kText}},
               {8, "GlobalAlloc", 3, {kMask, kText}},
               {8, "GlobalAlloc", 4, {}},
               {32, "CreateMetaFileA", 1, {kText}},
               {8, "CloseMetaFile", 1, {kText}},
               {32, "CreateFontIndirectA", 1, {kText}},
               {8, "GetDC", 1, {kText}},
               {32, "CreateBitmap", 1, {kMask, kText}},
               {8, "CreateCompatibleDC", 1, {kMask, kText}}};
  for (const auto& c : cases) {
    Framing f(c.bits);
    f.failing = c.call, f.failAt = c.n;
    const Bytes got = f.Run(0);
    std::vector<std::string> shown, wanted;
    for (const MessageBoxCall& box : Recorded().boxes) shown.push_back(box.text);
    for (unsigned id : c.boxes) wanted.push_back(TextById(id));
    const std::string what = std::to_string(c.bits) + " " + c.call + " " + std::to_string(c.n);
    EXPECT_EQ(shown, wanted) << what;
    if (!c.boxes.empty()) f.spec.caption = nullptr;
    EXPECT_EQ(got, c.boxes == std::vector{kFrame} ? Bytes{} : f.Expected(false)) << what;
  }
}

// The marks each stored value shows (Top to Right, 1 for marked), mnemonics moving a mark within
// its group only, and what OK (Enter) stores and Cancel (Esc) leaves.
TEST_F(FrameDib, AlignmentDialogMarksOneButtonPerGroup) {
  const struct {
    WORD stored;
    const char *before, *keys, *after;
    UINT end;
    WORD result;
  } cases[] = {{0, "001001", "", "001001", VK_RETURN, 36},
               {9, "100100", "be", "001010", VK_RETURN, 20},
               {18, "010010", "t", "100010", VK_ESCAPE, 18},
               {3, "100001", "cl", "010100", VK_RETURN, 10}};
  const auto marks = [](HWND d) {
    std::string s;
    for (int id = IDC_ALIGN_TOP; id <= IDC_ALIGN_RIGHT; ++id) s += Checked(d, id) ? '1' : '0';
    return s;
  };
  for (const auto& c : cases) {
    WORD alignment = c.stored;
    OnDialog(IDD_FRAME_ALIGN, [&](HWND d) {
      EXPECT_EQ(marks(d), c.before) << c.stored;
      for (const char* k = c.keys; *k; ++k) Mnemonic(d, *k);
      EXPECT_EQ(marks(d), c.after) << c.stored;
      if (c.result == 20) SaveScreenshot({d}, "frame_align_dialog");
      Key(d, c.end);
    });
    const auto choose = Export<int(WINAPI*)(HWND, WORD*)>("FRA_ChooseAlign");
    EXPECT_EQ(choose(MainWindow(), &alignment) != 0, c.end == VK_RETURN) << c.stored;
    EXPECT_EQ(alignment, c.result);
  }
}

// The system font dialog starts on the caption font: screen fonts, no effects, the owner given.
TEST_F(FrameDib, FontChooserStartsOnTheCaptionFont) {
  LOGFONTA font = {-21, 0, 0, 0, 700, 1, 0, 0, 0, 0, 0, 0, 0, "Arial"}, given = font;
  OnDialog(0, [](HWND c) { Key(c, VK_ESCAPE); });
  EXPECT_FALSE(Export<BOOL(WINAPI*)(HWND, LOGFONTA*)>("FRA_ChooseFont")(MainWindow(), &font));
  ASSERT_EQ(Recorded().chooseFont.size(), 1u);
  const ChooseFontCall& call = Recorded().chooseFont[0];
  EXPECT_EQ(call.size, sizeof(CHOOSEFONTA));
  EXPECT_EQ(call.owner, MainWindow());
  EXPECT_EQ(call.flags, 0x41u);
  EXPECT_TRUE(call.hasFont && std::memcmp(&call.font, &given, sizeof font) == 0);
}

}  // namespace
