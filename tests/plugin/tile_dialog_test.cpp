// The Tile command and its dialog through real messages: the result against the engine, the
// count checks at OK, Mirror Tiles, and the failures.

#include "mask/tile.h"
#include "tests/plugin/harness.h"

namespace {

using namespace harness;
constexpr int kTileRow = 8, kAcross = IDC_TILE_WIDTH, kDown = IDC_TILE_HEIGHT;
const std::vector<int> kShown = {kAcross, kDown, IDC_TILE_MIRROR};

// The mirror mark set to `mirror`, the counts typed, Enter.
Action Tiles(const char* across, const char* down, bool mirror) {
  return [=](HWND d) {
    if (Checked(d, IDC_TILE_MIRROR) != mirror) Click(d, IDC_TILE_MIRROR);
    Type(d, kAcross, across), Type(d, kDown, down), Key(d, VK_RETURN);
  };
}

// 3 × 2 with and without mirror gives the engine's result (each depth's copies are proven
// natively); 1 × 1 changes nothing. A result too large is refused before any allocation, one copy
// less passes.
TEST_F(PluginTest, TileTilesAsTheEngineDoesOrRefuses) {
  const auto tiled = [](uint32_t across, uint32_t down, bool mirror) {
    return [=](HostBlock dib) { return TIL_TileDIB(dib, across, down, mirror); };
  };
  const Strings asked = {"ZQ_GetHDib", "ZQ_GetOwnerWnd"},
                handed = {"ZQ_GetHDib", "ZQ_GetOwnerWnd", "ZQ_SetHDib"};
  const auto noAllocation = [](HWND) { EXPECT_EQ(Recorded().calls["GlobalAlloc"], 0); };
  // clang-format off
  const CommandRun runs[] = {
      {.row = kTileRow, .bits = 4, .width = 7, .script = Tiles("3", "2", false),
       .engine = tiled(3, 2, false), .log = handed},
      {.row = kTileRow, .bits = 4, .width = 7, .script = Tiles("3", "2", true),
       .engine = tiled(3, 2, true), .log = handed},
      {.row = kTileRow, .bits = 4, .width = 7, .script = Tiles("1", "1", false), .log = asked,
       .check = [](HWND) { EXPECT_TRUE(Recorded().cursors.empty()) << "nothing to do"; }},
      {.row = kTileRow, .bits = 1, .width = 10000, .height = 1, .script = Tiles("4", "1", false),
       .message = IDS_TILE_TOO_LARGE, .log = asked, .check = noAllocation},  // 40000 wide
      {.row = kTileRow, .bits = 1, .width = 10000, .height = 1, .script = Tiles("3", "1", false),
       .engine = tiled(3, 1, false), .log = handed}};
  // clang-format on
  for (const CommandRun& run : runs) ExpectRun(run, Cat(run.bits, " bits"));
}

// Opening shows the remembered mark; a Mirror click turns it over once and stays after Cancel, and
// Exit stores it. OK refuses bad counts (the rule itself is tested natively) with one message each,
// the dialog left open with the keyboard on the field at fault.
TEST_F(PluginTest, TileChecksCountsAndKeepsTheMirrorClick) {
  TestWindow window;
  Hold(window, 1, 10000, 1);
  const auto counts = [](const char* across, const char* down) {
    return [=](HWND d) { SetText(d, kAcross, across), SetText(d, kDown, down), Click(d, IDOK); };
  };
  std::string mirror;  // the mark at the first opening
  for (int run = 0; run < 2; ++run) {
    OnDialog(IDD_TILE_IMAGE, [&](HWND d) {
      if (run == 0) mirror = Read(d, {IDC_TILE_MIRROR});
      const std::string opened = run == 0 ? mirror : mirror == "x" ? "o" : "x";
      RunSteps(
          d, kShown,
          {{{}, "1 1 " + opened, 0, 0, opened == "x" ? "tile_image_mirror" : "tile_image_open"},
           {{counts("12a", "2")}, "12a 2", IDS_TILE_BAD_WIDTH, kAcross, "tile_image_bad_width"},
           {{counts("65537", "2")}, "65537 2", IDS_TILE_BAD_WIDTH, kAcross},
           {{counts("0", "x")}, "0 x", IDS_TILE_BAD_HEIGHT, kDown},
           {{Clicking(IDC_TILE_MIRROR), Pressing(VK_ESCAPE)}, ""}});
    });
    ClearCalls();
    RunCommand(window, kTileRow);
    EXPECT_EQ(HostLog(), (Strings{"ZQ_GetHDib", "ZQ_GetOwnerWnd"}));
  }
  ClearCalls();
  Plugin().exit();
  EXPECT_EQ(HostLog("ProfileWriteLong Mirror"),
            Strings{"ProfileWriteLong Mirror " + std::to_string(mirror == "x")});
}

}  // namespace
