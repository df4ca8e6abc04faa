// A portable player for the Windows metafiles (WMF) of the mask shapes, so that masks can be
// rendered without GDI. It renders the way the plug-in's GDI rendering does: the metafile's
// logical window stretched onto the whole raster independently in x and y, polygons filled by
// pixel centres with no smoothing, nothing drawn outside the fills.
//
// It reads exactly the records the shapes use and refuses every other record with a message that
// names it. Lengths are checked before every read, so a corrupt or truncated file is refused and
// never read out of bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "mask/mask.h"

struct WmfPoint {
  int16_t x;
  int16_t y;
};

// The logical window: its origin and extent in logical units (extents never 0; a negative extent
// makes that axis grow the other way, as the shapes' vertical axis does).
struct WmfWindow {
  int32_t orgX = 0;
  int32_t orgY = 0;
  int32_t extX = 1;
  int32_t extY = 1;
};

// One filled figure: a polygon, or several filled together (a poly-polygon), with the window in
// force when it was drawn.
struct WmfFill {
  bool paint;    // true: painted (a black brush); false: unpainted again (a white brush)
  bool winding;  // fill rule: winding, or alternate (even-odd)
  WmfWindow window;
  std::vector<WmfPoint> points;  // every polygon's points, one after the other
  std::vector<uint32_t> counts;  // points of each polygon
};

// A parsed metafile: the fills in drawing order and the last window set.
struct WmfDrawing {
  WmfWindow window;
  std::vector<WmfFill> fills;
};

// Parses a metafile held in `size` bytes at `data` (the 18-byte header, version 0x0300 or 0x0100,
// no placeable header). On success fills `drawing` and returns true; otherwise returns false with
// a one-line reason in `error` ("unsupported record 0x0418 at byte 86", "truncated record at byte
// 40", ...). Never reads outside the buffer.
bool ParseMetafile(const uint8_t* data, size_t size, WmfDrawing& drawing, std::string& error);

// Renders `drawing` into `raster` as a MaskRenderer must: painted pixels all bits 0, other pixels
// all bits 1, padding after the last pixel of a row 0. Returns false, after showing
// IDS_MASK_NO_MEMORY_MASK, only when its working memory (the polygon edges) cannot be
// had.
bool RenderMetafile(const WmfDrawing& drawing, const MaskRaster& raster);
