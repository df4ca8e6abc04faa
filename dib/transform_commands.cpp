// The Invert, Flip and Mirror menu commands: each changes a writable copy of the window's image in
// place and hands it back to the window.
#include <windows.h>

#include "dib/transforms.h"
#include "plugin/commands.h"
#include "plugin/host_api.h"
#include "plugin/plugin.h"
#include "resources/text_ids.h"

namespace {

// The frame the three commands share. `work` changes the copy in place and reports its own
// failures; on failure the copy is freed and the window keeps its image.
template <typename Work>
void RunInPlaceCommand(HWND window, UINT noImageText, UINT noMemoryText, Work work) {
  if (!ZQ_GetHDib(window)) {
    HP_ShowMessage(noImageText);
    return;
  }
  HGLOBAL copy = ZQ_CopyHDib(window);
  if (!copy) {
    HP_ShowMessage(noMemoryText);
    return;
  }
  ShowWaitCursor();
  if (work(copy))
    ZQ_SetHDib(window, copy);
  else
    GlobalFree(copy);
  RestoreCursor();
}

}  // namespace

void InvertCommand(HWND window) {
  RunInPlaceCommand(window, IDS_INVERT_NO_IMAGE, IDS_INVERT_NO_MEMORY,
                    [window](HGLOBAL copy) { return InvertDib(copy, ZQ_GetOwnerWnd(window)); });
}

void FlipCommand(HWND window) {
  RunInPlaceCommand(window, IDS_FLIP_NO_IMAGE, IDS_FLIP_NO_MEMORY, FlipDib);
}

void MirrorCommand(HWND window) {
  RunInPlaceCommand(window, IDS_MIRROR_NO_IMAGE, IDS_MIRROR_NO_MEMORY, MirrorDib);
}
