// The Tile command and its dialog through real messages: the result against the engine, the
// count checks at OK, Mirror Tiles, and the failures.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <tuple>

#include "mask/tile.h"
#include "plugin/host_api.h"
#include "resources/ids.h"
#include "resources/text_ids.h"
#include "tests/plugin/harness.h"
#include "tests/support/images.h"

namespace {

using namespace harness;

constexpr int kTileRow = 8;

class TileCommand : public PluginTest {
 protected:
  // Runs the command: the mirror mark set to `mirror`, the counts typed, Enter.
  void Tile(const char* across, const char* down, bool mirror) {
    OnDialog(IDD_TILE_IMAGE, [=](HWND d) {
      if (Checked(d, IDC_TILE_MIRROR) != mirror) Click(d, IDC_TILE_MIRROR);
      Type(d, IDC_TILE_WIDTH, across);
      Type(d, IDC_TILE_HEIGHT, down);
      Key(d, VK_RETURN);
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
// Exit stores it. OK refuses bad counts (the rule itself is tested natively) with one message
// each, the dialog left open with the field focused (the counts shown at opening and the
// selected field are in the screenshots). No image: a message and no dialog. Too large: a message
// before any allocation; one copy less passes.
TEST_F(TileCommand, ChecksCountsKeepsTheMirrorClickAndRefusesWhatItCannotTile) {
  Hold(window_, 1, 10000, 1);
  bool mirror = false;
  for (int run = 0; run < 2; ++run) {
    OnDialog(IDD_TILE_IMAGE, [&](HWND d) {
      if (run == 0) mirror = Checked(d, IDC_TILE_MIRROR);
      EXPECT_EQ(Checked(d, IDC_TILE_MIRROR), mirror != (run == 1));
      SaveScreenshot({d}, Checked(d, IDC_TILE_MIRROR) ? "tile_image_mirror" : "tile_image_open");
      Click(d, IDC_TILE_MIRROR);
      for (auto [width, height] : {std::pair{"12a", "2"}, {"65537", "2"}, {"0", "x"}}) {
        SetText(d, IDC_TILE_WIDTH, width);
        SetText(d, IDC_TILE_HEIGHT, height);
        Click(d, IDOK);
        const bool badWidth = *height != 'x';
        const int field = badWidth ? IDC_TILE_WIDTH : IDC_TILE_HEIGHT;
        EXPECT_EQ(Recorded().boxes.back().text,
                  TextById(badWidth ? IDS_TILE_BAD_WIDTH : IDS_TILE_BAD_HEIGHT));
        EXPECT_EQ(std::pair(GetActiveWindow(), FocusId(d)), std::pair(d, field)) << width;
        if (*width == '1') SaveScreenshot({d}, "tile_image_bad_width");
      }
      Key(d, VK_ESCAPE);
    });
    ClearCalls();
    RunCommand(window_, kTileRow);
    EXPECT_EQ(Recorded().boxes.size(), 3u);
    EXPECT_EQ(HostLog(), (Strings{"ZQ_GetHDib", "ZQ_GetOwnerWnd"}));
  }
  ClearCalls();
  Plugin().exit();
  EXPECT_EQ(HostLog("ProfileWriteLong Mirror"),
            Strings{"ProfileWriteLong Mirror " + std::to_string(mirror)});

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
