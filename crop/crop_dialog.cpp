// The Crop dialog (IDD_CROP): margins typed into fields or dragged over the preview, kept width
// and height, fitted or real-size display with scroll bars. The procedure only dispatches; the
// rules are those of crop/crop_marks.h.
#include <climits>

#include "crop/crop_dialog.h"
#include "plugin/dialog.h"
#include "plugin/dialog_controls.h"
#include "plugin/host_api.h"
#include "plugin/plugin.h"
#include "resources/ids.h"
#include "resources/text_ids.h"

namespace {

static_assert(kLineBack == SB_LINEUP && kLineForward == SB_LINEDOWN && kPageBack == SB_PAGEUP &&
              kPageForward == SB_PAGEDOWN && kThumbPosition == SB_THUMBPOSITION &&
              kThumbTrack == SB_THUMBTRACK);

HWND Preview(HWND dialog) { return GetDlgItem(dialog, IDC_CROP_PREVIEW); }

// A field's value as an unsigned number: its leading digits, 0 when it starts with anything else;
// past 32 bits it saturates, which is larger than any image.
uint32_t FieldValue(HWND dialog, int id) {
  return static_cast<uint32_t>(ReadField(dialog, id, false).value);
}

void WriteMargins(HWND dialog, const CropMargins& m) {
  WriteField(dialog, IDC_CROP_TOP, m.top);
  WriteField(dialog, IDC_CROP_BOTTOM, m.bottom);
  WriteField(dialog, IDC_CROP_LEFT, m.left);
  WriteField(dialog, IDC_CROP_RIGHT, m.right);
}

void WriteKeptWidth(HWND dialog, const CropSettings& crop) {
  WriteField(dialog, IDC_CROP_WIDTH,
             KeptSize(crop.imageWidth, crop.margins.left, crop.margins.right));
}

void WriteKeptHeight(HWND dialog, const CropSettings& crop) {
  WriteField(dialog, IDC_CROP_HEIGHT,
             KeptSize(crop.imageHeight, crop.margins.top, crop.margins.bottom));
}

void ShowBars(HWND dialog, bool horizontal, bool vertical) {
  ShowScrollBar(GetDlgItem(dialog, IDC_CROP_HSCROLL), SB_CTL, horizontal);
  ShowScrollBar(GetDlgItem(dialog, IDC_CROP_VSCROLL), SB_CTL, vertical);
}

void Repaint(HWND preview) {
  InvalidateRect(preview, nullptr, TRUE);
  UpdateWindow(preview);
}

BOOL OnInitDialog(HWND dialog, CropSettings& crop) {
  AttachDialogState(dialog, IDD_CROP, &crop);
  crop.cursor = LoadCursorA(nullptr, IDC_ARROW);
  crop.margins = {};
  {
    UpdateScope writing(crop.updating);
    WriteMargins(dialog, crop.margins);
    WriteField(dialog, IDC_CROP_WIDTH, crop.imageWidth);
    WriteField(dialog, IDC_CROP_HEIGHT, crop.imageHeight);
  }
  CheckRadioButton(dialog, IDC_CROP_FIT, IDC_CROP_REAL_SIZE, IDC_CROP_FIT);
  crop.displayMode = IDC_CROP_FIT;
  ShowBars(dialog, false, false);

  const PreviewGeometry g = CRP_Geometry(Preview(dialog), crop);
  if (FitsInterior(g)) {
    ShowWindow(GetDlgItem(dialog, IDC_CROP_FIT), SW_HIDE);
    CheckRadioButton(dialog, IDC_CROP_FIT, IDC_CROP_REAL_SIZE, IDC_CROP_REAL_SIZE);
    crop.displayMode = IDC_CROP_REAL_SIZE;
    return TRUE;
  }
  // The fitted image fills the whole interior, whatever the image's proportions.
  crop.fitted =
      OwnedBlock(DibResize(crop.image, g.clientWidth - 2 * kFrame, g.clientHeight - 2 * kFrame));
  if (!crop.fitted) {
    HP_ShowMessage(IDS_CROP_NO_MEMORY);
    EndDialog(dialog, 0);
    return TRUE;
  }
  const int ranges[2] = {ScrollRange(g.imageWidth, g.clientWidth),
                         ScrollRange(g.imageHeight, g.clientHeight)};
  const int bars[2] = {IDC_CROP_HSCROLL, IDC_CROP_VSCROLL};
  for (int i = 0; i < 2; ++i) {
    if (ranges[i] == 0) continue;
    SetScrollRange(GetDlgItem(dialog, bars[i]), SB_CTL, 0, ranges[i], FALSE);
    SetScrollPos(GetDlgItem(dialog, bars[i]), SB_CTL, 0, FALSE);
  }
  return TRUE;
}

void OnScroll(HWND dialog, const CropSettings& crop, WPARAM wParam, HWND bar) {
  const int id = GetDlgCtrlID(bar);
  if (id != IDC_CROP_HSCROLL && id != IDC_CROP_VSCROLL) return;
  const bool horizontal = id == IDC_CROP_HSCROLL;
  const HWND preview = Preview(dialog);
  const PreviewGeometry g = CRP_Geometry(preview, crop);
  int low = 0, high = 0;
  GetScrollRange(bar, SB_CTL, &low, &high);
  const int old = GetScrollPos(bar, SB_CTL);
  const int now = ScrollTo(LOWORD(wParam), old, horizontal ? g.clientWidth : g.clientHeight,
                           HIWORD(wParam), high);
  if (now == old) return;
  RECT interior = {kFrame, kFrame, g.clientWidth - kFrame, g.clientHeight - kFrame};
  ScrollWindow(preview, horizontal ? old - now : 0, horizontal ? 0 : old - now, &interior,
               &interior);
  SetScrollPos(bar, SB_CTL, now, TRUE);
  // The strip scrolled in is painted now, so that the recorded marks match the screen before the
  // next change erases them.
  UpdateWindow(preview);
}

// Width and Height: the margins of that direction keep the typed size centred.
void OnKeptSize(HWND dialog, CropSettings& crop, int id) {
  const bool width = id == IDC_CROP_WIDTH;
  const MarginSplit split =
      SplitKeptSize(width ? crop.imageWidth : crop.imageHeight, FieldValue(dialog, id));
  // Only the two margins of that direction are written: the other two keep what was typed there.
  if (width) {
    crop.margins.right = split.half;
    crop.margins.left = split.halfAndOdd;
    WriteField(dialog, IDC_CROP_LEFT, split.halfAndOdd);
    WriteField(dialog, IDC_CROP_RIGHT, split.half);
  } else {
    crop.margins.top = split.half;
    crop.margins.bottom = split.halfAndOdd;
    WriteField(dialog, IDC_CROP_TOP, split.half);
    WriteField(dialog, IDC_CROP_BOTTOM, split.halfAndOdd);
  }
}

// Top, Bottom, Left and Right: the typed margin against the opposite one.
void OnMargin(HWND dialog, CropSettings& crop, int id) {
  CropMargins& m = crop.margins;
  const bool vertical = id == IDC_CROP_TOP || id == IDC_CROP_BOTTOM;
  uint32_t& margin = id == IDC_CROP_TOP      ? m.top
                     : id == IDC_CROP_BOTTOM ? m.bottom
                     : id == IDC_CROP_LEFT   ? m.left
                                             : m.right;
  const uint32_t opposite = id == IDC_CROP_TOP      ? m.bottom
                            : id == IDC_CROP_BOTTOM ? m.top
                            : id == IDC_CROP_LEFT   ? m.right
                                                    : m.left;
  const MarginEdit edit =
      EditMargin(vertical ? crop.imageHeight : crop.imageWidth, FieldValue(dialog, id), opposite);
  margin = edit.margin;
  if (edit.cutBack) {
    WriteField(dialog, id, edit.margin);
    // The user is typing here: the caret goes behind the value written back.
    const int length = GetWindowTextLengthA(GetDlgItem(dialog, id));
    SendDlgItemMessageA(dialog, id, EM_SETSEL, static_cast<WPARAM>(length), length);
  }
  WriteField(dialog, vertical ? IDC_CROP_HEIGHT : IDC_CROP_WIDTH, edit.kept);
}

void OnReset(HWND dialog, CropSettings& crop) {
  CRP_ToggleMarks(Preview(dialog), crop);
  crop.margins = {};
  WriteMargins(dialog, crop.margins);
  WriteField(dialog, IDC_CROP_WIDTH, crop.imageWidth);
  WriteField(dialog, IDC_CROP_HEIGHT, crop.imageHeight);
  CRP_ToggleMarks(Preview(dialog), crop);
}

void OnDisplayMode(HWND dialog, CropSettings& crop, int mode) {
  const PreviewGeometry g = CRP_Geometry(Preview(dialog), crop);
  // A bar is shown whenever there is anything to scroll, so that an image one pixel wider than
  // the interior can still show its last column.
  if (mode == IDC_CROP_REAL_SIZE)
    ShowBars(dialog, ScrollRange(g.imageWidth, g.clientWidth) > 0,
             ScrollRange(g.imageHeight, g.clientHeight) > 0);
  else
    ShowBars(dialog, false, false);
  CheckRadioButton(dialog, IDC_CROP_FIT, IDC_CROP_REAL_SIZE, mode);
  crop.displayMode = static_cast<uint16_t>(mode);
  Repaint(Preview(dialog));
}

void CRP_HitTest(CropSettings& crop) {
  crop.hitZone = HitTest(crop.marks, crop.mouseX, crop.mouseY);
  LPCSTR shape = IDC_ARROW;
  switch (crop.hitZone) {
    case kZoneTop:
    case kZoneBottom:
      shape = IDC_SIZENS;
      break;
    case kZoneLeft:
    case kZoneRight:
      shape = IDC_SIZEWE;
      break;
    case kZoneTopLeft:
    case kZoneTopRight:
    case kZoneBottomLeft:
    case kZoneBottomRight:
      shape = IDC_SIZEALL;
      break;
    default:
      break;
  }
  crop.cursor = crop.hitZone == kZoneInside && !NoMargins(crop.margins)
                    ? LoadCursorA(ModuleInstance, MAKEINTRESOURCEA(IDC_CROP_HAND))
                    : LoadCursorA(nullptr, shape);
  SetCursor(crop.cursor);
}

// One move of a drag: the marks erased, the margins moved, the fields written, the marks drawn.
Point32 CRP_DragStep(HWND dialog, CropSettings& crop, HitZone zone, const DragLimits& limits,
                     Point32 client, Point32 previous) {
  const HWND preview = Preview(dialog);
  CRP_ToggleMarks(preview, crop);
  const Point32 point = CRP_ClientToImage(preview, crop, client);
  const Point32 reached =
      DragStep(zone, limits, point, previous, crop.margins, crop.imageWidth, crop.imageHeight);
  const CropMargins& m = crop.margins;
  switch (zone) {
    case kZoneTop:
      WriteField(dialog, IDC_CROP_TOP, m.top);
      break;
    case kZoneBottom:
      WriteField(dialog, IDC_CROP_BOTTOM, m.bottom);
      break;
    case kZoneLeft:
      WriteField(dialog, IDC_CROP_LEFT, m.left);
      break;
    case kZoneRight:
      WriteField(dialog, IDC_CROP_RIGHT, m.right);
      break;
    case kZoneInside:
      WriteMargins(dialog, m);
      break;
    default:
      WriteField(dialog,
                 zone == kZoneTopLeft || zone == kZoneTopRight ? IDC_CROP_TOP : IDC_CROP_BOTTOM,
                 zone == kZoneTopLeft || zone == kZoneTopRight ? m.top : m.bottom);
      WriteField(dialog,
                 zone == kZoneTopLeft || zone == kZoneBottomLeft ? IDC_CROP_LEFT : IDC_CROP_RIGHT,
                 zone == kZoneTopLeft || zone == kZoneBottomLeft ? m.left : m.right);
      break;
  }
  if (zone != kZoneLeft && zone != kZoneRight && zone != kZoneInside) WriteKeptHeight(dialog, crop);
  if (zone != kZoneTop && zone != kZoneBottom && zone != kZoneInside) WriteKeptWidth(dialog, crop);
  CRP_ToggleMarks(preview, crop);
  return reached;
}

// A press on the preview: drags the mark under it until the button is released. Only the
// preview's mouse messages are taken meanwhile, and none is dispatched.
void CRP_DragMarks(HWND dialog, CropSettings& crop, HitZone zone, int x, int y) {
  if (zone == kZoneInside && NoMargins(crop.margins)) {
    DialogMessage(dialog, 0, IDS_CROP_DRAG_HINT);
    return;
  }
  if (zone == kZoneNone) return;
  const DragLimits limits = LimitsFor(zone, crop.margins, crop.imageWidth, crop.imageHeight);
  const HWND preview = Preview(dialog);
  SetCapture(preview);
  Point32 previous = CRP_ClientToImage(preview, crop, {x, y});
  // The loop also ends when the capture is taken away (another window, the system), as if the
  // button had been released, so that it can never wait for a release it will not see.
  while (GetCapture() == preview) {
    MSG msg;
    if (!PeekMessageA(&msg, preview, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
      // Nothing queued yet: sleep until input arrives rather than spin.
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_MOUSE);
      continue;
    }
    if (msg.message == WM_LBUTTONUP) break;
    if (msg.message != WM_MOUSEMOVE) continue;
    const Point32 client = {static_cast<int16_t>(LOWORD(msg.lParam)),
                            static_cast<int16_t>(HIWORD(msg.lParam))};
    previous = CRP_DragStep(dialog, crop, zone, limits, client, previous);
  }
  ReleaseCapture();
}

bool IsField(int id) {
  return id == IDC_CROP_TOP || id == IDC_CROP_BOTTOM || id == IDC_CROP_LEFT ||
         id == IDC_CROP_RIGHT || id == IDC_CROP_WIDTH || id == IDC_CROP_HEIGHT;
}

BOOL CRP_OnCommand(HWND dialog, CropSettings& crop, WPARAM wParam) {
  if (crop.updating) return FALSE;
  UpdateScope handling(crop.updating);
  const int id = LOWORD(wParam);
  const UINT code = HIWORD(wParam);
  // The preview's own notifications (0x200 and 0x201) share their values with edit
  // notifications, so the control decides first.
  switch (id) {
    case IDOK:
    case IDCANCEL:
      if (code == BN_CLICKED) EndDialog(dialog, id == IDOK);
      return TRUE;
    case IDC_CROP_PREVIEW:
      if (code == WM_MOUSEMOVE)
        CRP_HitTest(crop);
      else if (code == WM_LBUTTONDOWN)
        CRP_DragMarks(dialog, crop, static_cast<HitZone>(crop.hitZone), crop.mouseX, crop.mouseY);
      return TRUE;
    case IDC_CROP_RESET:
      if (code == BN_CLICKED) OnReset(dialog, crop);
      return TRUE;
    case IDC_CROP_FIT:
    case IDC_CROP_REAL_SIZE:
      if (code == BN_CLICKED) OnDisplayMode(dialog, crop, id);
      return TRUE;
    default:
      break;
  }
  if (!IsField(id)) return FALSE;
  if (code != EN_CHANGE) return TRUE;
  CRP_ToggleMarks(Preview(dialog), crop);
  if (id == IDC_CROP_WIDTH || id == IDC_CROP_HEIGHT)
    OnKeptSize(dialog, crop, id);
  else
    OnMargin(dialog, crop, id);
  CRP_ToggleMarks(Preview(dialog), crop);
  return TRUE;
}

}  // namespace

extern "C" INT_PTR CALLBACK CropProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG)
    return OnInitDialog(dialog, *reinterpret_cast<CropSettings*>(lParam));
  CropSettings* crop = DialogState<CropSettings>(dialog);
  if (!crop) return FALSE;  // messages before WM_INITDIALOG
  switch (message) {
    case WM_HSCROLL:
    case WM_VSCROLL:
      OnScroll(dialog, *crop, wParam, reinterpret_cast<HWND>(lParam));
      return TRUE;
    case WM_COMMAND:
      return CRP_OnCommand(dialog, *crop, wParam);
    case WM_DESTROY:
      crop->fitted = OwnedBlock();  // the dialog's alone: it goes with the dialog, however it ends
      return FALSE;
    default:
      return FALSE;
  }
}
