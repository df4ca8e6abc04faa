// The Invert, Flip and Mirror menu commands: each changes a writable copy of the window's image in
// place and hands it back to the window.
#include <windows.h>

#include "dib/transforms.h"
#include "plugin/commands.h"
#include "plugin/dialog.h"
#include "plugin/host_api.h"
#include "resources/text_ids.h"

namespace {

// The command frame with the host's copy in place of a dialog: a copy that cannot be made is
// reported before the cursor changes. `work` changes the copy in place and reports its own
// failures; on failure the copy is freed and the window keeps its image.
template <typename Work>
void RunInPlaceCommand(HWND window, UINT noImageText, UINT noMemoryText, Work work) {
  OwnedBlock copy;
  RunImageCommand(
      window, noImageText,
      [&](const ImageFacts&) {
        copy = OwnedBlock(ZQ_CopyHDib(window));
        if (!copy) HP_ShowMessage(noMemoryText);
        return bool(copy);
      },
      [&](HGLOBAL) { return work(copy.get()) ? std::move(copy) : OwnedBlock(); });
}

}  // namespace

void InvertCommand(HWND window) {
  RunInPlaceCommand(window, IDS_INVERT_NO_IMAGE, IDS_INVERT_NO_MEMORY,
                    [window](HostBlock copy) { return InvertDib(copy, ZQ_GetOwnerWnd(window)); });
}

void FlipCommand(HWND window) {
  RunInPlaceCommand(window, IDS_FLIP_NO_IMAGE, IDS_FLIP_NO_MEMORY, FlipDib);
}

void MirrorCommand(HWND window) {
  RunInPlaceCommand(window, IDS_MIRROR_NO_IMAGE, IDS_MIRROR_NO_MEMORY, MirrorDib);
}
