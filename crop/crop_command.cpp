// Crop...: the margins chosen in the Crop dialog are cut off the window's image.
#include <cstring>

#include "crop/crop.h"
#include "crop/crop_dialog.h"
#include "dib/block.h"
#include "plugin/commands.h"
#include "plugin/dialog.h"
#include "plugin/host_api.h"
#include "plugin/plugin.h"
#include "resources/ids.h"
#include "resources/text_ids.h"

void CRP_CropCommand(HWND window) {
  // The preview needs the palette as much as the image: both are asked for before either is
  // judged, and the lack of either is the same message.
  Crop.image = ZQ_GetHDib(window);
  Crop.palette = ZQ_GetHPalette(window);
  if (!Crop.image || !Crop.palette) {
    HP_ShowMessage(IDS_CROP_NO_IMAGE);
    return;
  }
  {
    BlockLock lock(Crop.image);
    if (!lock) return;
    BitmapInfoHeader header;
    std::memcpy(&header, lock.get(), sizeof header);
    Crop.imageWidth = static_cast<uint32_t>(header.biWidth);
    Crop.imageHeight = static_cast<uint32_t>(header.biHeight);
  }
  const INT_PTR chosen = DialogBoxParamA(ModuleInstance, MAKEINTRESOURCEA(IDD_CROP),
                                         ZQ_GetOwnerWnd(window), CropProc, 0);
  // A dialog that could not be made is reported rather than taken as Cancel, and never leads to
  // a crop with the margins of an earlier run.
  if (chosen == -1) {
    HP_ShowMessage(IDS_CROP_NO_MEMORY);
    return;
  }
  if (chosen == 0) return;
  WaitCursorScope wait;
  const CropMargins& m = Crop.margins;
  OwnedBlock result(CRP_CropDIB(Crop.image, m.left, m.right, m.top, m.bottom));
  if (result) ZQ_SetHDib(window, static_cast<HGLOBAL>(result.release()));
}
