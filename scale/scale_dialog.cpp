// The Scale Image dialog: the new size in pixels, percent, inches or centimetres at the screen's,
// the printer's or a custom resolution, the aspect, the quality. It edits Scale and the stored
// settings in place; the arithmetic is scale/scale_units.h, so the handlers only read and write
// controls.
#include <algorithm>
#include <cstdio>
#include <string>

#include "plugin/dialog.h"
#include "plugin/gdi.h"
#include "plugin/plugin.h"
#include "plugin/settings.h"
#include "resources/ids.h"
#include "resources/text_ids.h"
#include "scale/scale_command.h"

namespace {

// Set while the dialog writes its own fields, whose change notifications must not count as typing.
bool InUpdate = false;

// List entries and labels by ScaleUnits, ScaleMeasure and ScaleQuality.
constexpr UINT kUnitNames[kScaleUnitsCount] = {IDS_UNITS_PIXELS, IDS_UNITS_PERCENTAGE,
                                               IDS_UNITS_INCHES, IDS_UNITS_CENTIMETERS};
constexpr UINT kUnitLabels[kScaleUnitsCount] = {IDS_UNITS_PIXELS, IDS_UNIT_LABEL_PERCENT,
                                                IDS_UNIT_LABEL_INCHES, IDS_UNIT_LABEL_CENTIMETERS};
constexpr UINT kMeasureNames[kScaleMeasureCount] = {IDS_MEASURE_SCREEN, IDS_MEASURE_PRINTER,
                                                    IDS_MEASURE_CUSTOM};
constexpr UINT kQualityNames[] = {IDS_QUALITY_LOW, IDS_QUALITY_HIGH};

std::string LoadText(UINT id) {
  char text[kTextBufferSize] = {};
  HP_LoadText(id, text, sizeof text);
  return text;
}

ScaleDpi MeasureDpi(uint16_t measure) {
  switch (measure) {
    case kScaleMeasurePrinter:
      return {kPrinterDpi, kPrinterDpi};
    case kScaleMeasureCustom:
      return {CustomResX, CustomResY};
    default:
      return Scale.ScreenRes;
  }
}

// "Screen (96, 96)": a measure with its resolution as it is now.
std::string MeasureEntry(uint16_t measure) {
  const ScaleDpi dpi = MeasureDpi(measure);
  char text[kTextBufferSize];
  std::snprintf(text, sizeof text, "%s (%u, %u)", LoadText(kMeasureNames[measure]).c_str(), dpi.x,
                dpi.y);
  return text;
}

void AddEntry(HWND dialog, int id, const std::string& text) {
  SendDlgItemMessageA(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void SelectEntry(HWND dialog, int id, int index) {
  SendDlgItemMessageA(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int Selection(HWND dialog, int id) {
  return static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0));
}

// A custom resolution as typed; anything that is not a number is 0.
uint32_t ResolutionField(HWND dialog, int id) {
  return static_cast<uint32_t>(ReadField(dialog, id, false).value);
}

// The Custom entry of the wide list names the custom resolution as it is now.
void RebuildCustomEntry(HWND dialog) {
  SendDlgItemMessageA(dialog, IDC_SCALE_MEASURE, CB_DELETESTRING, kScaleMeasureCustom, 0);
  AddEntry(dialog, IDC_SCALE_MEASURE, MeasureEntry(kScaleMeasureCustom));
}

// Writes the size fields and their unit labels from the state.
void Refresh(HWND dialog, ScaleDpi dpi) {
  const std::string label = LoadText(kUnitLabels[ScaleUnits]);
  SetDlgItemTextA(dialog, IDC_SCALE_WIDTH_UNIT, label.c_str());
  SetDlgItemTextA(dialog, IDC_SCALE_HEIGHT_UNIT, label.c_str());
  const ScaleFieldTexts texts = SCL_FieldTexts(Scale.sizes, ScaleUnits, dpi, Scale.SettingsMode);
  if (ScaleUnits == kScaleUnitsPercentage) {
    PercentWidth = texts.percentWidth;
    PercentHeight = texts.percentHeight;
  }
  SetDlgItemTextA(dialog, IDC_SCALE_WIDTH, texts.width.c_str());
  SetDlgItemTextA(dialog, IDC_SCALE_HEIGHT, texts.height.c_str());
}

// Reads a typed side into the working size; returns whether the other side followed it.
bool ReadSide(HWND dialog, bool width, ScaleDpi dpi) {
  char text[256] = {};
  GetDlgItemTextA(dialog, width ? IDC_SCALE_WIDTH : IDC_SCALE_HEIGHT, text, sizeof text);
  ScaleSizes& s = Scale.sizes;
  uint32_t& work = width ? s.WorkWidth : s.WorkHeight;
  const uint32_t orig = width ? s.OrigWidth : s.OrigHeight;
  work = SCL_SideFromText(text, ScaleUnits, orig, width ? dpi.x : dpi.y);
  // Without the aspect no refresh follows, yet the settings dialog saves the percentage: a typed
  // one is kept at once, as a refresh would keep it.
  if (ScaleUnits == kScaleUnitsPercentage)
    (width ? PercentWidth : PercentHeight) = static_cast<uint16_t>(SCL_PercentOf(work, orig));
  if (!KeepAspect) return false;
  SCL_FollowAspect(s, width);
  return true;
}

// Shows the wide measure list, or for Custom the narrow one with the two resolution fields in its
// place, and keeps both lists on ScaleMeasure (the one that notified `id` already is).
void SCL_ShowMeasure(HWND dialog, int id) {
  const bool custom = ScaleMeasure == kScaleMeasureCustom;
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
  if (id == 0 || id == IDC_SCALE_MEASURE_NAME) SelectEntry(dialog, IDC_SCALE_MEASURE, ScaleMeasure);
  if (id == 0 || id == IDC_SCALE_MEASURE) SelectEntry(dialog, IDC_SCALE_MEASURE_NAME, ScaleMeasure);
}

// Id 0 and the ids of the controls that change units, measure or aspect refresh both fields; a
// size field's id reads what was typed there (and refreshes both when the other side follows).
void SCL_UpdateFields(HWND dialog, int id) {
  if (InUpdate) return;
  UpdateScope update(InUpdate);
  const ScaleDpi dpi = MeasureDpi(ScaleMeasure);
  if ((id == IDC_SCALE_WIDTH || id == IDC_SCALE_HEIGHT) &&
      !ReadSide(dialog, id == IDC_SCALE_WIDTH, dpi))
    return;
  Refresh(dialog, dpi);
}

BOOL OnInitDialog(HWND dialog) {
  AttachDialogState(dialog, IDD_SCALE, nullptr);
  CheckDlgButton(dialog, IDC_SCALE_KEEP_ASPECT, KeepAspect ? BST_CHECKED : BST_UNCHECKED);
  {
    ScreenDC screen;
    Scale.ScreenRes = {static_cast<uint32_t>(GetDeviceCaps(screen, LOGPIXELSX)),
                       static_cast<uint32_t>(GetDeviceCaps(screen, LOGPIXELSY))};
  }
  for (uint16_t measure = 0; measure < kScaleMeasureCount; ++measure) {
    AddEntry(dialog, IDC_SCALE_MEASURE, MeasureEntry(measure));
    AddEntry(dialog, IDC_SCALE_MEASURE_NAME, LoadText(kMeasureNames[measure]));
  }
  {
    UpdateScope update(InUpdate);
    WriteField(dialog, IDC_SCALE_RES_X, CustomResX);
    WriteField(dialog, IDC_SCALE_RES_Y, CustomResY);
  }
  for (UINT name : kUnitNames) AddEntry(dialog, IDC_SCALE_UNITS, LoadText(name));
  for (UINT name : kQualityNames) AddEntry(dialog, IDC_SCALE_QUALITY, LoadText(name));
  SCL_ShowMeasure(dialog, 0);
  SelectEntry(dialog, IDC_SCALE_UNITS, ScaleUnits);
  SelectEntry(dialog, IDC_SCALE_QUALITY, ScaleQuality);
  SCL_UpdateFields(dialog, 0);
  return TRUE;
}

BOOL OnOk(HWND dialog) {
  const ScaleSizes& s = Scale.sizes;
  if (s.WorkWidth == 0 || s.WorkHeight == 0) {
    MessageBoxA(nullptr, "Cannot enter 0 for width or height", nullptr, 0);
    return FALSE;
  }
  ScaleQuality = static_cast<uint16_t>(Selection(dialog, IDC_SCALE_QUALITY) == 1);
  // Enter in a resolution field holding 0 comes here without the field losing the focus first:
  // the 0 is committed as 1, as leaving the field would make it.
  CustomResX = std::max<uint32_t>(ResolutionField(dialog, IDC_SCALE_RES_X), 1);
  CustomResY = std::max<uint32_t>(ResolutionField(dialog, IDC_SCALE_RES_Y), 1);
  CustomWidth = SCL_StoredSide(s.WorkWidth);
  CustomHeight = SCL_StoredSide(s.WorkHeight);
  EndDialog(dialog, 1);
  return TRUE;
}

// Typing in a size field: the refresh must not move the caret or the selection.
void OnSizeTyped(HWND dialog, int id, HWND edit) {
  if (InUpdate) return;
  DWORD start = 0, end = 0;
  SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  SCL_UpdateFields(dialog, id);
  SendMessageA(edit, EM_SETSEL, start, end);
}

void OnKeepAspect(HWND dialog) {
  KeepAspect = KeepAspect ? 0 : 1;
  CheckDlgButton(dialog, IDC_SCALE_KEEP_ASPECT, KeepAspect ? BST_CHECKED : BST_UNCHECKED);
  SCL_AspectToggled(Scale.sizes, Scale.SettingsMode, ScaleUnits);
  SCL_UpdateFields(dialog, IDC_SCALE_KEEP_ASPECT);
}

void OnMeasure(HWND dialog, int id) {
  const int picked = Selection(dialog, id);
  if (picked < 0 || picked >= kScaleMeasureCount || picked == ScaleMeasure) return;
  const uint16_t previous = ScaleMeasure;
  ScaleMeasure = static_cast<uint16_t>(picked);
  if (ScaleMeasure == kScaleMeasureCustom || previous == kScaleMeasureCustom)
    SCL_ShowMeasure(dialog, id);
  if (previous == kScaleMeasureCustom) RebuildCustomEntry(dialog);
  SCL_UpdateFields(dialog, id);
}

void OnUnits(HWND dialog) {
  const int picked = Selection(dialog, IDC_SCALE_UNITS);
  if (picked < 0 || picked >= kScaleUnitsCount) return;
  ScaleUnits = static_cast<uint16_t>(picked);
  SCL_UpdateFields(dialog, IDC_SCALE_UNITS);
}

void OnReset(HWND dialog) {
  Scale.sizes.WorkWidth = Scale.sizes.OrigWidth;
  Scale.sizes.WorkHeight = Scale.sizes.OrigHeight;
  const bool wasCustom = ScaleMeasure == kScaleMeasureCustom;
  ScaleMeasure = kScaleMeasureScreen;
  SCL_ShowMeasure(dialog, 0);
  // Leaving Custom this way renames its entry too, as leaving it through the list does.
  if (wasCustom) RebuildCustomEntry(dialog);
  ScaleUnits = kScaleUnitsPixels;
  SelectEntry(dialog, IDC_SCALE_UNITS, ScaleUnits);
  ScaleQuality = 1;
  SelectEntry(dialog, IDC_SCALE_QUALITY, ScaleQuality);
  SCL_UpdateFields(dialog, 0);
}

// A custom resolution is kept as it is typed; it converts nothing while either is 0, and leaving
// a field at 0 makes it 1 with a beep.
void OnResolution(HWND dialog, int id, int code) {
  uint32_t& resolution = id == IDC_SCALE_RES_X ? CustomResX : CustomResY;
  if (code == EN_CHANGE && !InUpdate) {
    resolution = ResolutionField(dialog, id);
    if (CustomResX != 0 && CustomResY != 0) SCL_UpdateFields(dialog, id);
  } else if (code == EN_KILLFOCUS && resolution == 0) {
    MessageBeep(0);
    resolution = 1;
    {
      UpdateScope update(InUpdate);
      WriteField(dialog, id, resolution);
    }
    SCL_UpdateFields(dialog, id);
  }
}

BOOL SCL_DialogCommand(HWND dialog, WPARAM wParam, LPARAM lParam) {
  const int id = LOWORD(wParam), code = HIWORD(wParam);
  switch (id) {
    case IDOK:
      return OnOk(dialog);
    case IDCANCEL:
      EndDialog(dialog, 0);
      break;
    case IDC_SCALE_WIDTH:
    case IDC_SCALE_HEIGHT:
      if (code == EN_CHANGE) OnSizeTyped(dialog, id, reinterpret_cast<HWND>(lParam));
      break;
    case IDC_SCALE_KEEP_ASPECT:
      OnKeepAspect(dialog);
      break;
    case IDC_SCALE_MEASURE:
    case IDC_SCALE_MEASURE_NAME:
      if (code == CBN_SELCHANGE) OnMeasure(dialog, id);
      break;
    case IDC_SCALE_UNITS:
      if (code == CBN_SELCHANGE) OnUnits(dialog);
      break;
    case IDC_SCALE_RESET:
      OnReset(dialog);
      break;
    case IDC_SCALE_RES_X:
    case IDC_SCALE_RES_Y:
      OnResolution(dialog, id, code);
      break;
  }
  return TRUE;
}

}  // namespace

INT_PTR CALLBACK ScaleProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(dialog);
    case WM_COMMAND:
      return SCL_DialogCommand(dialog, wParam, lParam);
  }
  return FALSE;
}

int SCL_RunDialog(HWND owner) {
  // The dialog runs on the module-wide state; its initial parameter is unused.
  return static_cast<int>(RunModalDialog(owner, IDD_SCALE, ScaleProc, nullptr));
}
