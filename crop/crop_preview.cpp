// CropClass: the Crop dialog's preview. It paints the image fitted or at real size inside a
// black one-pixel frame, draws the crop marks by inversion, and forwards mouse moves and presses
// to the dialog, which does the hit testing and the dragging.
#include "crop/crop_dialog.h"
#include "plugin/dialog.h"
#include "plugin/gdi.h"
#include "plugin/host_api.h"
#include "plugin/plugin.h"
#include "resources/ids.h"

namespace {

bool BarShown(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }

int BarPosition(HWND dialog, int id) {
  return BarShown(dialog, id) ? GetScrollPos(GetDlgItem(dialog, id), SB_CTL) : 0;
}

void CRP_DrawMarks(HWND preview, HDC dc, CropSettings& crop) {
  const PreviewGeometry g = CRP_Geometry(preview, crop);
  crop.marks = PlaceMarks(g, crop.margins);
  const MarkRects marks = MarkRectsFor(crop.marks, g.clientWidth, g.clientHeight);
  for (int i = 0; i < marks.count; ++i) {
    const MarkRect& r = marks.rects[i];
    PatBlt(dc, r.x, r.y, r.width, r.height, DSTINVERT);
  }
}

// Paints the preview: the image one pixel in, the marks, the black frame.
void CRP_PaintPreview(HWND preview, HDC dc, CropSettings& crop) {
  const PreviewGeometry g = CRP_Geometry(preview, crop);
  {
    SelectedPalette palette(dc, crop.palette);
    POINT origin = {};
    SetViewportOrgEx(dc, kFrame - g.hpos, kFrame - g.vpos, &origin);
    if (HGLOBAL shown = g.realSize ? crop.image : static_cast<HGLOBAL>(crop.fitted.get()))
      ZQ_PaintDib(dc, shown, crop.palette);
    SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
    CRP_DrawMarks(preview, dc, crop);
  }
  const RECT client = {0, 0, g.clientWidth, g.clientHeight};
  FrameRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

}  // namespace

PreviewGeometry CRP_Geometry(HWND preview, const CropSettings& crop) {
  RECT client = {};
  GetClientRect(preview, &client);
  PreviewGeometry g;
  g.imageWidth = crop.imageWidth;
  g.imageHeight = crop.imageHeight;
  g.clientWidth = client.right;
  g.clientHeight = client.bottom;
  g.realSize = crop.displayMode == IDC_CROP_REAL_SIZE;
  if (g.realSize) {
    const HWND dialog = GetParent(preview);
    g.hpos = BarPosition(dialog, IDC_CROP_HSCROLL);
    g.vpos = BarPosition(dialog, IDC_CROP_VSCROLL);
  }
  return g;
}

Point32 CRP_ClientToImage(HWND preview, const CropSettings& crop, Point32 client) {
  return ClientToImage(CRP_Geometry(preview, crop), client);
}

void CRP_ToggleMarks(HWND preview, CropSettings& crop) {
  ScreenDC dc(preview);
  if (!dc) return;
  RECT client = {};
  GetClientRect(preview, &client);
  ExcludeClipRect(dc, 0, 0, client.right, kFrame);
  ExcludeClipRect(dc, 0, client.bottom - kFrame, client.right, client.bottom);
  ExcludeClipRect(dc, 0, 0, kFrame, client.bottom);
  ExcludeClipRect(dc, client.right - kFrame, 0, client.right, client.bottom);
  CRP_DrawMarks(preview, dc, crop);
}

ATOM CRP_RegisterClass() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = CRP_ClassProc;
  wc.hInstance = ModuleInstance;
  // No class cursor: the preview sets the cursor of the mark under the mouse itself.
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_APPWORKSPACE + 1));
  wc.lpszClassName = "CropClass";
  return RegisterPluginClass(wc);
}

extern "C" LRESULT CALLBACK CRP_ClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // Outside a Crop dialog that has opened (before its WM_INITDIALOG, say) the control is plain.
  CropSettings* crop = ParentDialogState<CropSettings>(window, IDD_CROP);
  if (!crop) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case WM_PAINT: {
      PaintScope paint(window);
      CRP_PaintPreview(window, paint, *crop);
      return 0;
    }
    case WM_SETCURSOR:
      if (crop->cursor) SetCursor(crop->cursor);
      return 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
      crop->mouseX = LOWORD(lParam);
      crop->mouseY = HIWORD(lParam);
      SendMessageA(GetParent(window), WM_COMMAND,
                   MAKEWPARAM(GetDlgCtrlID(window), static_cast<WORD>(message)),
                   reinterpret_cast<LPARAM>(window));
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}
