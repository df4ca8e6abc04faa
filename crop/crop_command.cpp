// Crop...: the margins chosen in the Crop dialog are cut off the window's image.
#include "crop/crop.h"
#include "crop/crop_dialog.h"
#include "plugin/commands.h"
#include "plugin/dialog.h"
#include "plugin/host_api.h"
#include "resources/ids.h"
#include "resources/text_ids.h"

void CRP_CropCommand(HWND window) {
  CropSettings crop;
  crop.image = ZQ_GetHDib(window);
  crop.palette = ZQ_GetHPalette(window);
  // The preview needs the palette as much as the image: both are asked for before either is
  // judged, and the lack of either is the same message.
  RunImageCommandOn(
      window, crop.palette ? crop.image : nullptr, IDS_CROP_NO_IMAGE,
      [&](const ImageFacts& image) {
        crop.imageWidth = image.width;
        crop.imageHeight = image.height;
        const INT_PTR chosen = RunModalDialog(ZQ_GetOwnerWnd(window), IDD_CROP, CropProc, &crop);
        // A dialog that could not be made is reported rather than taken as Cancel.
        if (chosen == kDialogNotMade) HP_ShowMessage(IDS_CROP_NO_MEMORY);
        return chosen == 1;
      },
      [&](HGLOBAL image) {
        const CropMargins& m = crop.margins;
        return OwnedBlock(CRP_CropDIB(image, m.left, m.right, m.top, m.bottom));
      },
      [](HWND) {});  // the depth never changes: nothing to tell the host
}
