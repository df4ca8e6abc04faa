// The colour chooser: COL_ChooseColor, the ColorChooser dialog and its ColorCtrl grid.
#include <windows.h>
#include <commdlg.h>

#include "controls/color_grid.h"
#include "controls/colors.h"
#include "dib/dib.h"
#include "plugin/plugin.h"
#include "resources/ids.h"

namespace {

static_assert(sizeof(void*) != 4 || sizeof(CHOOSECOLORA) == 36,
              "the 32-bit colour dialog structure is 36 bytes");

// One chooser at a time (the dialog is modal): set by COL_ChooseColor, read by the grid.
HGLOBAL ChooserImage = nullptr;
HPALETTE ChooserPalette = nullptr;
int ChooserDepth = 24;
LONG SelectedIndex = 0;
BYTE SelectedColor[3] = {};  // red, green, blue
// The system colour dialog's custom colours, kept for the life of the module.
COLORREF CustomColors[16] = {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
                             0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
                             0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF};

ColorGrid GridOf(HWND control) {
  RECT client;
  GetClientRect(control, &client);
  return MakeColorGrid(ChooserDepth, client.right, client.bottom);
}

RECT CellRect(const ColorGrid& grid, int entry) {
  const GridCell c = GridCellOf(grid, entry);
  return RECT{c.left, c.top, c.right, c.bottom};
}

// Keeps a GDI object selected into a context for the guard's lifetime.
class SelectGuard {
 public:
  SelectGuard(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~SelectGuard() { SelectObject(dc_, previous_); }
  SelectGuard(const SelectGuard&) = delete;
  SelectGuard& operator=(const SelectGuard&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// Selects and realizes the chooser palette (if any) as a foreground palette, and puts the previous
// one back at the end.
class PaletteGuard {
 public:
  PaletteGuard(HDC dc, HPALETTE palette) : dc_(dc) {
    if (!palette) return;
    previous_ = SelectPalette(dc, palette, FALSE);
    RealizePalette(dc);
  }
  ~PaletteGuard() {
    if (previous_) SelectPalette(dc_, previous_, FALSE);
  }
  PaletteGuard(const PaletteGuard&) = delete;
  PaletteGuard& operator=(const PaletteGuard&) = delete;

 private:
  HDC dc_;
  HPALETTE previous_ = nullptr;
};

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

// Paints every cell: black frame, the entry's colour inset within it, and a red ring in the gap
// of the selected cell, whose colour becomes SelectedColor. Cells beyond the colour table (an
// 8-bit image with fewer than 256 entries) are framed and left empty.
void PaintGrid(HWND control, HDC dc) {
  if (!ChooserImage) return;
  const ColorGrid grid = GridOf(control);
  if (grid.cellWidth <= 0 || grid.cellHeight <= 0) return;
  BlockLock lock(ChooserImage);
  if (!lock) return;
  const auto* header = reinterpret_cast<const BitmapInfoHeader*>(lock.get());
  const auto* table = reinterpret_cast<const RgbQuad*>(lock.get() + header->biSize);
  const int entries = static_cast<int>(ColorTableSize(*header) / 4);

  SelectGuard brush(dc, GetStockObject(WHITE_BRUSH));
  PaletteGuard palette(dc, ChooserPalette);
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  for (int entry = 0; entry < grid.n * grid.n; ++entry) {
    RECT cell = CellRect(grid, entry);
    if (entry < entries) {
      const RgbQuad& c = table[entry];
      if (entry == SelectedIndex) {
        SelectedColor[0] = c.rgbRed;
        SelectedColor[1] = c.rgbGreen;
        SelectedColor[2] = c.rgbBlue;
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

// Moves the selection to the cell under (x, y); the repaint of the new cell sets SelectedColor.
// Points outside the cells and cells beyond the colour table select nothing.
void SelectAt(HWND control, unsigned x, unsigned y) {
  const ColorGrid grid = GridOf(control);
  const int entry = GridHitTest(grid, x, y);
  if (entry < 0 || entry == SelectedIndex) return;
  {
    BlockLock lock(ChooserImage);
    if (!lock) return;
    const auto* header = reinterpret_cast<const BitmapInfoHeader*>(lock.get());
    if (entry >= static_cast<int>(ColorTableSize(*header) / 4)) return;
  }
  if (SelectedIndex >= 0 && SelectedIndex < grid.n * grid.n) {
    const RECT old = CellRect(grid, SelectedIndex);
    InvalidateRect(control, &old, FALSE);
  }
  SelectedIndex = entry;
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

int ImageDepth(HGLOBAL dib) {
  if (!dib) return 24;
  BlockLock lock(dib);
  return lock ? reinterpret_cast<const BitmapInfoHeader*>(lock.get())->biBitCount : 0;
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
  SelectedIndex = *index;
  SelectedColor[0] = *red;
  SelectedColor[1] = *green;
  SelectedColor[2] = *blue;
  ChooserImage = dib;
  ChooserPalette = palette;
  ChooserDepth = ImageDepth(dib);

  INT_PTR result = 0;
  switch (ChooserDepth) {
    case 1:
      SelectedIndex = *index == 0 ? 1 : 0;
      SelectedColor[0] = SelectedColor[1] = SelectedColor[2] =
          static_cast<BYTE>(255 * SelectedIndex);
      result = 1;
      break;
    case 4:
    case 8:
      result = DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_COLOR_CHOOSER), owner,
                               COL_ChooseColorProc, 0);
      if (result < 0) result = 0;  // the dialog could not be created: nothing was chosen
      break;
    case 24:
    case 32:
      return RunSystemColorDialog(owner, index, red, green, blue);
    default:
      return 0;
  }
  if (result) {
    *red = SelectedColor[0];
    *green = SelectedColor[1];
    *blue = SelectedColor[2];
    *index = SelectedIndex;
  }
  return result != 0;
}

INT_PTR CALLBACK COL_ChooseColorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(dialog, GWLP_USERDATA, IDD_COLOR_CHOOSER);
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
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      PaintGrid(window, dc);
      EndPaint(window, &ps);
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
