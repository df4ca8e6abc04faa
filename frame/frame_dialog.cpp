// The Frame/Caption dialog: sizes and margins kept in step, the style, the three colours suited
// to the image, the caption with its font, placement and flags, and a preview of the proportions.
// It edits the module's FrameSpec, FrameFlags and FrameSettings in place, so choices made before
// Cancel stay.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "controls/colors.h"
#include "dib/dib.h"
#include "frame/frame_dialog.h"
#include "frame/frame_fields.h"
#include "plugin/dialog.h"
#include "plugin/dialog_controls.h"
#include "plugin/gdi.h"
#include "plugin/plugin.h"
#include "plugin/settings.h"
#include "resources/ids.h"
#include "resources/text_ids.h"

static_assert(sizeof(FrameFont) == sizeof(LOGFONTA) &&
                  offsetof(FrameFont, lfFaceName) == offsetof(LOGFONTA, lfFaceName),
              "the caption font is handed to the font calls as a LOGFONTA");

namespace {

LOGFONTA* CaptionFont(FrameSpec& params) { return reinterpret_cast<LOGFONTA*>(&params.font); }

FrameColor& ChosenColor(FrameSpec& params) {
  switch (FrameSettings.colorChoice) {
    case 1:
      return params.outline;
    case 2:
      return params.text;
    default:
      return params.fill;
  }
}

void ShowSwatch(HWND dialog, FrameSpec& params) {
  const FrameColor& color = ChosenColor(params);
  SetSwatchColor(GetDlgItem(dialog, IDC_FRAME_SWATCH), color.red, color.green, color.blue);
}

void RepaintPreview(HWND dialog) {
  HWND preview = GetDlgItem(dialog, IDC_FRAME_PREVIEW);
  InvalidateRect(preview, nullptr, FALSE);
  UpdateWindow(preview);
}

void WriteDimensions(HWND dialog, FrameDialogState& state) {
  const UpdateScope scope(state.updating);
  WriteField(dialog, IDC_FRAME_WIDTH, uint32_t{state.width} + state.params->addWidth);
  WriteField(dialog, IDC_FRAME_HEIGHT, uint32_t{state.height} + state.params->addHeight);
}

void WriteMargins(HWND dialog, FrameDialogState& state) {
  const UpdateScope scope(state.updating);
  const FrameSpec& params = *state.params;
  WriteField(dialog, IDC_FRAME_TOP, params.top);
  WriteField(dialog, IDC_FRAME_BOTTOM, params.bottom);
  WriteField(dialog, IDC_FRAME_LEFT, params.left);
  WriteField(dialog, IDC_FRAME_RIGHT, params.right);
}

// Each of the three colours of a palette image is one of its entries.
void TakePaletteColors(FrameDialogState& state) {
  for (FrameColor* color : {&state.params->fill, &state.params->outline, &state.params->text}) {
    int32_t index = color->index;
    TakeTableColor(*state.facts, index, color->red, color->green, color->blue);
    color->index = static_cast<int16_t>(index);
  }
}

// The face and character set the caption starts with at every opening; a face picked with
// Style... before is replaced, its size and style stay.
void FRM_InitFont(FrameSpec& params) {
  const std::string face = LoadText(IDS_CAPTION_FONT_FACE);
  if (!face.empty())
    std::snprintf(params.font.lfFaceName, sizeof params.font.lfFaceName, "%s", face.c_str());
  const std::string text = LoadText(IDS_CAPTION_FONT_CHARSET);
  const struct {
    std::string_view name;
    uint8_t charSet;
  } sets[] = {{"ANSI", ANSI_CHARSET},
              {"SYMBOL", SYMBOL_CHARSET},
              {"SHIFTJIS", SHIFTJIS_CHARSET},
              {"OEM", OEM_CHARSET}};
  for (const auto& set : sets)
    if (set.name == text) params.font.lfCharSet = set.charSet;
}

// The Caption group's title: the bare name for an empty caption, else the name with the caption's
// size in pixels in the caption font. The padded name goes first, so that a longer earlier title
// is wiped from the screen.
void ShowCaptionTitle(HWND dialog, FrameSpec& params) {
  const std::string text = LoadText(IDS_FRAME_CAPTION_TITLE);
  const char* name = text.c_str();
  char title[kTextBufferSize + 32];
  char caption[kFrameCaptionMax + 1] = {};
  GetDlgItemTextA(dialog, IDC_FRAME_CAPTION, caption, sizeof caption);
  SIZE extent = {};
  bool measured = false;
  if (caption[0]) {
    OwnedFont font(CreateFontIndirectA(CaptionFont(params)));
    ScreenDC screen;
    if (font && screen) {
      SelectedObject selected(screen, font);
      measured = GetTextExtentPointA(screen, caption, static_cast<int>(std::strlen(caption)),
                                     &extent) != 0;
    }
  }
  std::snprintf(title, sizeof title, "%s                    ", name);
  SetDlgItemTextA(dialog, IDC_FRAME_CAPTION_GROUP, title);
  if (measured)
    std::snprintf(title, sizeof title, "%s (%d, %d)", name, static_cast<int>(extent.cx),
                  static_cast<int>(extent.cy));
  else
    std::snprintf(title, sizeof title, "%s", name);
  SetDlgItemTextA(dialog, IDC_FRAME_CAPTION_GROUP, title);
}

void ShowFlags(HWND dialog, const FrameDialogState& state) {
  ShowMark(dialog, IDC_FRAME_INVERT, state.flags->invert != 0);
  ShowTrueColorOptions(dialog, IDC_FRAME_ALPHA, IDC_FRAME_COLOR_CHANNELS, state.facts->is32Bit(),
                       state.flags->alpha, state.flags->color);
}

void HookPreview(HWND dialog, FrameDialogState& state) {
  state.previewProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(GetDlgItem(dialog, IDC_FRAME_PREVIEW), GWLP_WNDPROC,
                        reinterpret_cast<LONG_PTR>(FRM_StaticHookProc)));
}

void UnhookPreview(HWND dialog, FrameDialogState& state) {
  if (!state.previewProc) return;
  SetWindowLongPtrA(GetDlgItem(dialog, IDC_FRAME_PREVIEW), GWLP_WNDPROC,
                    reinterpret_cast<LONG_PTR>(state.previewProc));
  state.previewProc = nullptr;
}

BOOL OnInitDialog(HWND dialog, FrameDialogState& state) {
  AttachDialogState(dialog, IDD_FRAME, &state);
  state.width = static_cast<uint16_t>(state.facts->width);
  state.height = static_cast<uint16_t>(state.facts->height);
  HookPreview(dialog, state);
  // A damaged store may hold a style or colour choice the lists do not have: the first entry is
  // taken instead. The alignment is used as stored; the alignment dialog marks it by its rule.
  if (FrameSettings.style > kFrameOutline) FrameSettings.style = kFrameFilled;
  if (FrameSettings.colorChoice > 2) FrameSettings.colorChoice = 0;
  FillComboBox(dialog, IDC_FRAME_STYLE, {IDS_FRAME_STYLE_FILLED, IDS_FRAME_STYLE_OUTLINE},
               FrameSettings.style);
  WriteDimensions(dialog, state);
  FillComboBox(dialog, IDC_FRAME_COLORS,
               {IDS_FRAME_FILL_COLOR, IDS_FRAME_OUTLINE_COLOR, IDS_FRAME_TEXT_COLOR},
               FrameSettings.colorChoice);
  TakePaletteColors(state);
  ShowSwatch(dialog, *state.params);
  WriteMargins(dialog, state);
  FRM_InitFont(*state.params);
  ShowFlags(dialog, state);
  state.caption.clear();
  ShowCaptionTitle(dialog, *state.params);
  return TRUE;
}

// A new width or height splits the added pixels between its two margins.
void OnDimensionChanged(HWND dialog, FrameDialogState& state, FrameDirection direction) {
  const bool across = direction == FrameDirection::kAcross;
  const MarginSplit split = FRM_DimensionChanged(
      *state.params, state.width, state.height, direction,
      ReadField(dialog, across ? IDC_FRAME_WIDTH : IDC_FRAME_HEIGHT, false).value);
  {
    const UpdateScope scope(state.updating);
    WriteField(dialog, across ? IDC_FRAME_LEFT : IDC_FRAME_TOP, split.first);
    WriteField(dialog, across ? IDC_FRAME_RIGHT : IDC_FRAME_BOTTOM, split.second);
  }
  RepaintPreview(dialog);
}

// A new margin gives its direction's size: the image's plus both margins.
void OnMarginChanged(HWND dialog, FrameDialogState& state, FrameDirection direction) {
  const bool across = direction == FrameDirection::kAcross;
  const uint32_t size = FRM_MarginsChanged(
      *state.params, state.width, state.height, direction,
      ReadField(dialog, across ? IDC_FRAME_LEFT : IDC_FRAME_TOP, false).value,
      ReadField(dialog, across ? IDC_FRAME_RIGHT : IDC_FRAME_BOTTOM, false).value);
  {
    const UpdateScope scope(state.updating);
    WriteField(dialog, across ? IDC_FRAME_WIDTH : IDC_FRAME_HEIGHT, size);
  }
  RepaintPreview(dialog);
}

void OnFieldChanged(HWND dialog, FrameDialogState& state, int id) {
  if (state.updating) return;
  switch (id) {
    case IDC_FRAME_WIDTH:
      return OnDimensionChanged(dialog, state, FrameDirection::kAcross);
    case IDC_FRAME_HEIGHT:
      return OnDimensionChanged(dialog, state, FrameDirection::kDown);
    case IDC_FRAME_LEFT:
    case IDC_FRAME_RIGHT:
      return OnMarginChanged(dialog, state, FrameDirection::kAcross);
    default:
      return OnMarginChanged(dialog, state, FrameDirection::kDown);
  }
}

// An emptied field left behind shows 0. The write is not guarded, so it counts as typing and the
// other fields follow.
void OnFieldLeft(HWND dialog, int id) {
  if (GetWindowTextLengthA(GetDlgItem(dialog, id)) == 0) SetDlgItemTextA(dialog, id, "0");
}

// Every write is handled as typing, in this order, so that all margins end at 0.
void OnReset(HWND dialog, const FrameDialogState& state) {
  WriteField(dialog, IDC_FRAME_WIDTH, state.width);
  WriteField(dialog, IDC_FRAME_HEIGHT, state.height);
  for (int id : {IDC_FRAME_RIGHT, IDC_FRAME_LEFT, IDC_FRAME_TOP, IDC_FRAME_BOTTOM})
    WriteField(dialog, id, 0);
}

void OnColor(HWND dialog, FrameDialogState& state) {
  FrameColor& color = ChosenColor(*state.params);
  // The chooser writes a LONG, which is not int16_t's type: it gets a copy.
  LONG index = color.index;
  if (!COL_ChooseColor(dialog, state.image, state.palette, &index, &color.red, &color.green,
                       &color.blue))
    return;
  color.index = static_cast<int16_t>(index);
  ShowSwatch(dialog, *state.params);
  RepaintPreview(dialog);
}

// The system's font dialog writes into the font it is given while the user browses, even when it
// is then cancelled: it works on a copy, kept only when confirmed.
void OnFont(HWND dialog, FrameSpec& params) {
  LOGFONTA font = *CaptionFont(params);
  if (FRA_ChooseFont(dialog, &font)) *CaptionFont(params) = font;
  ShowCaptionTitle(dialog, params);
}

void OnOk(HWND dialog, FrameDialogState& state) {
  HWND edit = GetDlgItem(dialog, IDC_FRAME_CAPTION);
  const int length = GetWindowTextLengthA(edit);
  const FrameRefusal refusal =
      FRM_CheckOk(static_cast<size_t>(length), ReadField(dialog, IDC_FRAME_WIDTH, false).value,
                  ReadField(dialog, IDC_FRAME_HEIGHT, false).value, state.width, state.height);
  switch (refusal) {
    case FrameRefusal::kCaptionTooLong:
      return DialogMessage(dialog, IDC_FRAME_CAPTION, IDS_FRAME_CAPTION_TOO_LONG);
    case FrameRefusal::kWidthTooSmall:
      return DialogMessage(dialog, IDC_FRAME_WIDTH, IDS_FRAME_WIDTH_TOO_SMALL);
    case FrameRefusal::kHeightTooSmall:
      return DialogMessage(dialog, IDC_FRAME_HEIGHT, IDS_FRAME_HEIGHT_TOO_SMALL);
    case FrameRefusal::kWidthTooLarge:
      return DialogMessage(dialog, IDC_FRAME_WIDTH, IDS_IMAGE_TOO_LARGE);
    case FrameRefusal::kHeightTooLarge:
      return DialogMessage(dialog, IDC_FRAME_HEIGHT, IDS_IMAGE_TOO_LARGE);
    case FrameRefusal::kNone:
      break;
  }
  std::string caption(static_cast<size_t>(length) + 1, '\0');
  caption.resize(static_cast<size_t>(GetWindowTextA(edit, caption.data(), length + 1)));
  state.caption = caption;
  EndDialog(dialog, 1);
}

BOOL FRM_OnCommand(HWND dialog, WPARAM wParam, LPARAM) {
  FrameDialogState* state = DialogState<FrameDialogState>(dialog);
  if (!state) return FALSE;  // notifications of controls created before WM_INITDIALOG
  const int id = LOWORD(wParam);
  const UINT code = HIWORD(wParam);
  switch (id) {
    case IDOK:
      OnOk(dialog, *state);
      return TRUE;
    case IDCANCEL:
      EndDialog(dialog, 0);
      return TRUE;
    case IDC_FRAME_WIDTH:
    case IDC_FRAME_HEIGHT:
    case IDC_FRAME_TOP:
    case IDC_FRAME_BOTTOM:
    case IDC_FRAME_LEFT:
    case IDC_FRAME_RIGHT:
      if (code == EN_CHANGE) OnFieldChanged(dialog, *state, id);
      if (code == EN_KILLFOCUS) OnFieldLeft(dialog, id);
      return TRUE;
    case IDC_FRAME_RESET:
      if (code == BN_CLICKED) OnReset(dialog, *state);
      return TRUE;
    case IDC_FRAME_STYLE:
      // The preview shows no outline, so it stays as it is.
      if (code == CBN_SELCHANGE)
        FrameSettings.style = ComboSelection(dialog, id, FrameSettings.style);
      return TRUE;
    case IDC_FRAME_COLORS:
      if (code == CBN_SELCHANGE) {
        FrameSettings.colorChoice = ComboSelection(dialog, id, FrameSettings.colorChoice);
        ShowSwatch(dialog, *state->params);
      }
      return TRUE;
    case IDC_FRAME_COLOR_BUTTON:
      if (code == BN_CLICKED) OnColor(dialog, *state);
      return TRUE;
    case IDC_FRAME_INVERT:
      if (code == BN_CLICKED) ToggleMark(dialog, id, state->flags->invert);
      return TRUE;
    case IDC_FRAME_ALPHA:
      if (code == BN_CLICKED) ToggleMark(dialog, id, state->flags->alpha);
      return TRUE;
    case IDC_FRAME_COLOR_CHANNELS:
      if (code == BN_CLICKED) ToggleMark(dialog, id, state->flags->color);
      return TRUE;
    case IDC_FRAME_FONT:
      if (code == BN_CLICKED) OnFont(dialog, *state->params);
      return TRUE;
    case IDC_FRAME_ALIGN:
      if (code == BN_CLICKED) FRA_ChooseAlign(dialog, &FrameSettings.alignment);
      return TRUE;
    case IDC_FRAME_CAPTION:
      if (code == EN_CHANGE) ShowCaptionTitle(dialog, *state->params);
      return TRUE;
    default:
      return FALSE;
  }
}

// The proportions of the new image: white around a box of its shape, the fill colour over the
// whole box and the cross pattern where the image goes. No outline and no caption.
void FRM_PaintPreview(HWND window, HDC dc, const FrameDialogState& state) {
  RECT client;
  GetClientRect(window, &client);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  const FrameSpec& params = *state.params;
  const uint32_t newWidth = uint32_t{state.width} + params.addWidth;
  const uint32_t newHeight = uint32_t{state.height} + params.addHeight;
  if (newWidth == 0 || newHeight == 0) return;
  const PreviewBox box =
      FRM_FitPreview({client.left, client.top, client.right, client.bottom}, newWidth, newHeight);
  OwnedBrush fill(CreateSolidBrush(RGB(params.fill.red, params.fill.green, params.fill.blue)));
  OwnedBitmap pattern(LoadBitmapA(ModuleInstance, MAKEINTRESOURCEA(IDB_FRAME_PATTERN)));
  OwnedBrush place(pattern ? CreatePatternBrush(pattern) : nullptr);
  const SavedDC saved(dc);
  SetMapMode(dc, MM_ANISOTROPIC);
  SetWindowOrgEx(dc, 0, 0, nullptr);
  SetWindowExtEx(dc, static_cast<int>(newWidth), static_cast<int>(newHeight), nullptr);
  SetViewportOrgEx(dc, box.left, box.top, nullptr);
  SetViewportExtEx(dc, box.right - box.left, box.bottom - box.top, nullptr);
  // A one-bit pattern paints its clear bits in the text colour and its set bits in the background
  // colour.
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkColor(dc, RGB(255, 255, 255));
  const RECT all = {0, 0, static_cast<LONG>(newWidth), static_cast<LONG>(newHeight)};
  if (fill) FillRect(dc, &all, fill);
  const RECT image = {params.left, params.top, params.left + state.width,
                      params.top + state.height};
  if (place) FillRect(dc, &image, place);
}

}  // namespace

extern "C" LRESULT CALLBACK FRM_StaticHookProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
  const FrameDialogState* state = ParentDialogState<FrameDialogState>(window, IDD_FRAME);
  if (!state || !state->previewProc) return DefWindowProcA(window, message, wParam, lParam);
  if (message == WM_PAINT) {
    PaintScope paint(window);
    FRM_PaintPreview(window, paint, *state);
    return 0;
  }
  return CallWindowProcA(state->previewProc, window, message, wParam, lParam);
}

extern "C" INT_PTR CALLBACK FrameProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(dialog, *reinterpret_cast<FrameDialogState*>(lParam));
    case WM_COMMAND:
      return FRM_OnCommand(dialog, wParam, lParam);
    case WM_DESTROY:
      // The preview gets its own procedure back before it is destroyed, however the dialog ends.
      if (FrameDialogState* state = DialogState<FrameDialogState>(dialog))
        UnhookPreview(dialog, *state);
      return FALSE;
    default:
      return FALSE;
  }
}
