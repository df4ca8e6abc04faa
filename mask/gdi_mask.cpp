// The mask renderer on GDI. Choices made here:
//  - The drawing surface is always a one-bit, one-plane bitmap, whatever the image and the display.
//    Text played into a bitmap of the screen's format comes out smoothed (grey pixels beside the
//    black ones), while in a one-bit bitmap it is pure black and white; one surface for every depth
//    and display makes the mask the same everywhere and costs an eighth of a 24-bit surface.
//  - The read-back is always the one-bit drawing, through a header of our own, spread by
//    MAS_RasterFromMono into the raster's format: a pixel is painted exactly when its bit is the
//    black one, so no colour-table matching is involved. (GetDIBits at 1, 4 and 8 bits also
//    rewrites the colour table it is handed, which is why the image's own header is never given to
//    it.)
//  - A surface, bitmap or read-back that cannot be had is reported as a mask that cannot be made
//    (IDS_MASK_NO_MEMORY_MASK), once; the engine then frees the new image and the window keeps its
//    image.
//  - The rasteriser is GDI's PlayMetaFile; it differs from the portable player only along the
//    outlines.
// 16-bit images never get here: the engine refuses them with its own message.
#include "mask/gdi_mask.h"

#include <climits>

#include "dib/block.h"
#include "dib/dib.h"
#include "plugin/gdi.h"
#include "resources/text_ids.h"

uint32_t DisplayBits() {
  ScreenDC screen;
  if (!screen) return 32;  // no screen to ask: any answer gives the same pixels
  return static_cast<uint32_t>(GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES));
}

namespace {

// The one-bit format the drawing is read back in, with room for the two colours GetDIBits reports.
struct OneBitInfo {
  BITMAPINFOHEADER header;
  RGBQUAD colors[2];
};

bool IsBlack(const RGBQUAD& c) { return c.rgbRed == 0 && c.rgbGreen == 0 && c.rgbBlue == 0; }

bool CannotRender() {
  HP_ShowMessage(IDS_MASK_NO_MEMORY_MASK);
  return false;
}

// Fills the bitmap selected into `dc` white and plays the metafile with its window stretched onto
// width × height; the DC's mapping is put back afterwards.
void Draw(HDC dc, HMETAFILE metafile, int width, int height) {
  const RECT all = {0, 0, width, height};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  if (!metafile) return;
  const SavedDC saved(dc);
  SetMapMode(dc, MM_ANISOTROPIC);
  SetViewportOrgEx(dc, 0, 0, nullptr);
  SetViewportExtEx(dc, width, height, nullptr);
  PlayMetaFile(dc, metafile);
}

}  // namespace

bool RenderMetafileGdi(HMETAFILE metafile, const MaskRaster& raster) {
  if (raster.width > INT_MAX || raster.height > INT_MAX) return CannotRender();
  const int width = static_cast<int>(raster.width), height = static_cast<int>(raster.height);

  MemoryDC dc;
  OwnedBitmap bitmap(CreateBitmap(width, height, 1, 1, nullptr));
  if (!dc || !bitmap) return CannotRender();
  {
    SelectedObject selected(dc, bitmap);
    Draw(dc, metafile, width, height);
  }  // GetDIBits wants the bitmap out of every DC

  // A one-bit raster takes the drawing straight into its rows; deeper ones need it apart first.
  const size_t monoStride = static_cast<size_t>(RowStride(1, raster.width));
  OwnedBlock work;
  if (raster.bits != 1) work = OwnedBlock(HP_Alloc(uint64_t{monoStride} * raster.height, HP_FIXED));
  BlockLock workLock(work.get());
  uint8_t* mono = raster.bits == 1 ? raster.rows : workLock.get();
  if (!mono) return CannotRender();

  OneBitInfo info = {};
  info.header.biSize = sizeof info.header;
  info.header.biWidth = width;
  info.header.biHeight = height;  // bottom row first, as the raster is stored
  info.header.biPlanes = 1;
  info.header.biBitCount = 1;
  info.header.biCompression = BI_RGB;
  if (GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), mono,
                reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS) != height)
    return CannotRender();
  // Black (painted) must read as 0; should the platform ever report the colours the other way
  // round, the bits are turned over.
  if (!IsBlack(info.colors[0]))
    for (size_t i = 0; i < monoStride * raster.height; ++i)
      mono[i] = static_cast<uint8_t>(~mono[i]);
  if (raster.bits != 1) MAS_RasterFromMono(mono, monoStride, raster);
  return true;
}

HGLOBAL MAS_ApplyMask(HGLOBAL source, HMETAFILE metafile, int32_t invert, int32_t alphaMask,
                      int32_t alphaColor) {
  return MAS_ApplyMask(
      source, [metafile](const MaskRaster& raster) { return RenderMetafileGdi(metafile, raster); },
      invert, alphaMask, alphaColor, DisplayBits());
}
