// The exported composition: FRM_ComposeFrame, then the caption recorded as a metafile and merged
// by the mask engine through the GDI renderer. Choices made here:
//  - The metafile and the font are deleted on every path, also when the caption is merged; nothing
//    of a failed caption is left behind.
//  - A caption that cannot be recorded (no metafile, no font, no screen to measure on, closing
//    fails) shows IDS_FRAME_CAPTION_FAILED and hands back the framed image without caption: the
//    margins asked for are made. The same holds after the mask step's own message (the renderer's
//    IDS_MASK_NO_MEMORY_MASK when it has no surface); only a frame that cannot be built leaves the
//    caller without an image.
//  - The caption is one line exactly as given: a line break is drawn as the font draws it.
//  - The glyphs are rendered without smoothing: the renderer plays the metafile into a one-bit
//    bitmap.
#include "frame/frame_dialog.h"

#include <cstring>

#include "dib/dib.h"
#include "frame/caption.h"
#include "mask/gdi_mask.h"
#include "plugin/gdi.h"
#include "resources/text_ids.h"

namespace {

// The caption in black on white glyph cells, its window the whole framed image of width × height,
// placed by the alignment flags after measuring it on the screen with the same font. Null when any
// step failed; nothing is left behind then.
OwnedMetafile RecordCaption(const FrameSpec& params, int width, int height) {
  MetafileRecorder recorder;
  if (!recorder) return {};
  // FrameFont is laid out byte for byte as LOGFONTA.
  OwnedFont font(CreateFontIndirectA(reinterpret_cast<const LOGFONTA*>(&params.font)));
  if (!font) return {};
  const int length = static_cast<int>(std::strlen(params.caption));

  SIZE extent = {};
  {
    ScreenDC screen;
    if (!screen) return {};
    SelectedObject measuring(screen, font);
    GetTextExtentPointA(screen, params.caption, length, &extent);
  }
  const CaptionOrigin at =
      FRM_CaptionOrigin(static_cast<uint32_t>(width), static_cast<uint32_t>(height), extent.cx,
                        extent.cy, params.alignment);

  // A metafile DC records selections rather than answering with the object replaced, so the stock
  // font is selected back by name instead of through a SelectedObject guard.
  SelectObject(recorder, font);
  SetWindowOrgEx(recorder, 0, 0, nullptr);
  SetWindowExtEx(recorder, width, height, nullptr);
  SetTextColor(recorder, RGB(0, 0, 0));
  SetBkColor(recorder, RGB(255, 255, 255));  // opaque mode stays: each glyph cell is white
  TextOutA(recorder, at.x, at.y, params.caption, length);
  SelectObject(recorder, GetStockObject(SYSTEM_FONT));
  font.reset();
  return recorder.close();
}

}  // namespace

extern "C" HGLOBAL WINAPI IMG_FrameDIB(HGLOBAL source, const FrameSpec* params, DWORD invertFlag,
                                       DWORD alphaFlag, DWORD colorFlag, DWORD /*reserved*/) {
  HostBlock framed = FRM_ComposeFrame(source, *params);
  if (!framed || !params->caption) return static_cast<HGLOBAL>(framed);

  SIZE size = {};  // of the framed image, read before the recording starts and unlocked again
  if (BlockLock lock(framed); lock) {
    const auto* header = reinterpret_cast<const BitmapInfoHeader*>(lock.get());
    size = {header->biWidth, header->biHeight};
  }
  const OwnedMetafile caption =
      size.cx ? RecordCaption(*params, size.cx, size.cy) : OwnedMetafile{};
  if (!caption) {
    HP_ShowMessage(IDS_FRAME_CAPTION_FAILED);
    return static_cast<HGLOBAL>(framed);
  }
  const HMETAFILE metafile = caption.get();
  return static_cast<HGLOBAL>(FRM_AddCaption(
      framed, params->text, LOWORD(invertFlag), LOWORD(alphaFlag), LOWORD(colorFlag),
      [metafile](const MaskRaster& raster) { return RenderMetafileGdi(metafile, raster); },
      DisplayBits()));
}
