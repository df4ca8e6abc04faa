// The caption's choosers: the alignment dialog (one vertical and one horizontal placement, marked
// by the dialog itself) and the system font dialog on the caption font.
#include "frame/frame_dialog.h"

#include <commdlg.h>

#include "plugin/dialog.h"
#include "resources/ids.h"

namespace {

// Each group's buttons in id order with their flags; a group's ids follow one another.
struct AlignButton {
  int id;
  WORD flag;
};
constexpr AlignButton kVertical[] = {{IDC_ALIGN_TOP, kAlignTop},
                                     {IDC_ALIGN_VCENTER, kAlignVCenter},
                                     {IDC_ALIGN_BOTTOM, kAlignBottom}};
constexpr AlignButton kHorizontal[] = {{IDC_ALIGN_LEFT, kAlignLeft},
                                       {IDC_ALIGN_HCENTER, kAlignHCenter},
                                       {IDC_ALIGN_RIGHT, kAlignRight}};

// Marks `id` and unmarks the other buttons of its group only.
void Mark(HWND dialog, const AlignButton (&group)[3], int id) {
  CheckRadioButton(dialog, group[0].id, group[2].id, id);
}

// The first of the group's first two flags that is set, else the last button: flags 0 show
// Bottom and Right. A stored value with several flags of a group is marked by the same rule.
int ButtonFor(const AlignButton (&group)[3], WORD alignment) {
  for (int i = 0; i < 2; ++i)
    if (alignment & group[i].flag) return group[i].id;
  return group[2].id;
}

WORD MarkedFlags(HWND dialog) {
  WORD sum = 0;
  for (const auto* group : {&kVertical, &kHorizontal})
    for (const AlignButton& button : *group)
      if (IsDlgButtonChecked(dialog, button.id) == BST_CHECKED) sum |= button.flag;
  return sum;
}

BOOL OnInitDialog(HWND dialog, const WORD& alignment) {
  AttachDialogState(dialog, IDD_FRAME_ALIGN, nullptr);
  Mark(dialog, kVertical, ButtonFor(kVertical, alignment));
  Mark(dialog, kHorizontal, ButtonFor(kHorizontal, alignment));
  return TRUE;
}

BOOL OnCommand(HWND dialog, WPARAM wParam) {
  const int id = LOWORD(wParam);
  switch (id) {
    case IDOK:
      EndDialog(dialog, MarkedFlags(dialog));
      return TRUE;
    case IDCANCEL:
      EndDialog(dialog, 0);
      return TRUE;
    case IDC_ALIGN_TOP:
    case IDC_ALIGN_VCENTER:
    case IDC_ALIGN_BOTTOM:
      if (HIWORD(wParam) == BN_CLICKED) Mark(dialog, kVertical, id);
      return TRUE;
    case IDC_ALIGN_LEFT:
    case IDC_ALIGN_HCENTER:
    case IDC_ALIGN_RIGHT:
      if (HIWORD(wParam) == BN_CLICKED) Mark(dialog, kHorizontal, id);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

extern "C" INT_PTR CALLBACK FRM_AlignProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(dialog, *reinterpret_cast<const WORD*>(lParam));
    case WM_COMMAND:
      return OnCommand(dialog, wParam);
    default:
      return FALSE;
  }
}

extern "C" int WINAPI FRA_ChooseAlign(HWND owner, WORD* alignment) {
  // Every OK marks one button of each group, so its sum is never 0, the value of Cancel.
  const INT_PTR chosen = RunModalDialog(owner, IDD_FRAME_ALIGN, FRM_AlignProc, alignment);
  if (chosen == 0) return 0;
  *alignment = static_cast<WORD>(chosen);
  return 1;
}

extern "C" BOOL WINAPI FRA_ChooseFont(HWND owner, LOGFONTA* font) {
  CHOOSEFONTA choice = {};
  choice.lStructSize = sizeof choice;
  choice.hwndOwner = owner;
  choice.lpLogFont = font;
  // Screen fonts, starting from the caption font; no effects (the caption has one colour of its
  // own and no underline or strike-out).
  choice.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT;
  choice.nFontType = SCREEN_FONTTYPE;
  return ChooseFontA(&choice);
}
