// The Tile command and its dialog through real messages: the result against the engine, the
// count checks at OK, Mirror Tiles, and the failures.

#include "mask/tile.h"
#include "tests/plugin/harness.h"

namespace {

using namespace harness;
constexpr int kTileRow = 8, kAcross = IDC_TILE_WIDTH, kDown = IDC_TILE_HEIGHT;

// "across down mirror-mark"
std::string Shown(HWND d) {
  return Text(d, kAcross) + " " + Text(d, kDown) + (Checked(d, IDC_TILE_MIRROR) ? " x" : " o");
}
// The counts typed, then OK.
Action Counts(const char* across, const char* down) {
  return [=](HWND d) { SetText(d, kAcross, across), SetText(d, kDown, down), Click(d, IDOK); };
}

class TileCommand : public PluginTest {
 protected:
  // Runs the command: the mirror mark set to `mirror`, the counts typed, Enter.
  void Tile(const char* across, const char* down, bool mirror) {
    OnDialog(IDD_TILE_IMAGE, [=](HWND d) {
      if (Checked(d, IDC_TILE_MIRROR) != mirror) Click(d, IDC_TILE_MIRROR);
      Type(d, kAcross, across), Type(d, kDown, down), Key(d, VK_RETURN);
    });
    RunCommand(window_, kTileRow);
  }
  TestWindow window_;
};

// 3 × 2 with and without mirror gives the engine's result (each depth's copies are proven
// natively); 1 × 1 changes nothing, no cursor.
TEST_F(TileCommand, TilesAsTheEngineDoes) {
  for (auto [across, down, mirror] :
       {std::tuple{"3", "2", false}, {"3", "2", true}, {"1", "1", false}}) {
    const auto before = GlobalBytes(Hold(window_, 4, 7, 5, 4));
    ClearCalls();
    Tile(across, down, mirror);
    const bool same = *across == '1';
    EXPECT_EQ(HostLog(), (same ? Strings{"ZQ_GetHDib", "ZQ_GetOwnerWnd"}
                               : Strings{"ZQ_GetHDib", "ZQ_GetOwnerWnd", "ZQ_SetHDib"}));
    EXPECT_EQ(GlobalBytes(ZQ_GetHDib(window_)),
              same ? before : EngineResult(before, [&](HostBlock dib) {
                return TIL_TileDIB(dib, 3, 2, mirror);
              }));
    EXPECT_EQ(Recorded().cursors.size(), same ? 0u : 2u);
  }
}

// Opening shows the remembered mark; a Mirror click turns it over once and stays after Cancel, and
// Exit stores it. OK refuses bad counts (the rule itself is tested natively) with one message each,
// the dialog left open with the keyboard on the field at fault. No image: a message and no dialog.
// Too large: a message before any allocation; one copy less passes.
TEST_F(TileCommand, ChecksCountsKeepsTheMirrorClickAndRefusesWhatItCannotTile) {
  Hold(window_, 1, 10000, 1);
  std::string mirror;  // the mark at the first opening
  for (int run = 0; run < 2; ++run) {
    OnDialog(IDD_TILE_IMAGE, [&](HWND d) {
      if (run == 0) mirror = Shown(d).substr(3);
      const std::string opened = run == 0 ? mirror : mirror == " x" ? " o" : " x";
      RunSteps(
          d, Shown,
          {{{}, "1 1" + opened, 0, 0, opened == " x" ? "tile_image_mirror" : "tile_image_open"},
           {{Counts("12a", "2")}, "12a 2", IDS_TILE_BAD_WIDTH, kAcross, "tile_image_bad_width"},
           {{Counts("65537", "2")}, "65537 2", IDS_TILE_BAD_WIDTH, kAcross},
           {{Counts("0", "x")}, "0 x", IDS_TILE_BAD_HEIGHT, kDown},
           {{Clicking(IDC_TILE_MIRROR), Pressing(VK_ESCAPE)}, ""}});
    });
    ClearCalls();
    RunCommand(window_, kTileRow);
    EXPECT_EQ(HostLog(), (Strings{"ZQ_GetHDib", "ZQ_GetOwnerWnd"}));
  }
  ClearCalls();
  Plugin().exit();
  EXPECT_EQ(HostLog("ProfileWriteLong Mirror"),
            Strings{"ProfileWriteLong Mirror " + std::to_string(mirror == " x")});

  ClearCalls();
  Tile("4", "1", false);  // 40000 wide
  ExpectOneMessage(IDS_TILE_TOO_LARGE);
  EXPECT_EQ(Recorded().calls["GlobalAlloc"], 0);
  Tile("3", "1", false);
  EXPECT_EQ(HostLog("ZQ_SetHDib").size(), 1u);
  TestWindow empty;
  Plugin().imageActivate(empty, 1, 0);
  ClearCalls();
  RunCommand(empty, kTileRow);
  ExpectOneMessage(IDS_TILE_NO_IMAGE);
  EXPECT_EQ(HostLog(), Strings{"ZQ_GetHDib"});
}

}  // namespace
