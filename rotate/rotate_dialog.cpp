// The Rotate dialog: the amount (typed or a preset), the quality and the fill colour, edited in
// place in the command's RotateSettings.
#include "rotate/rotate_dialog.h"

#include "controls/colors.h"
#include "plugin/dialog.h"
#include "plugin/dialog_controls.h"
#include "plugin/plugin.h"
#include "resources/ids.h"
#include "resources/text_ids.h"

namespace {

int RadioOf(RotatePreset preset) { return IDC_ROTATE_CUSTOM + static_cast<int>(preset); }

RotatePreset PresetOf(int radio) { return static_cast<RotatePreset>(radio - IDC_ROTATE_CUSTOM); }

// Checks the preset's radio button alone; a preset other than Custom also chooses High.
void ShowPreset(HWND dialog, RotateSettings& settings, RotatePreset preset) {
  CheckRadioButton(dialog, IDC_ROTATE_CUSTOM, IDC_ROTATE_270, RadioOf(preset));
  if (preset == RotatePreset::kCustom) return;
  settings.quality = kQualityHigh;
  SelectComboEntry(dialog, IDC_ROTATE_QUALITY, kQualityHigh);
}

void ShowSwatch(HWND dialog, const RotateSettings& settings) {
  SetSwatchColor(GetDlgItem(dialog, IDC_ROTATE_SWATCH), settings.fillRed, settings.fillGreen,
                 settings.fillBlue);
}

void OnInitDialog(HWND dialog, RotateDialogState& state) {
  RotateSettings& settings = state.settings;
  AttachDialogState(dialog, IDD_ROTATE, &state);
  // This write already runs the Amount rule (OnAmountChanged), before the list has entries: the
  // rule must not rely on anything set below.
  WriteField(dialog, IDC_ROTATE_AMOUNT, settings.angle);
  FillComboBox(dialog, IDC_ROTATE_QUALITY, {IDS_QUALITY_LOW, IDS_QUALITY_HIGH}, settings.quality);
  ShowPreset(dialog, settings, ROT_PresetFor(settings.angle));
  TakeTableColor(state.image, settings.fillIndex, settings.fillRed, settings.fillGreen,
                 settings.fillBlue);
  ShowSwatch(dialog, settings);
}

// No update guard: the dialog's own writes (presets, the clamp) run this rule again, which is what
// leaves Custom checked after a clamp.
void OnAmountChanged(HWND dialog, RotateSettings& settings) {
  const AmountOutcome outcome = ROT_AmountChanged(ReadField(dialog, IDC_ROTATE_AMOUNT, true).value);
  if (outcome.outOfRange) {
    DialogMessage(dialog, IDC_ROTATE_AMOUNT, IDS_ROTATE_ANGLE_RANGE, IDS_ROTATE_ANGLE_CAPTION);
    WriteField(dialog, IDC_ROTATE_AMOUNT, outcome.limit);
    // The limit is selected like the text it replaced, so that typing goes on over it.
    SendDlgItemMessageA(dialog, IDC_ROTATE_AMOUNT, EM_SETSEL, 0, -1);
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
  RotateDialogState* state = DialogState<RotateDialogState>(dialog);
  if (!state) return;  // notifications of controls created before WM_INITDIALOG
  RotateSettings* settings = &state->settings;
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
      if (code == CBN_SELCHANGE)
        settings->quality = ComboSelection(dialog, IDC_ROTATE_QUALITY, settings->quality);
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
      OnInitDialog(dialog, *reinterpret_cast<RotateDialogState*>(lParam));
      return TRUE;
    case WM_COMMAND:
      ROT_OnCommand(dialog, wParam, lParam);
      return TRUE;
    default:
      return FALSE;
  }
}
