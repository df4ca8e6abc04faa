// The Scale Image dialog: the new size in pixels, percent, inches or centimetres at the screen's,
// the printer's or a custom resolution, the aspect, the quality. It edits its ScaleState and the
// stored settings in place; the arithmetic is scale/scale_units.h, so the handlers only read and
// write controls.
#include <algorithm>
#include <cstdio>
#include <string>

#include "plugin/dialog.h"
#include "plugin/dialog_controls.h"
#include "plugin/gdi.h"
#include "plugin/plugin.h"
#include "resources/ids.h"
#include "resources/text_ids.h"
#include "scale/scale_command.h"

namespace {

// Labels by ScaleUnits, measure names by ScaleMeasure.
constexpr UINT kUnitLabels[kScaleUnitsCount] = {IDS_UNITS_PIXELS, IDS_UNIT_LABEL_PERCENT,
                                                IDS_UNIT_LABEL_INCHES, IDS_UNIT_LABEL_CENTIMETERS};
constexpr UINT kMeasureNames[kScaleMeasureCount] = {IDS_MEASURE_SCREEN, IDS_MEASURE_PRINTER,
                                                    IDS_MEASURE_CUSTOM};

ScaleDpi MeasureDpi(const ScaleState& state, uint16_t measure) {
  switch (measure) {
    case kScaleMeasurePrinter:
      return {kPrinterDpi, kPrinterDpi};
    case kScaleMeasureCustom:
      return {state.settings.CustomResX, state.settings.CustomResY};
    default:
      return state.ScreenRes;
  }
}

// "Screen (96, 96)": a measure with its resolution as it is now.
std::string MeasureEntry(const ScaleState& state, uint16_t measure) {
  const ScaleDpi dpi = MeasureDpi(state, measure);
  char text[kTextBufferSize];
  std::snprintf(text, sizeof text, "%s (%u, %u)", LoadText(kMeasureNames[measure]).c_str(), dpi.x,
                dpi.y);
  return text;
}

// A custom resolution as typed; anything that is not a number is 0.
uint32_t ResolutionField(HWND dialog, int id) {
  return static_cast<uint32_t>(ReadField(dialog, id, false).value);
}

// The Custom entry of the wide list names the custom resolution as it is now.
void RebuildCustomEntry(HWND dialog, const ScaleState& state) {
  SendDlgItemMessageA(dialog, IDC_SCALE_MEASURE, CB_DELETESTRING, kScaleMeasureCustom, 0);
  AddComboText(dialog, IDC_SCALE_MEASURE, MeasureEntry(state, kScaleMeasureCustom));
}

// Writes both size fields (or only field `only`) and their unit labels from the state.
void Refresh(HWND dialog, ScaleState& state, int only = 0) {
  ScaleSettingsGroup& s = state.settings;
  const std::string label = LoadText(kUnitLabels[s.ScaleUnits]);
  SetDlgItemTextA(dialog, IDC_SCALE_WIDTH_UNIT, label.c_str());
  SetDlgItemTextA(dialog, IDC_SCALE_HEIGHT_UNIT, label.c_str());
  const ScaleFieldTexts texts = SCL_FieldTexts(
      state.sizes, s.ScaleUnits, MeasureDpi(state, s.ScaleMeasure), state.SettingsMode);
  if (s.ScaleUnits == kScaleUnitsPercentage) {
    s.PercentWidth = texts.percentWidth;
    s.PercentHeight = texts.percentHeight;
  }
  const UpdateScope update(state.updating);
  if (only != IDC_SCALE_HEIGHT) SetDlgItemTextA(dialog, IDC_SCALE_WIDTH, texts.width.c_str());
  if (only != IDC_SCALE_WIDTH) SetDlgItemTextA(dialog, IDC_SCALE_HEIGHT, texts.height.c_str());
}

// Shows the wide measure list, or for Custom the narrow one with the two resolution fields in its
// place, and keeps both lists on ScaleMeasure (the one that notified `id` already is).
void SCL_ShowMeasure(HWND dialog, const ScaleState& state, int id) {
  const uint16_t measure = state.settings.ScaleMeasure;
  const bool custom = measure == kScaleMeasureCustom;
  const HWND wide = GetDlgItem(dialog, IDC_SCALE_MEASURE);
  const HWND narrow = GetDlgItem(dialog, IDC_SCALE_MEASURE_NAME);
  for (int control : {IDC_SCALE_MEASURE_NAME, IDC_SCALE_RES_X, IDC_SCALE_RES_Y})
    if (custom) ShowWindow(GetDlgItem(dialog, control), SW_SHOW);
  if (!custom) ShowWindow(wide, SW_SHOW);
  // The keyboard stays on the measure when the list it used goes away.
  if (GetFocus() == (custom ? wide : narrow)) SetFocus(custom ? narrow : wide);
  for (int control : {IDC_SCALE_MEASURE_NAME, IDC_SCALE_RES_X, IDC_SCALE_RES_Y})
    if (!custom) ShowWindow(GetDlgItem(dialog, control), SW_HIDE);
  if (custom) ShowWindow(wide, SW_HIDE);
  if (id == 0 || id == IDC_SCALE_MEASURE_NAME) SelectComboEntry(dialog, IDC_SCALE_MEASURE, measure);
  if (id == 0 || id == IDC_SCALE_MEASURE) SelectComboEntry(dialog, IDC_SCALE_MEASURE_NAME, measure);
}

BOOL OnInitDialog(HWND dialog, ScaleState& state) {
  const ScaleSettingsGroup& s = state.settings;
  AttachDialogState(dialog, IDD_SCALE, &state);
  ShowMark(dialog, IDC_SCALE_KEEP_ASPECT, s.KeepAspect != 0);
  {
    ScreenDC screen;
    state.ScreenRes = {static_cast<uint32_t>(GetDeviceCaps(screen, LOGPIXELSX)),
                       static_cast<uint32_t>(GetDeviceCaps(screen, LOGPIXELSY))};
  }
  for (uint16_t measure = 0; measure < kScaleMeasureCount; ++measure) {
    AddComboText(dialog, IDC_SCALE_MEASURE, MeasureEntry(state, measure));
    AddComboText(dialog, IDC_SCALE_MEASURE_NAME, LoadText(kMeasureNames[measure]));
  }
  {
    const UpdateScope update(state.updating);
    WriteField(dialog, IDC_SCALE_RES_X, s.CustomResX);
    WriteField(dialog, IDC_SCALE_RES_Y, s.CustomResY);
  }
  FillComboBox(dialog, IDC_SCALE_UNITS,
               {IDS_UNITS_PIXELS, IDS_UNITS_PERCENTAGE, IDS_UNITS_INCHES, IDS_UNITS_CENTIMETERS},
               s.ScaleUnits);
  FillComboBox(dialog, IDC_SCALE_QUALITY, {IDS_QUALITY_LOW, IDS_QUALITY_HIGH}, s.ScaleQuality);
  SCL_ShowMeasure(dialog, state, 0);
  Refresh(dialog, state);
  return TRUE;
}

// OK refused leaves the dialog open and answers FALSE.
BOOL OnOk(HWND dialog, ScaleState& state) {
  const ScaleSizes& sizes = state.sizes;
  if (sizes.WorkWidth == 0 || sizes.WorkHeight == 0) {
    DialogMessage(dialog, sizes.WorkWidth == 0 ? IDC_SCALE_WIDTH : IDC_SCALE_HEIGHT,
                  IDS_SCALE_ZERO_ENTERED, 0, 0);
    return FALSE;
  }
  ScaleSettingsGroup& s = state.settings;
  s.ScaleQuality = ComboSelection(dialog, IDC_SCALE_QUALITY, s.ScaleQuality) == 1;
  // Enter in a resolution field holding 0 comes here without the field losing the focus first:
  // the 0 is committed as 1, as leaving the field would make it.
  s.CustomResX = std::max<uint32_t>(ResolutionField(dialog, IDC_SCALE_RES_X), 1);
  s.CustomResY = std::max<uint32_t>(ResolutionField(dialog, IDC_SCALE_RES_Y), 1);
  s.CustomWidth = SCL_StoredSide(sizes.WorkWidth);
  s.CustomHeight = SCL_StoredSide(sizes.WorkHeight);
  EndDialog(dialog, 1);
  return TRUE;
}

// A keystroke in a size field sets the pixels behind it, and with the aspect kept the other side
// follows. Only the other field is rewritten: the one being typed in keeps the user's text exactly
// (rewriting it under the caret turned "50" into 500 and "2.54" into 0.542). It shows the value as
// formatted once the focus leaves it or another control refreshes both.
void OnSizeTyped(HWND dialog, ScaleState& state, int id) {
  ScaleSettingsGroup& s = state.settings;
  const bool width = id == IDC_SCALE_WIDTH;
  const ScaleDpi dpi = MeasureDpi(state, s.ScaleMeasure);
  ScaleSizes& sizes = state.sizes;
  uint32_t& work = width ? sizes.WorkWidth : sizes.WorkHeight;
  const uint32_t base = width ? sizes.OrigWidth : sizes.OrigHeight;
  char text[256] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  work = SCL_SideFromText(text, s.ScaleUnits, base, width ? dpi.x : dpi.y);
  // The settings dialog saves the percentage, also when no refresh follows.
  if (s.ScaleUnits == kScaleUnitsPercentage)
    (width ? s.PercentWidth : s.PercentHeight) = static_cast<uint16_t>(SCL_PercentOf(work, base));
  if (!s.KeepAspect) return;
  SCL_FollowAspect(sizes, width);
  Refresh(dialog, state, width ? IDC_SCALE_HEIGHT : IDC_SCALE_WIDTH);
}

void OnKeepAspect(HWND dialog, ScaleState& state) {
  ToggleMark(dialog, IDC_SCALE_KEEP_ASPECT, state.settings.KeepAspect);
  SCL_AspectToggled(state.sizes, state.SettingsMode, state.settings.ScaleUnits);
  Refresh(dialog, state);
}

void OnMeasure(HWND dialog, ScaleState& state, int id) {
  uint16_t& measure = state.settings.ScaleMeasure;
  const uint16_t picked = ComboSelection(dialog, id, measure);
  if (picked >= kScaleMeasureCount || picked == measure) return;
  const uint16_t previous = measure;
  measure = picked;
  if (measure == kScaleMeasureCustom || previous == kScaleMeasureCustom)
    SCL_ShowMeasure(dialog, state, id);
  if (previous == kScaleMeasureCustom) RebuildCustomEntry(dialog, state);
  Refresh(dialog, state);
}

void OnUnits(HWND dialog, ScaleState& state) {
  const uint16_t picked = ComboSelection(dialog, IDC_SCALE_UNITS, state.settings.ScaleUnits);
  if (picked >= kScaleUnitsCount) return;
  state.settings.ScaleUnits = picked;
  Refresh(dialog, state);
}

void OnReset(HWND dialog, ScaleState& state) {
  ScaleSettingsGroup& s = state.settings;
  state.sizes.WorkWidth = state.sizes.OrigWidth;
  state.sizes.WorkHeight = state.sizes.OrigHeight;
  const bool wasCustom = s.ScaleMeasure == kScaleMeasureCustom;
  s.ScaleMeasure = kScaleMeasureScreen;
  SCL_ShowMeasure(dialog, state, 0);
  // Leaving Custom this way renames its entry too, as leaving it through the list does.
  if (wasCustom) RebuildCustomEntry(dialog, state);
  s.ScaleUnits = kScaleUnitsPixels;
  SelectComboEntry(dialog, IDC_SCALE_UNITS, s.ScaleUnits);
  s.ScaleQuality = 1;
  SelectComboEntry(dialog, IDC_SCALE_QUALITY, s.ScaleQuality);
  Refresh(dialog, state);
}

// A custom resolution is kept as it is typed; it converts nothing while either is 0, and leaving
// a field at 0 makes it 1 with a beep.
void OnResolution(HWND dialog, ScaleState& state, int id, int code) {
  ScaleSettingsGroup& s = state.settings;
  uint32_t& resolution = id == IDC_SCALE_RES_X ? s.CustomResX : s.CustomResY;
  if (code == EN_CHANGE && !state.updating) {
    resolution = ResolutionField(dialog, id);
    if (s.CustomResX != 0 && s.CustomResY != 0) Refresh(dialog, state);
  } else if (code == EN_KILLFOCUS && resolution == 0) {
    MessageBeep(0);
    resolution = 1;
    {
      const UpdateScope update(state.updating);
      WriteField(dialog, id, resolution);
    }
    Refresh(dialog, state);
  }
}

BOOL SCL_DialogCommand(HWND dialog, ScaleState& state, WPARAM wParam) {
  const int id = LOWORD(wParam), code = HIWORD(wParam);
  switch (id) {
    case IDOK:
      return OnOk(dialog, state);
    case IDCANCEL:
      EndDialog(dialog, 0);
      break;
    case IDC_SCALE_WIDTH:
    case IDC_SCALE_HEIGHT:
      if (code == EN_CHANGE && !state.updating) OnSizeTyped(dialog, state, id);
      if (code == EN_KILLFOCUS) Refresh(dialog, state, id);
      break;
    case IDC_SCALE_KEEP_ASPECT:
      OnKeepAspect(dialog, state);
      break;
    case IDC_SCALE_MEASURE:
    case IDC_SCALE_MEASURE_NAME:
      if (code == CBN_SELCHANGE) OnMeasure(dialog, state, id);
      break;
    case IDC_SCALE_UNITS:
      if (code == CBN_SELCHANGE) OnUnits(dialog, state);
      break;
    case IDC_SCALE_RESET:
      OnReset(dialog, state);
      break;
    case IDC_SCALE_RES_X:
    case IDC_SCALE_RES_Y:
      OnResolution(dialog, state, id, code);
      break;
  }
  return TRUE;
}

}  // namespace

INT_PTR CALLBACK ScaleProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) return OnInitDialog(dialog, *reinterpret_cast<ScaleState*>(lParam));
  ScaleState* state = DialogState<ScaleState>(dialog);
  if (message == WM_COMMAND && state) return SCL_DialogCommand(dialog, *state, wParam);
  return FALSE;
}

bool SCL_RunDialog(HWND owner, ScaleState& state) {
  return RunModalDialog(owner, IDD_SCALE, ScaleProc, &state) == 1;
}
