// The Mask command: the Mask Image dialog, then the image masked with the chosen shape.
#include "dib/block.h"
#include "dib/dib.h"
#include "mask/gdi_mask.h"
#include "mask/mask_dialog.h"
#include "plugin/commands.h"
#include "plugin/dialog.h"
#include "plugin/host_api.h"
#include "plugin/settings.h"
#include "resources/ids.h"

void MAS_MaskCommand(HWND window) {
  MaskCommandState state;
  // The menu is greyed for a window without an image, so none gets a message of its own here.
  RunImageCommand(
      window, 0,
      [&](HGLOBAL image) {
        state.image = image;
        state.palette = ZQ_GetHPalette(window);
        {
          BlockLock lock(image);
          if (!lock) return false;
          const auto* header = reinterpret_cast<const BitmapInfoHeader*>(lock.get());
          state.colorCount = header->biClrUsed;
          state.trueColorAlpha = header->biBitCount == 32;
        }
        return RunModalDialog(ZQ_GetOwnerWnd(window), IDD_MASK_IMAGE, MAS_MaskProc, &state) == 1;
      },
      [&](HGLOBAL image) {
        return OwnedBlock(MAS_ApplyMask(image, state.metafile, MaskSettings.invert,
                                        MaskSettings.alphaMask, MaskSettings.alphaColor));
      });
  ReleaseShape(state);
}
