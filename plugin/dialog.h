// What every menu command and dialog of the plug-in shares: the command frame, the wait cursor as
// a scope, the update guard for the dialog's own field writes, modal dialogs, per-dialog state and
// the reading and writing of number fields.
#pragma once

#include <windows.h>

#include <cstdint>
#include <utility>

#include "dib/block.h"
#include "dib/dib.h"
#include "dib/field_number.h"
#include "plugin/host_api.h"

// Shows the wait cursor loaded at start-up for the scope's lifetime, then the cursor it replaced.
class WaitCursorScope {
 public:
  WaitCursorScope();
  ~WaitCursorScope();
  WaitCursorScope(const WaitCursorScope&) = delete;
  WaitCursorScope& operator=(const WaitCursorScope&) = delete;

 private:
  HCURSOR previous_;
};

// Marks the dialog's own field writes: `updating` (a member of the dialog's state) is true for the
// scope's lifetime, and the dialog's EN_CHANGE handlers return at once while it is, so that only a
// user's typing reaches them. Scopes nest.
class UpdateScope {
 public:
  explicit UpdateScope(bool& updating)
      : flag_(updating), previous_(std::exchange(updating, true)) {}
  ~UpdateScope() { flag_ = previous_; }
  UpdateScope(const UpdateScope&) = delete;
  UpdateScope& operator=(const UpdateScope&) = delete;

 private:
  bool& flag_;
  bool previous_;
};

// What DialogBoxParamA returns when the dialog cannot be made (no memory, a control class missing):
// never an end value of one of the plug-in's dialogs.
inline constexpr INT_PTR kDialogNotMade = -1;

// Runs the modal dialog `templateId` of the module, owned by `owner`, with `state` as the
// WM_INITDIALOG parameter. Returns the value the dialog ended with (0 is Cancel), or
// kDialogNotMade. Most callers take anything but OK as Cancel; Crop reports a dialog it could not
// make.
INT_PTR RunModalDialog(HWND owner, int templateId, DLGPROC procedure, void* state);

// For WM_INITDIALOG: keeps the template id in the dialog's user data (where the tests look for it)
// and the dialog's state pointer in DWLP_USER.
void AttachDialogState(HWND dialog, int templateId, void* state);
// The state pointer kept by AttachDialogState; null before WM_INITDIALOG (messages such as
// WM_SETFONT arrive earlier).
template <typename State>
State* DialogState(HWND dialog) {
  return reinterpret_cast<State*>(GetWindowLongPtrA(dialog, DWLP_USER));
}
// The same for a control's window procedure, from its parent dialog: null unless that dialog is
// the template `templateId`, whose state is a State.
template <typename State>
State* ParentDialogState(HWND control, int templateId) {
  const HWND dialog = GetParent(control);
  if (GetWindowLongPtrA(dialog, GWLP_USERDATA) != templateId) return nullptr;
  return DialogState<State>(dialog);
}

// The number in field `id` by ReadFieldNumber; the dialog applies its own field rule on top.
FieldNumber ReadField(HWND dialog, int id, bool signAllowed);
// Writes `value` in decimal into field `id`. Hold an UpdateScope around it when the field's
// EN_CHANGE must not count as typing.
void WriteField(HWND dialog, int id, int64_t value);

// What a command's dialog needs to know of the window's image, read once, before anything opens.
struct ImageFacts {
  HGLOBAL image = nullptr;  // the host's; only read
  uint32_t width = 0, height = 0;
  unsigned bits = 0;
  uint32_t colorCount = 0;  // biClrUsed: the entries of the colour table, 0 above 8 bits
  RgbQuad colors[256] = {};
  bool is32Bit() const { return bits == 32; }
};
// Describes `image` into `facts` through LockedDib: false, after the guard's one message, for an
// image the engines refuse.
bool CheckImage(HGLOBAL image, ImageFacts& facts);
// The same without a message, for callers that refuse silently.
bool ReadImageFacts(HGLOBAL image, ImageFacts& facts);
// False, after the message `textId`, when a side of `image` is past `most`: an image that no result
// of the command could hold is refused before its dialog asks for anything.
bool SidesWithin(const ImageFacts& image, uint32_t most, UINT textId);

// The frame of every menu command on an image window:
//   1. the window's image (ZQ_GetHDib); when it has none, show `noImageText` (0: nothing, for the
//      host's own requests) and stop;
//   2. CheckImage: an image the engines would refuse is refused now, with their text, before the
//      user fills in a dialog for nothing;
//   3. `ask(facts)`, before the cursor changes: the dialog (false on Cancel), or for a command
//      without one whatever must succeed first (Invert's copy); false stops the command;
//   4. under the wait cursor, `apply(image)` returns the new image as an OwnedBlock, or an empty
//      one after reporting its failure itself;
//   5. the new image goes to the window with ZQ_SetHDib, still under the wait cursor, and then
//      `handedOver(window)` runs (ZQ_SetInfo where the command records the depth).
// On every stop or failure the window keeps its image.
template <typename Ask, typename Apply, typename HandedOver>
void RunImageCommand(HWND window, UINT noImageText, Ask&& ask, Apply&& apply,
                     HandedOver&& handedOver);

// The same frame for a command that has already taken the window's image (Rotate, Frame and Crop
// ask for the palette too before the image is tested): from the test for none on.
template <typename Ask, typename Apply, typename HandedOver>
void RunImageCommandOn(HWND window, HGLOBAL image, UINT noImageText, Ask&& ask, Apply&& apply,
                       HandedOver&& handedOver) {
  if (!image) {
    if (noImageText) HP_ShowMessage(noImageText);
    return;
  }
  ImageFacts facts;
  if (!CheckImage(image, facts) || !ask(facts)) return;
  WaitCursorScope wait;
  OwnedBlock result = apply(image);
  if (!result) return;
  ZQ_SetHDib(window, static_cast<HGLOBAL>(result.release()));
  handedOver(window);
}

template <typename Ask, typename Apply, typename HandedOver>
void RunImageCommand(HWND window, UINT noImageText, Ask&& ask, Apply&& apply,
                     HandedOver&& handedOver) {
  RunImageCommandOn(window, ZQ_GetHDib(window), noImageText, std::forward<Ask>(ask),
                    std::forward<Apply>(apply), std::forward<HandedOver>(handedOver));
}

template <typename Ask, typename Apply>
void RunImageCommand(HWND window, UINT noImageText, Ask&& ask, Apply&& apply) {
  RunImageCommand(window, noImageText, std::forward<Ask>(ask), std::forward<Apply>(apply),
                  [](HWND) {});
}
