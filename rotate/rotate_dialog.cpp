// The Rotate dialog: the amount (typed or a preset), the quality and the fill colour, edited in
// place in the command's RotateSettings.
#include "rotate/rotate_dialog.h"

#include "controls/colors.h"
#include "dib/dib.h"
#include "plugin/dialog.h"
#include "plugin/plugin.h"
#include "resources/ids.h"
#include "resources/text_ids.h"

namespace {

int RadioOf(RotatePreset preset) { return IDC_ROTATE_CUSTOM + static_cast<int>(preset); }

RotatePreset PresetOf(int radio) { return static_cast<RotatePreset>(radio - IDC_ROTATE_CUSTOM); }

void SelectQuality(HWND dialog, uint16_t quality) {
  SendDlgItemMessageA(dialog, IDC_ROTATE_QUALITY, CB_SETCURSEL, quality, 0);
}

// Checks the preset's radio button alone; a preset other than Custom also chooses High.
void ShowPreset(HWND dialog, RotateSettings& settings, RotatePreset preset) {
  CheckRadioButton(dialog, IDC_ROTATE_CUSTOM, IDC_ROTATE_270, RadioOf(preset));
  if (preset == RotatePreset::kCustom) return;
  settings.quality = kQualityHigh;
  SelectQuality(dialog, kQualityHigh);
}

void ShowSwatch(HWND dialog, const RotateSettings& settings) {
  SetSwatchColor(GetDlgItem(dialog, IDC_ROTATE_SWATCH), settings.fillRed, settings.fillGreen,
                 settings.fillBlue);
}

void ShowRangeMessage() {
  char text[kTextBufferSize], caption[kTextBufferSize];
  LoadStringA(ModuleInstance, IDS_ROTATE_ANGLE_RANGE, text, sizeof text);
  LoadStringA(ModuleInstance, IDS_ROTATE_ANGLE_CAPTION, caption, sizeof caption);
  MessageBoxA(nullptr, text, caption, MB_TASKMODAL);
}

// A palette image fills with one of its own entries, so the swatch shows that entry, whatever
// colour a true-colour image had left in the settings.
void TakePaletteFill(RotateSettings& settings) {
  if (settings.colorCount == 0) return;
  settings.fillIndex = ROT_PaletteFillIndex(settings.fillIndex, settings.colorCount);
  // The command checked this image before the dialog opened; the guard checks the table's size.
  LockedDib dib(settings.image);
  if (!dib.ok || static_cast<uint32_t>(settings.fillIndex) >= dib.view.colorCount) return;
  const RgbQuad& entry = dib.view.colors[settings.fillIndex];
  settings.fillRed = entry.rgbRed;
  settings.fillGreen = entry.rgbGreen;
  settings.fillBlue = entry.rgbBlue;
}

void OnInitDialog(HWND dialog, RotateSettings& settings) {
  AttachDialogState(dialog, IDD_ROTATE, &settings);
  // This write already runs the Amount rule (OnAmountChanged), before the list has entries: the
  // rule must not rely on anything set below.
  WriteField(dialog, IDC_ROTATE_AMOUNT, settings.angle);
  for (UINT text : {IDS_QUALITY_LOW, IDS_QUALITY_HIGH}) {
    char item[kTextBufferSize];
    LoadStringA(ModuleInstance, text, item, sizeof item);
    SendDlgItemMessageA(dialog, IDC_ROTATE_QUALITY, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(item));
  }
  ShowPreset(dialog, settings, ROT_PresetFor(settings.angle));
  SelectQuality(dialog, settings.quality);
  TakePaletteFill(settings);
  ShowSwatch(dialog, settings);
}

// No update guard: the dialog's own writes (presets, the clamp) run this rule again, which is what
// leaves Custom checked after a clamp.
void OnAmountChanged(HWND dialog, RotateSettings& settings) {
  const AmountOutcome outcome = ROT_AmountChanged(ReadField(dialog, IDC_ROTATE_AMOUNT, true).value);
  if (outcome.outOfRange) {
    ShowRangeMessage();
    WriteField(dialog, IDC_ROTATE_AMOUNT, outcome.limit);
    return;
  }
  ShowPreset(dialog, settings, outcome.preset);
}

void OnRadio(HWND dialog, RotateSettings& settings, int radio) {
  const RotatePreset preset = PresetOf(radio);
  if (preset != RotatePreset::kCustom)
    WriteField(dialog, IDC_ROTATE_AMOUNT, ROT_PresetAmount(preset));
  ShowPreset(dialog, settings, preset);
}

void OnQuality(HWND dialog, RotateSettings& settings) {
  const LRESULT selected = SendDlgItemMessageA(dialog, IDC_ROTATE_QUALITY, CB_GETCURSEL, 0, 0);
  if (selected != CB_ERR) settings.quality = static_cast<uint16_t>(selected);
}

void OnColor(HWND dialog, RotateSettings& settings) {
  // The chooser writes a LONG, which is not int32_t's type on every compiler: it gets a copy.
  LONG index = settings.fillIndex;
  if (!COL_ChooseColor(dialog, static_cast<HGLOBAL>(settings.image),
                       static_cast<HPALETTE>(settings.palette), &index, &settings.fillRed,
                       &settings.fillGreen, &settings.fillBlue))
    return;
  settings.fillIndex = index;
  ShowSwatch(dialog, settings);
}

}  // namespace

void ROT_OnCommand(HWND dialog, WPARAM wParam, LPARAM) {
  RotateSettings* settings = DialogState<RotateSettings>(dialog);
  if (!settings) return;  // notifications of controls created before WM_INITDIALOG
  const int id = LOWORD(wParam);
  const UINT code = HIWORD(wParam);
  switch (id) {
    case IDOK:
      settings->angle = ROT_ConfirmedAngle(ReadField(dialog, IDC_ROTATE_AMOUNT, true).value);
      EndDialog(dialog, 1);
      break;
    case IDCANCEL:
      EndDialog(dialog, 0);
      break;
    case IDC_ROTATE_CUSTOM:
    case IDC_ROTATE_90:
    case IDC_ROTATE_180:
    case IDC_ROTATE_270:
      if (code == BN_CLICKED) OnRadio(dialog, *settings, id);
      break;
    case IDC_ROTATE_AMOUNT:
      if (code == EN_CHANGE) OnAmountChanged(dialog, *settings);
      break;
    case IDC_ROTATE_QUALITY:
      if (code == CBN_SELCHANGE) OnQuality(dialog, *settings);
      break;
    case IDC_ROTATE_COLOR:
      if (code == BN_CLICKED) OnColor(dialog, *settings);
      break;
    default:
      break;
  }
}

extern "C" INT_PTR CALLBACK RotateProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(dialog, *reinterpret_cast<RotateSettings*>(lParam));
      return TRUE;
    case WM_COMMAND:
      ROT_OnCommand(dialog, wParam, lParam);
      return TRUE;
    default:
      return FALSE;
  }
}
