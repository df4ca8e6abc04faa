// The colour chooser: COL_ChooseColor, the ColorChooser dialog and its ColorCtrl grid.
#include <windows.h>
#include <commdlg.h>

#include "controls/color_grid.h"
#include "controls/colors.h"
#include "dib/dib.h"
#include "plugin/dialog.h"
#include "plugin/gdi.h"
#include "plugin/plugin.h"
#include "resources/ids.h"

namespace {

static_assert(sizeof(void*) != 4 || sizeof(CHOOSECOLORA) == 36,
              "the 32-bit colour dialog structure is 36 bytes");

// One run of the chooser, made by COL_ChooseColor and reached by the dialog and its grid through
// the dialog's DWLP_USER. The image's colour table is read once, as it is when the chooser opens.
struct ChooserState {
  ImageFacts image;  // depth 24 when there is no image
  HPALETTE palette = nullptr;
  LONG selectedIndex = 0;
  BYTE selectedColor[3] = {};  // red, green, blue
};

// The system colour dialog's custom colours, kept for the life of the module.
COLORREF CustomColors[16] = {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
                             0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
                             0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF};

// The state of the chooser dialog that holds the grid `control`; null outside one.
ChooserState* StateOf(HWND control) {
  return ParentDialogState<ChooserState>(control, IDD_COLOR_CHOOSER);
}

ColorGrid GridOf(HWND control, const ChooserState& state) {
  RECT client;
  GetClientRect(control, &client);
  return MakeColorGrid(static_cast<int>(state.image.bits), client.right, client.bottom);
}

void Select(ChooserState& state, const RgbQuad& entry) {
  state.selectedColor[0] = entry.rgbRed;
  state.selectedColor[1] = entry.rgbGreen;
  state.selectedColor[2] = entry.rgbBlue;
}

RECT CellRect(const ColorGrid& grid, int entry) {
  const GridCell c = GridCellOf(grid, entry);
  return RECT{c.left, c.top, c.right, c.bottom};
}

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
  OwnedBrush brush(CreateSolidBrush(color));
  FillRect(dc, &rect, brush);
}

// Paints every cell: black frame, the entry's colour inset within it, and a red ring in the gap
// of the selected cell, whose colour becomes the selected colour. Cells beyond the colour table (an
// 8-bit image with fewer than 256 entries) are framed and left empty.
void PaintGrid(HWND control, HDC dc) {
  ChooserState* state = StateOf(control);
  if (!state) return;
  const ColorGrid grid = GridOf(control, *state);
  if (grid.cellWidth <= 0 || grid.cellHeight <= 0) return;
  const RgbQuad* table = state->image.colors;
  const auto entries = static_cast<int>(state->image.colorCount);

  SelectedObject brush(dc, GetStockObject(WHITE_BRUSH));
  SelectedPalette palette(dc, state->palette);
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  for (int entry = 0; entry < grid.n * grid.n; ++entry) {
    RECT cell = CellRect(grid, entry);
    if (entry < entries) {
      const RgbQuad& c = table[entry];
      if (entry == state->selectedIndex) {
        Select(*state, c);
        FillSolid(dc, cell, RGB(255, 0, 0));
      }
      FrameRect(dc, &cell, black);
      InflateRect(&cell, -grid.inset, -grid.inset);
      FillSolid(dc, cell, PALETTERGB(c.rgbRed, c.rgbGreen, c.rgbBlue));
    } else {
      FrameRect(dc, &cell, black);
    }
  }
}

// Moves the selection to the cell under (x, y); the repaint of the new cell sets the selected
// colour. Points outside the cells and cells beyond the colour table select nothing.
void SelectAt(HWND control, unsigned x, unsigned y) {
  ChooserState* state = StateOf(control);
  if (!state) return;
  const ColorGrid grid = GridOf(control, *state);
  const int entry = GridHitTest(grid, x, y);
  if (entry < 0 || entry == state->selectedIndex) return;
  if (entry >= static_cast<int>(state->image.colorCount)) return;
  if (state->selectedIndex >= 0 && state->selectedIndex < grid.n * grid.n) {
    const RECT old = CellRect(grid, state->selectedIndex);
    InvalidateRect(control, &old, FALSE);
  }
  state->selectedIndex = entry;
  const RECT cell = CellRect(grid, entry);
  InvalidateRect(control, &cell, TRUE);
}

int RunSystemColorDialog(HWND owner, LONG* index, BYTE* red, BYTE* green, BYTE* blue) {
  CHOOSECOLORA cc = {};
  cc.lStructSize = sizeof cc;
  cc.hwndOwner = owner;
  cc.rgbResult = RGB(*red, *green, *blue);
  cc.lpCustColors = CustomColors;
  cc.Flags = CC_RGBINIT | CC_FULLOPEN;
  if (!ChooseColorA(&cc)) return 0;
  *red = GetRValue(cc.rgbResult);
  *green = GetGValue(cc.rgbResult);
  *blue = GetBValue(cc.rgbResult);
  *index = 0;
  return 1;
}

}  // namespace

ATOM COL_RegisterColorCtrl() {
  WNDCLASSA wc = {};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = COL_ColorCtrlProc;
  wc.hInstance = ModuleInstance;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = "ColorCtrl";
  return RegisterPluginClass(wc);
}

extern "C" {

BOOL WINAPI COL_ChooseColor(HWND owner, HGLOBAL dib, HPALETTE palette, LONG* index, BYTE* red,
                            BYTE* green, BYTE* blue) {
  ChooserState state{{}, palette, *index, {*red, *green, *blue}};
  state.image.bits = 24;
  // An image the engines do not handle (16 bits, say) gets no colour.
  if (dib && !ReadImageFacts(dib, state.image)) return 0;
  bool result = false;
  switch (state.image.bits) {
    case 1:
      // The toggle returns the entry's own colour, so that the swatch shows what is painted; a
      // table without that entry leaves black for 0 and white for 1.
      state.selectedIndex = *index == 0 ? 1 : 0;
      state.selectedColor[0] = state.selectedColor[1] = state.selectedColor[2] =
          static_cast<BYTE>(255 * state.selectedIndex);
      if (static_cast<uint32_t>(state.selectedIndex) < state.image.colorCount)
        Select(state, state.image.colors[state.selectedIndex]);
      result = true;
      break;
    case 4:
    case 8:
      result = RunModalDialog(owner, IDD_COLOR_CHOOSER, COL_ChooseColorProc, &state) == 1;
      break;
    case 24:
    case 32:
      return RunSystemColorDialog(owner, index, red, green, blue);
    default:
      return 0;
  }
  if (result) {
    *red = state.selectedColor[0];
    *green = state.selectedColor[1];
    *blue = state.selectedColor[2];
    *index = state.selectedIndex;
  }
  return result;
}

INT_PTR CALLBACK COL_ChooseColorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      AttachDialogState(dialog, IDD_COLOR_CHOOSER, reinterpret_cast<void*>(lParam));
      return FALSE;
    case WM_COMMAND:
      if (wParam == IDOK || wParam == IDCANCEL) EndDialog(dialog, wParam == IDOK ? 1 : 0);
      return TRUE;
    default:
      return FALSE;
  }
}

LRESULT CALLBACK COL_ColorCtrlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
    case WM_COMMAND:
      return 0;
    case WM_PAINT: {
      PaintScope paint(window);
      PaintGrid(window, paint);
      return 0;
    }
    case WM_LBUTTONDOWN:
      SelectAt(window, LOWORD(lParam), HIWORD(lParam));
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // extern "C"
