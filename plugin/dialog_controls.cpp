#include "plugin/dialog_controls.h"

#include "plugin/plugin.h"

void FillComboBox(HWND dialog, int id, std::initializer_list<UINT> textIds, int selected) {
  for (UINT text : textIds) AddComboText(dialog, id, LoadText(text));
  SelectComboEntry(dialog, id, selected);
}

void AddComboText(HWND dialog, int id, const std::string& text) {
  SendDlgItemMessageA(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void SelectComboEntry(HWND dialog, int id, int index) {
  SendDlgItemMessageA(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

uint16_t ComboSelection(HWND dialog, int id, uint16_t current) {
  const LRESULT selected = SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0);
  return selected == CB_ERR ? current : static_cast<uint16_t>(selected);
}

void ShowMark(HWND dialog, int id, bool marked) {
  CheckDlgButton(dialog, id, marked ? BST_CHECKED : BST_UNCHECKED);
}

void ToggleMark(HWND dialog, int id, int32_t& flag) {
  flag = !flag;
  ShowMark(dialog, id, flag != 0);
}

void ShowTrueColorOptions(HWND dialog, int alphaId, int colorId, bool is32Bit, int32_t alpha,
                          int32_t color) {
  ShowMark(dialog, alphaId, is32Bit && alpha != 0);
  ShowMark(dialog, colorId, !is32Bit || color != 0);
  EnableWindow(GetDlgItem(dialog, alphaId), is32Bit);
  EnableWindow(GetDlgItem(dialog, colorId), is32Bit);
}

void DialogMessage(HWND dialog, int field, UINT textId, UINT captionId, UINT style) {
  const HWND focused = GetFocus();
  const std::string text = LoadText(textId), caption = LoadText(captionId);
  MessageBoxA(nullptr, text.c_str(), captionId ? caption.c_str() : nullptr, style);
  const HWND target = field ? GetDlgItem(dialog, field) : focused;
  SetActiveWindow(dialog);
  if (target && IsChild(dialog, target))
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(target), TRUE);
}

void TakeTableColor(const ImageFacts& image, int32_t& index, uint8_t& red, uint8_t& green,
                    uint8_t& blue) {
  if (image.colorCount == 0) return;
  // A negative index names no entry either (the caption step may leave a sign-extended 16-bit one).
  if (index < 0 || static_cast<uint32_t>(index) >= image.colorCount) index = 0;
  const RgbQuad& entry = image.colors[index];
  red = entry.rgbRed;
  green = entry.rgbGreen;
  blue = entry.rgbBlue;
}
