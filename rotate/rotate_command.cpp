// The Rotate... menu command: the Rotate dialog, then the window's image turned by the rotation
// engine under the wait cursor.
#include <windows.h>

#include "dib/dib.h"
#include "plugin/commands.h"
#include "plugin/dialog.h"
#include "plugin/host_api.h"
#include "plugin/plugin.h"
#include "resources/ids.h"
#include "resources/text_ids.h"
#include "rotate/rotate.h"
#include "rotate/rotate_dialog.h"

RotateSettings ROT_Settings;

void ROT_RotateCommand(HWND window) {
  RotateSettings& settings = ROT_Settings;
  // Both handles are taken before the image is tested: the host expects the palette request.
  settings.image = ZQ_GetHDib(window);
  settings.palette = ZQ_GetHPalette(window);
  HGLOBAL turned = nullptr;
  RunImageCommandOn(
      window, static_cast<HGLOBAL>(settings.image), IDS_ROTATE_NO_IMAGE,
      [&](const ImageFacts& image) {
        RotateDialogState state{settings, image};
        return RunModalDialog(ZQ_GetOwnerWnd(window), IDD_ROTATE, RotateProc, &state) == 1;
      },
      [&](HGLOBAL image) {
        OwnedBlock result(ROT_RotateDIB(image, settings.quality, settings.angle,
                                        ROT_FillOf(settings), HostMainWindow));
        turned = static_cast<HGLOBAL>(result.get());
        return result;
      },
      [&](HWND) {
        // The one read of a block after handing it over: High quality may change the depth.
        BlockLock lock(turned);
        if (lock) {
          const auto* header = reinterpret_cast<const BitmapInfoHeader*>(lock.get());
          ZQ_SetInfo(window, kInfoBitCount, header->biBitCount);
        }
      });
}
