// Caption glyphs for imagetool frame: one line of text set in a font found by fontconfig and
// rendered by FreeType in monochrome, so that glyph pixels are either ink or not, as the plug-in's
// one-bit rendering makes them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "mask/mask.h"

struct CaptionFont {
  std::string name = "Arial";  // a fontconfig name; the plug-in's dialog starts from Arial too
  uint32_t height = 16;        // cell height in pixels, a positive font height to GDI
  bool bold = false;
  bool italic = false;
};

// The ink of a caption: its extent as the plug-in measures it (the sum of the advances, the cell
// height, both of which may differ from the ink's own reach) and its glyphs placed relative to the
// caption's top-left corner (y grows downwards; overhangs may fall outside the extent). Each glyph
// is rendered once however often the text uses it, so a long caption in a large font costs the
// bitmaps of its distinct characters, not all of its pixels.
struct CaptionGlyphs {
  struct Shape {
    int32_t left = 0, top = 0;  // its top-left pixel, from the pen on the cell's top
    uint32_t width = 0, rows = 0, pitch = 0;
    std::vector<uint8_t> bits;  // rows top down, 1 bit a pixel, the first pixel the high bit
  };
  int32_t cx = 0;
  int32_t cy = 0;
  std::vector<Shape> shapes;
  std::vector<std::pair<int32_t, size_t>> placed;  // each drawn character: pen x, its shape
  std::string file;                                // the font file fontconfig chose
};

// Calls `ink(x, y)` for each inked pixel of `glyphs` set with their top-left corner at (atX, atY)
// that falls inside a window of `width` x `height` pixels.
template <class Ink>
void ForEachInk(const CaptionGlyphs& glyphs, int64_t atX, int64_t atY, int64_t width,
                int64_t height, Ink ink) {
  for (const auto& [pen, index] : glyphs.placed) {
    const CaptionGlyphs::Shape& s = glyphs.shapes[index];
    const int64_t x = atX + pen + s.left, y = atY + s.top;
    const int64_t colEnd = std::min<int64_t>(s.width, width - x);
    const int64_t rowEnd = std::min<int64_t>(s.rows, height - y);
    for (int64_t row = std::max<int64_t>(0, -y); row < rowEnd; ++row)
      for (int64_t col = std::max<int64_t>(0, -x); col < colEnd; ++col)
        if ((s.bits[static_cast<size_t>(row * s.pitch + col / 8)] >> (7 - col % 8)) & 1)
          ink(x + col, y + row);
  }
}

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
