// The Tile Image dialog: copies across and down, checked at OK, and Mirror Tiles, which edits
// TileMirror in place (a click stays in effect after Cancel).
#include "mask/tile_dialog.h"

#include "mask/tile_counts.h"
#include "plugin/dialog.h"
#include "plugin/dialog_controls.h"
#include "plugin/settings.h"
#include "resources/ids.h"
#include "resources/text_ids.h"

namespace {

// Each field is read as 127 characters at most.
constexpr int kFieldTextSize = 128;

BOOL OnInitDialog(HWND dialog, TileDialogState& state) {
  AttachDialogState(dialog, IDD_TILE_IMAGE, &state);
  SetDlgItemTextA(dialog, IDC_TILE_WIDTH, "1");
  SetDlgItemTextA(dialog, IDC_TILE_HEIGHT, "1");
  ShowMark(dialog, IDC_TILE_MIRROR, TileMirror != 0);
  return TRUE;
}

// Closes with OK when both counts are usable; otherwise reports the first bad field and leaves the
// dialog open with that field focused and its text selected, ready to be typed over.
void OnOk(HWND dialog) {
  char width[kFieldTextSize] = {}, height[kFieldTextSize] = {};
  GetDlgItemTextA(dialog, IDC_TILE_WIDTH, width, sizeof width);
  GetDlgItemTextA(dialog, IDC_TILE_HEIGHT, height, sizeof height);
  const TileCounts counts = CheckTileCounts(width, height);
  if (counts.error != TileCountError::None) {
    const bool badWidth = counts.error == TileCountError::Width;
    DialogMessage(dialog, badWidth ? IDC_TILE_WIDTH : IDC_TILE_HEIGHT,
                  badWidth ? IDS_TILE_BAD_WIDTH : IDS_TILE_BAD_HEIGHT);
    return;
  }
  TileDialogState& state = *DialogState<TileDialogState>(dialog);
  state.across = counts.across;
  state.down = counts.down;
  EndDialog(dialog, 1);
}

}  // namespace

BOOL TIL_OnCommand(HWND dialog, WPARAM wParam, LPARAM) {
  switch (LOWORD(wParam)) {
    case IDOK:
      OnOk(dialog);
      return TRUE;
    case IDCANCEL:
      EndDialog(dialog, 0);
      return TRUE;
    case IDC_TILE_MIRROR:
      if (HIWORD(wParam) == BN_CLICKED) ToggleMark(dialog, IDC_TILE_MIRROR, TileMirror);
      return TRUE;
    default:
      return FALSE;
  }
}

extern "C" INT_PTR CALLBACK TIL_TileProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(dialog, *reinterpret_cast<TileDialogState*>(lParam));
    case WM_COMMAND:
      return TIL_OnCommand(dialog, wParam, lParam);
    default:
      return FALSE;
  }
}
