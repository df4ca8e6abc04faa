// The StatColorCtrl swatch: a black-framed rectangle in one colour, kept in its window's four
// extra bytes.
#include <windows.h>

#include "controls/colors.h"
#include "plugin/gdi.h"
#include "plugin/plugin.h"

namespace {

// The colour lives in a 32-bit window value (not pointer-sized): the class has 4 extra bytes in
// both builds, so it is read and written with the 32-bit Get/SetWindowLong.
constexpr int kColorOffset = 0;

}  // namespace

ATOM STA_RegisterStatColorCtrl() {
  WNDCLASSA wc = {};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = STA_StatColorCtrlProc;
  wc.cbWndExtra = 4;
  wc.hInstance = ModuleInstance;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = "StatColorCtrl";
  return RegisterPluginClass(wc);
}

void SetSwatchColor(HWND control, BYTE red, BYTE green, BYTE blue) {
  SetWindowLongA(control, kColorOffset, static_cast<LONG>(RGB(red, green, blue)));
  InvalidateRect(control, nullptr, TRUE);
}

extern "C" LRESULT CALLBACK STA_StatColorCtrlProc(HWND window, UINT message, WPARAM wParam,
                                                  LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
    case WM_COMMAND:
      return 0;
    case WM_LBUTTONDOWN:
      MessageBeep(0);
      return 0;
    case WM_PAINT: {
      PaintScope paint(window);
      RECT client;
      GetClientRect(window, &client);
      OwnedBrush brush(
          CreateSolidBrush(static_cast<COLORREF>(GetWindowLongA(window, kColorOffset))));
      FillRect(paint, &client, brush);
      FrameRect(paint, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      return 0;
    }
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}
