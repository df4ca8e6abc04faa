// Caption glyphs for imagetool frame: one line of text set in a font found by fontconfig and
// rendered by FreeType in monochrome, so that glyph pixels are either ink or not, as the plug-in's
// one-bit rendering makes them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mask/mask.h"

struct CaptionFont {
  std::string name = "Arial";  // a fontconfig name; the plug-in's dialog starts from Arial too
  uint32_t height = 16;        // cell height in pixels, a positive font height to GDI
  bool bold = false;
  bool italic = false;
};

// The ink of a caption: its extent as the plug-in measures it (the sum of the advances, the cell
// height, both of which may differ from the ink's own reach) and every inked pixel relative to the
// caption's top-left corner (y grows downwards; overhangs may fall outside the extent).
struct CaptionGlyphs {
  int32_t cx = 0;
  int32_t cy = 0;
  std::vector<std::pair<int32_t, int32_t>> ink;
  std::string file;  // the font file fontconfig chose
};

// Sets `text` (single bytes, read as Latin-1) in `font`. False with a one-line `error` when the
// font cannot be found or loaded, or when this build has no FreeType.
bool SetCaption(const std::string& text, const CaptionFont& font, CaptionGlyphs& out,
                std::string& error);

// A renderer for the mask engine that draws `glyphs` with their top-left corner at (x, y) of a
// drawing window the size of the raster. `glyphs` must outlive the renderer.
MaskRenderer CaptionRenderer(const CaptionGlyphs& glyphs, int32_t x, int32_t y);

// "FreeType 2.12.1, fontconfig 2.14.1", the libraries captions are set with, or what this build
// lacks.
std::string CaptionLibraries();
