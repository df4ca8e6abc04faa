// The Mask Image dialog: the seventeen shapes in a sorted list with a live preview, the mask
// colour, Invert and the two alpha options. It edits MaskSettings and MaskColor in place, so
// choices made before Cancel stay.
#include "mask/mask_dialog.h"

#include <string>

#include "controls/colors.h"
#include "mask/mask.h"
#include "plugin/dialog.h"
#include "plugin/dialog_controls.h"
#include "plugin/host_api.h"
#include "plugin/plugin.h"
#include "plugin/settings.h"
#include "resources/ids.h"

namespace {

constexpr char kShapeResourceType[] = "MASK";
constexpr char kTempPrefix[] = "wqt32";  // the system keeps the first three characters
constexpr UINT kFirstShape = 100;

MaskCommandState& StateOf(HWND dialog) { return *DialogState<MaskCommandState>(dialog); }

// The shape names are the texts 100, 101, ... for as long as there is one. The list sorts them,
// so each id goes to the position the list reports for its name, not to the last position.
void FillShapeList(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_MASK_LIST);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  for (UINT id = kFirstShape;; ++id) {
    const std::string name = LoadText(id);
    if (name.empty()) break;
    const LRESULT position =
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    if (position >= 0) SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(position), id);
  }
}

// Writes the shape's bytes into a new temporary file and opens that as a metafile; null when any
// step fails. The file's path is remembered in `path` as soon as the file exists.
HMETAFILE ReadShape(UINT id, char (&path)[MAX_PATH]) {
  HRSRC found = FindResourceA(ModuleInstance, MAKEINTRESOURCEA(id), kShapeResourceType);
  const DWORD size = found ? SizeofResource(ModuleInstance, found) : 0;
  HGLOBAL loaded = size ? LoadResource(ModuleInstance, found) : nullptr;
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes) return nullptr;

  char folder[256];
  const DWORD folderLength = GetTempPathA(sizeof folder, folder);
  if (folderLength == 0 || folderLength >= sizeof folder) return nullptr;
  if (!GetTempFileNameA(folder, kTempPrefix, 0, path)) {
    path[0] = '\0';
    return nullptr;
  }
  HANDLE file =
      CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  DWORD written = 0;
  const bool complete = WriteFile(file, bytes, size, &written, nullptr) && written == size;
  CloseHandle(file);
  return complete ? GetMetaFileA(path) : nullptr;
}

// The preview: white with a one-pixel black frame, and the shape stretched over the box the way
// the mask stretches it over the image. With no shape loaded it stays empty, so that it always
// shows what OK applies.
void PaintPreview(HDC dc, const RECT& box, HMETAFILE metafile) {
  FillRect(dc, &box, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  FrameRect(dc, &box, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  if (!metafile) return;
  const SavedDC saved(dc);
  SetMapMode(dc, MM_ANISOTROPIC);
  SetViewportOrgEx(dc, box.left, box.top, nullptr);
  SetViewportExtEx(dc, box.right - box.left - 1, box.bottom - box.top - 1, nullptr);
  PlayMetaFile(dc, metafile);
}

void OnSelectionChange(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_MASK_LIST);
  const LRESULT position = SendMessageA(list, LB_GETCURSEL, 0, 0);
  if (position < 0) return;
  MaskSettings.selected = static_cast<uint16_t>(position);
  const LRESULT id = SendMessageA(list, LB_GETITEMDATA, static_cast<WPARAM>(position), 0);
  MAS_LoadShape(dialog, static_cast<UINT>(id));
}

// Selecting by message sends no notification, so the selection is handled here. A remembered
// position the list does not have (a damaged store) selects the first shape instead, and that
// becomes the remembered one.
void SelectRememberedShape(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_MASK_LIST);
  if (MaskSettings.selected >= SendMessageA(list, LB_GETCOUNT, 0, 0)) MaskSettings.selected = 0;
  SendMessageA(list, LB_SETCURSEL, MaskSettings.selected, 0);
  OnSelectionChange(dialog);
}

void ShowMaskColor(HWND dialog) {
  SetSwatchColor(GetDlgItem(dialog, IDC_MASK_SWATCH), MaskColor.red, MaskColor.green,
                 MaskColor.blue);
}

BOOL OnInitDialog(HWND dialog, MaskCommandState& state) {
  AttachDialogState(dialog, IDD_MASK_IMAGE, &state);
  FillShapeList(dialog);
  SelectRememberedShape(dialog);
  TakeTableColor(*state.image, MaskColor.index, MaskColor.red, MaskColor.green, MaskColor.blue);
  ShowMaskColor(dialog);
  ShowMark(dialog, IDC_MASK_INVERT, MaskSettings.invert != 0);
  ShowTrueColorOptions(dialog, IDC_MASK_ALPHA, IDC_MASK_COLOR_CHANNELS, state.image->is32Bit(),
                       MaskSettings.alphaMask, MaskSettings.alphaColor);
  return TRUE;
}

void OnMaskColor(HWND dialog) {
  const MaskCommandState& state = StateOf(dialog);
  LONG index = MaskColor.index;
  BYTE red = MaskColor.red, green = MaskColor.green, blue = MaskColor.blue;
  if (!COL_ChooseColor(dialog, state.image->image, state.palette, &index, &red, &green, &blue))
    return;
  MAS_SetMaskColor(index, red, green, blue);
  ShowMaskColor(dialog);
}

BOOL OnDrawItem(HWND dialog, const DRAWITEMSTRUCT& item) {
  const MaskCommandState* state = DialogState<MaskCommandState>(dialog);
  if (item.CtlID != IDC_MASK_PREVIEW || !state) return FALSE;
  PaintPreview(item.hDC, item.rcItem, state->metafile);
  return TRUE;
}

// Deletes the state's metafile and removes the remembered temporary file if it still exists.
void ReleaseShape(MaskCommandState& state) {
  state.metafile.reset();
  // The file is removed whenever one is remembered, whether or not its metafile ever opened.
  if (state.tempPath[0] && GetFileAttributesA(state.tempPath) != INVALID_FILE_ATTRIBUTES)
    FileDelete(state.tempPath);
  state.tempPath[0] = '\0';
}

}  // namespace

MaskCommandState::~MaskCommandState() { ReleaseShape(*this); }

void MAS_LoadShape(HWND dialog, UINT resourceId) {
  MaskCommandState& state = StateOf(dialog);
  ReleaseShape(state);
  state.metafile.reset(ReadShape(resourceId, state.tempPath));
  HWND preview = GetDlgItem(dialog, IDC_MASK_PREVIEW);
  InvalidateRect(preview, nullptr, FALSE);
  UpdateWindow(preview);
}

BOOL MAS_OnCommand(HWND dialog, WPARAM wParam, LPARAM) {
  const int id = LOWORD(wParam), code = HIWORD(wParam);
  switch (id) {
    case IDOK:
    case IDCANCEL:
      EndDialog(dialog, id == IDOK ? 1 : 0);
      return TRUE;
    case IDC_MASK_LIST:
      if (code == LBN_SELCHANGE) OnSelectionChange(dialog);
      return TRUE;
    case IDC_MASK_COLOR:
      if (code == BN_CLICKED) OnMaskColor(dialog);
      return TRUE;
    case IDC_MASK_INVERT:
      if (code == BN_CLICKED) ToggleMark(dialog, id, MaskSettings.invert);
      return TRUE;
    case IDC_MASK_ALPHA:
      if (code == BN_CLICKED) ToggleMark(dialog, id, MaskSettings.alphaMask);
      return TRUE;
    case IDC_MASK_COLOR_CHANNELS:
      if (code == BN_CLICKED) ToggleMark(dialog, id, MaskSettings.alphaColor);
      return TRUE;
    default:
      return FALSE;
  }
}

extern "C" INT_PTR CALLBACK MAS_MaskProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(dialog, *reinterpret_cast<MaskCommandState*>(lParam));
    case WM_COMMAND:
      return MAS_OnCommand(dialog, wParam, lParam);
    case WM_DRAWITEM:
      return OnDrawItem(dialog, *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    default:
      return FALSE;
  }
}
