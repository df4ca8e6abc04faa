// The shared command and dialog plumbing of plugin/dialog.h.
#include "plugin/dialog.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "plugin/plugin.h"

WaitCursorScope::WaitCursorScope() : previous_(SetCursor(WaitCursor)) {}

WaitCursorScope::~WaitCursorScope() { SetCursor(previous_); }

INT_PTR RunModalDialog(HWND owner, int templateId, DLGPROC procedure, void* state) {
  return DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(templateId), owner, procedure,
                         reinterpret_cast<LPARAM>(state));
}

void AttachDialogState(HWND dialog, int templateId, void* state) {
  SetWindowLongPtrA(dialog, GWLP_USERDATA, templateId);
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
}

namespace {

void TakeFacts(HGLOBAL image, const DibView& view, ImageFacts& facts) {
  facts.image = image;
  facts.width = view.width;
  facts.height = view.height;
  facts.bits = view.bits;
  facts.colorCount = view.colorCount;
  std::copy_n(view.colors, view.colorCount, facts.colors);
}

}  // namespace

bool CheckImage(HGLOBAL image, ImageFacts& facts) {
  const LockedDib dib(image);
  if (dib.ok) TakeFacts(image, dib.view, facts);
  return dib.ok;
}

bool SidesWithin(const ImageFacts& image, uint32_t most, UINT textId) {
  if (image.width <= most && image.height <= most) return true;
  HP_ShowMessage(textId);
  return false;
}

bool ReadImageFacts(HGLOBAL image, ImageFacts& facts) {
  const BlockLock lock(image);
  DibView view;
  if (!lock || !DescribeDib(lock.get(), HP_Size(image), view)) return false;
  TakeFacts(image, view, facts);
  return true;
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
