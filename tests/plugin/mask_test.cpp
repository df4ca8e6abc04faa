// Masks and tiles on Windows: the GDI renderer against the portable player, and the Mask and Tile
// commands and dialogs through real messages.

#include <windows.h>
#include <colordlg.h>

#include <bit>

#include "mask/gdi_mask.h"
#include "mask/metafile.h"
#include "mask/tile.h"
#include "plugin/gdi.h"
#include "tests/plugin/harness.h"

namespace {

using namespace harness;

// Shape `id` as IMAGE.DLL embeds it: a metafile for GDI, and parsed for the portable player.
struct Shape {
  OwnedMetafile metafile;
  WmfDrawing drawing;
  explicit Shape(unsigned id) {
    HRSRC found = FindResourceA(Plugin().module, MAKEINTRESOURCEA(id), "MASK");
    const DWORD size = SizeofResource(Plugin().module, found);
    const auto* bytes = static_cast<uint8_t*>(LockResource(LoadResource(Plugin().module, found)));
    metafile.reset(SetMetaFileBitsEx(size, bytes));
    std::string error;
    EXPECT_TRUE(ParseMetafile(bytes, size, drawing, error)) << id << error;
  }
};

// Every shape in the one-bit raster GDI draws into and two it is spread into: GDI's outline differs
// from the portable player's in at most 3 % of the pixels (a turned or misplaced shape in far
// more); Checkers not at all, so its mask is imagetool's.
TEST(GdiMaskRenderer, DrawsEveryShapeCloseToThePortablePlayer) {
  for (unsigned id = IDS_SHAPE_CHECKERS; id <= IDS_SHAPE_UP_ARROW; ++id) {
    const Shape shape(id);
    for (auto [w, h, bits] : {std::tuple{64u, 64u, 1u}, {200u, 100u, 8u}, {256u, 256u, 32u}}) {
      const size_t stride = RowStride(bits, w);
      std::vector<uint8_t> gdi(stride * h, 0xAA), portable = gdi;
      EXPECT_TRUE(RenderMetafileGdi(shape.metafile, {gdi.data(), stride, w, h, bits}));
      EXPECT_TRUE(RenderMetafile(shape.drawing, {portable.data(), stride, w, h, bits}));
      uint32_t diff = 0;  // differing bits: those of a pixel are all set or all clear
      for (size_t i = 0; i < gdi.size(); ++i) diff += std::popcount(uint8_t(gdi[i] ^ portable[i]));
      EXPECT_LE(diff * 100, (id == IDS_SHAPE_CHECKERS ? 0 : 3) * w * h * bits) << id << ' ' << w;
    }
  }
}

constexpr int kMaskRow = 9;
const std::vector<int> kBoxes = {IDC_MASK_INVERT, IDC_MASK_ALPHA, IDC_MASK_COLOR_CHANNELS};
const Strings kAsked = {"ZQ_GetHDib", "ZQ_GetHPalette", "ZQ_GetOwnerWnd"};

// The shape in the preview, read right of its centre (in Circle, a white square of Checkers) and
// at an inner corner (outside Circle, in Checkers' black square): "circle", "checkers", "empty".
std::string Preview(HWND d) {
  HWND preview = GetDlgItem(d, IDC_MASK_PREVIEW);
  RECT r;
  GetClientRect(preview, &r);
  const std::vector<uint32_t> p = ClientPixels(preview);  // as the screen shows it
  const std::pair at = {p[r.right * (r.bottom * 7 / 16) + r.right * 9 / 16], p[r.right * 2 + 2]};
  for (auto [shape, centre, corner] : {std::tuple{"circle", 0x000000, 0xFFFFFF},
                                       {"checkers", 0xFFFFFF, 0x000000},
                                       {"empty", 0xFFFFFF, 0xFFFFFF}})
    if (at == std::pair{uint32_t(centre), uint32_t(corner)}) return shape;
  return "?";
}
std::string Shown(HWND d) {
  return Read(d, {IDC_MASK_LIST}) + " " + Preview(d) + " " + Read(d, kBoxes);
}

// Choices cancelled on a 32-bit image leave it alone, remove each replaced shape's file, reappear
// at every opening, are stored at Exit and read back at Init; the colour suits each image (a
// palette's entry, Mask Color... by depth). A damaged "Selected" opens on Checkers. Then OK masks
// as the engine does with the plug-in's renderer, in the colour and options shown (each depth's
// merge is proven natively); a failed allocation or surface shows one message and keeps the
// image; a shape that could not be loaded shows and masks an empty drawing.
TEST_F(PluginTest, MaskKeepsCancelledChoicesAndMasksAsTheEngineDoesOrFailsCleanly) {
  CommandRun run = {.row = kMaskRow, .width = 64, .height = 64, .log = kAsked};
  for (unsigned bits : {32u, 8u, 24u}) {  // 24 last: its chooser leaves index 0 for the rows below
    run.bits = bits, run.script = [&](HWND d) {
      if (bits == 32) {
        const Action down = [](HWND d) { SetFocus(GetDlgItem(d, IDC_MASK_LIST)), Key(d, VK_DOWN); };
        RunSteps(d, Shown, {{{Choosing(IDC_MASK_LIST, 0)}, "0 checkers"}, {{down}, "1 circle"}});
        for (int box : kBoxes) Click(d, box);  // to "x o o", all three away from the defaults
        SaveScreenshot({d}, "mask_image_circle_inverted");
        return Key(d, VK_ESCAPE);
      }
      EXPECT_EQ(Shown(d), "1 circle x -o -x");
      if (bits == 24) {
        SaveScreenshot({d}, "mask_image_24bit");
        OnDialog(0, [](HWND c) { Type(c, COLOR_RED, "200"), Click(c, IDOK); });
        Click(d, IDC_MASK_COLOR);  // the index becomes 0
        EXPECT_EQ(GetRValue(Swatch(d, IDC_MASK_SWATCH)), 200);
        EXPECT_EQ(Preview(d), "circle") << "after the chooser closed over it";
      } else {
        EXPECT_EQ(Swatch(d, IDC_MASK_SWATCH), TableColor(0));
        OnDialog(IDD_COLOR_CHOOSER, [](HWND c) { ClickColorEntry(c, 8, 200), Click(c, IDOK); });
        Click(d, IDC_MASK_COLOR);
        EXPECT_EQ(Swatch(d, IDC_MASK_SWATCH), TableColor(200));
        SaveScreenshot({d}, "mask_image_palette_color");
      }
      Key(d, VK_ESCAPE);
    };
    ExpectRun(run, Cat(bits, " bits"));
  }
  Plugin().exit();  // every group's keys: Frame's and Tile's as the module starts
  EXPECT_EQ(HostLog("ProfileWrite"),
            (Strings{"ProfileWriteLong Style 0", "ProfileWriteLong ChooseColor 0",
                     "ProfileWriteLong Alignment 9", "ProfileWriteLong Selected 1",
                     "ProfileWriteLong Invert 1", "ProfileWriteLong AlphaMask 0",
                     "ProfileWriteLong AlphaColor 0", "ProfileWriteLong Mirror 0"}));
  Store("Selected=40");
  ASSERT_TRUE(InitPlugin());
  const struct {
    unsigned bits;
    const char* marks;    // Invert, Alpha and Color (the last two count at 32 bits only)
    const char* failing;  // its first call fails
    TextId message;
  } cases[] = {{32, "oox", "", {}},
               {8, "xoo", "", {}},
               {32, "oxo", "", {}},
               {32, "oxx", "GlobalAlloc", IDS_MASK_NO_MEMORY_IMAGE},
               {24, "oxx", "CreateBitmap", IDS_MASK_NO_MEMORY_MASK},
               {8, "oxx", "WriteFile", {}},
               {8, "oxx", "GetMetaFileA", {}}};
  const Shape heart(IDS_SHAPE_HEART);
  for (const auto& c : cases) {
    const bool loads = c.message || !*c.failing;
    bool shown = false;
    run = {.row = kMaskRow, .bits = c.bits, .width = 40, .height = 30, .log = kAsked};
    run.message = c.message;
    run.plan = [&](HWND, HGLOBAL image) {  // the result keeps the header fields masking leaves
      static_cast<BitmapInfoHeader*>(GlobalLock(image))->biClrImportant = 1;
      GlobalUnlock(image);
      if (*c.failing) FailCall(c.failing, 1);
    };
    run.script = [&](HWND d) {
      if (&c == cases) {
        EXPECT_EQ(Shown(d), "0 checkers x o o") << "the options stored";
        SaveScreenshot({d}, "mask_image_32bit");
      }
      if (loads) Select(d, IDC_MASK_LIST, 7);  // Heart
      // (A test beside this one may take the temporary name this load drew: then it shows none.)
      shown = Preview(d) != "empty";
      EXPECT_TRUE(loads || !shown);
      if (std::string(c.failing) == "GetMetaFileA") SaveScreenshot({d}, "mask_image_no_shape");
      for (int i : {0, 1, 2})  // each box clicked to its mark, unless disabled
        if (Checked(d, kBoxes[i]) != (c.marks[i] == 'x')) Click(d, kBoxes[i]);
      const COLORREF color = Swatch(d, IDC_MASK_SWATCH);  // index 0's
      MAS_SetMaskColor(0, GetRValue(color), GetGValue(color), GetBValue(color));
      Key(d, VK_RETURN);
    };
    if (!c.message) {
      run.log.push_back("ZQ_SetHDib");
      run.engine = [&](HostBlock dib) {
        return MAS_ApplyMask(dib, shown ? heart.metafile.get() : HMETAFILE{}, c.marks[0] == 'x',
                             c.marks[1] == 'x', c.marks[2] == 'x');
      };
    }
    ExpectRun(run, Cat(c.bits, " bits ", c.failing));
  }
}

constexpr int kTileRow = 8;
const std::vector<int> kCounts = {IDC_TILE_WIDTH, IDC_TILE_HEIGHT, IDC_TILE_MIRROR};

Action Tiles(const char* across, const char* down, bool mirror) {
  return [=](HWND d) {
    if (Checked(d, IDC_TILE_MIRROR) != mirror) Click(d, IDC_TILE_MIRROR);
    Type(d, IDC_TILE_WIDTH, across), Type(d, IDC_TILE_HEIGHT, down), Key(d, VK_RETURN);
  };
}

// OK's refusals and the copies, both proven natively, wired: 1 × 1 changes nothing, a result too
// large is refused; a Mirror click stays after Cancel.
TEST_F(PluginTest, TileTilesAsTheEngineDoesOrRefuses) {
  const auto tiled = [](uint32_t across, uint32_t down, bool mirror) {
    return [=](HostBlock dib) { return TIL_TileDIB(dib, across, down, mirror); };
  };
  // clang-format off
  const Action refusals = Stepping(kCounts, {
      {{}, "1 1 o", 0, 0, "tile_image_open"},
      {{Tiles("12a", "2", false)}, "12a 2 o", IDS_TILE_BAD_WIDTH, IDC_TILE_WIDTH,
       "tile_image_bad_width"},
      {{Tiles("0", "x", false)}, "0 x o", IDS_TILE_BAD_HEIGHT, IDC_TILE_HEIGHT},
      {{Clicking(IDC_TILE_MIRROR), Pressing(VK_ESCAPE)}, "0 x x"}});
  const Action mirrored = Stepping(kCounts, {{{}, "1 1 x", 0, 0, "tile_image_mirror"},
                                             {{Tiles("3", "2", true)}, "3 2 x"}});
  const Strings asked = {"ZQ_GetHDib", "ZQ_GetOwnerWnd"},
                handed = {"ZQ_GetHDib", "ZQ_GetOwnerWnd", "ZQ_SetHDib"};
  const CommandRun runs[] = {
      {.row = kTileRow, .script = refusals, .log = asked},
      {.row = kTileRow, .bits = 4, .width = 7, .script = mirrored, .engine = tiled(3, 2, true),
       .log = handed},
      {.row = kTileRow, .bits = 4, .width = 7, .script = Tiles("3", "2", false),
       .engine = tiled(3, 2, false), .log = handed},
      {.row = kTileRow, .script = Tiles("1", "1", false), .log = asked},
      {.row = kTileRow, .bits = 1, .width = 10000, .height = 1, .script = Tiles("4", "1", false),
       .message = IDS_TILE_TOO_LARGE, .log = asked}};  // 40000 wide
  // clang-format on
  for (const CommandRun& run : runs) ExpectRun(run, Cat(run.bits, " bits"));
}

}  // namespace
