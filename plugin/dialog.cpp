// The shared command and dialog plumbing of plugin/dialog.h.
#include "plugin/dialog.h"

#include <cstdio>
#include <string>

#include "plugin/plugin.h"

WaitCursorScope::WaitCursorScope() : previous_(SetCursor(WaitCursor)) {}

WaitCursorScope::~WaitCursorScope() { SetCursor(previous_); }

INT_PTR RunModalDialog(HWND owner, int templateId, DLGPROC procedure, void* state) {
  const INT_PTR result = DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(templateId), owner,
                                         procedure, reinterpret_cast<LPARAM>(state));
  return result == -1 ? 0 : result;
}

void AttachDialogState(HWND dialog, int templateId, void* state) {
  SetWindowLongPtrA(dialog, GWLP_USERDATA, templateId);
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
}

FieldNumber ReadField(HWND dialog, int id, bool signAllowed) {
  char text[64] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return ReadFieldNumber(text, signAllowed);
}

void WriteField(HWND dialog, int id, int64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
  SetDlgItemTextA(dialog, id, text);
}
