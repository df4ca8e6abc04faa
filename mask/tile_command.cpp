// The Tile command: the Tile Image dialog, then the image repeated across and down.
#include "mask/tile.h"
#include "mask/tile_dialog.h"
#include "plugin/commands.h"
#include "plugin/dialog.h"
#include "plugin/host_api.h"
#include "plugin/settings.h"
#include "resources/ids.h"
#include "resources/text_ids.h"

void TIL_TileCommand(HWND window) {
  TileDialogState state;
  RunImageCommand(
      window, IDS_TILE_NO_IMAGE,
      [&](const ImageFacts& image) {
        // Even one copy more of a side past the limit is too large, and one each way does
        // nothing: no count could work.
        if (!SidesWithin(image, kTileMaxSide, IDS_TILE_TOO_LARGE)) return false;
        // One copy each way would give the image back unchanged: nothing is built for it.
        return RunModalDialog(ZQ_GetOwnerWnd(window), IDD_TILE_IMAGE, TIL_TileProc, &state) == 1 &&
               (state.across > 1 || state.down > 1);
      },
      [&](HGLOBAL image) {
        return OwnedBlock(TIL_TileDIB(image, state.across, state.down, TileMirror != 0));
      });
}
