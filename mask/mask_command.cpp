// The Mask command: the Mask Image dialog, then the image masked with the chosen shape.
#include "mask/gdi_mask.h"
#include "mask/mask_dialog.h"
#include "plugin/commands.h"
#include "plugin/dialog.h"
#include "plugin/host_api.h"
#include "plugin/settings.h"
#include "resources/ids.h"

void MAS_MaskCommand(HWND window) {
  // The shape and its temporary file go with the state, whichever way the command ends.
  MaskCommandState state;
  // The menu is greyed for a window without an image, so none gets a message of its own here.
  RunImageCommand(
      window, 0,
      [&](const ImageFacts& image) {
        state.image = &image;
        state.palette = ZQ_GetHPalette(window);
        return RunModalDialog(ZQ_GetOwnerWnd(window), IDD_MASK_IMAGE, MAS_MaskProc, &state) == 1;
      },
      [&](HGLOBAL image) {
        return OwnedBlock(MAS_ApplyMask(image, state.metafile, MaskSettings.invert,
                                        MaskSettings.alphaMask, MaskSettings.alphaColor));
      });
}
