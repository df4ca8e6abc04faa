#include "cli/commands/caption_glyphs.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <new>

#include "resources/text_ids.h"

#ifdef IMAGETOOL_HAS_FREETYPE
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#endif

#ifdef IMAGETOOL_HAS_FREETYPE
namespace {

// Owners of the fontconfig and FreeType objects, so every path frees them (LeakSanitizer checks).
struct FcPatternFree {
  void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using Pattern = std::unique_ptr<FcPattern, FcPatternFree>;
struct FreeTypeFace {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ~FreeTypeFace() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
};

// The file and face index fontconfig picks for `font`.
bool FindFont(const CaptionFont& font, std::string& file, int& index, std::string& error) {
  FcConfig* config = FcInitLoadConfigAndFonts();
  bool found = false;
  {
    Pattern pattern(FcNameParse(reinterpret_cast<const FcChar8*>(font.name.c_str())));
    if (config && pattern) {
      if (font.bold) FcPatternAddInteger(pattern.get(), FC_WEIGHT, FC_WEIGHT_BOLD);
      if (font.italic) FcPatternAddInteger(pattern.get(), FC_SLANT, FC_SLANT_ITALIC);
      FcConfigSubstitute(config, pattern.get(), FcMatchPattern);
      FcDefaultSubstitute(pattern.get());
      FcResult result;
      Pattern match(FcFontMatch(config, pattern.get(), &result));
      FcChar8* path = nullptr;
      if (match && FcPatternGetString(match.get(), FC_FILE, 0, &path) == FcResultMatch) {
        file = reinterpret_cast<const char*>(path);
        if (FcPatternGetInteger(match.get(), FC_INDEX, 0, &index) != FcResultMatch) index = 0;
        found = true;
      }
    }
  }
  if (config) FcConfigDestroy(config);
  FcFini();
  // fontconfig answers any name with its nearest font, so none means it knows no font at all.
  if (!found)
    error = "no font for --font \"" + font.name +
            "\": fontconfig finds none (captions need a TrueType font in its folders)";
  return found;
}

// a * b / c rounded to the nearest, halves up, as Windows' MulDiv rounds (all positive here).
int64_t MulDivRounded(int64_t a, int64_t b, int64_t c) { return (a * b * 2 + c) / (2 * c); }

// The size and cell of a face set to a positive font height, by the rules Wine's GDI applies to an
// outline font (the plug-in measures and draws through it, and it renders with FreeType too):
// - the height is the cell, usWinAscent + usWinDescent of the OS/2 table, so the pixels per em
//   are units_per_EM * height / cell, rounded, then lowered while the cell set at them would round
//   above the height (DejaVu Sans at 39 px: 33 ppem, not 34);
// - ascent and descent are the OS/2 values scaled by ppem / units_per_EM as a 16.16 factor,
//   each rounded on its own, so the cell may differ from the height by one (at 17 px: 14 + 4).
// A face with no OS/2 cell falls back on its horizontal header. Wine would prefer a VDMX table's
// heights where a face has one; the DejaVu faces have none.
struct CellMetrics {
  FT_UInt ppem = 0;
  int32_t ascent = 0;
  int32_t descent = 0;
};

CellMetrics CellMetricsFor(FT_Face face, uint32_t height) {
  int64_t ascent = face->ascender, descent = -int64_t{face->descender};
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (os2 && os2->version != 0xFFFF) {
    // Some fonts store a negative descent in the unsigned field; Wine reads its magnitude.
    const int64_t winDescent = std::abs(int64_t{static_cast<int16_t>(os2->usWinDescent)});
    if (os2->usWinAscent + winDescent != 0) ascent = os2->usWinAscent, descent = winDescent;
  }
  const int64_t cell = ascent + descent, em = face->units_per_EM;
  if (!FT_IS_SCALABLE(face) || cell <= 0 || em <= 0) return {};
  int64_t ppem = std::max<int64_t>(1, MulDivRounded(em, height, cell));
  while (ppem > 1 && MulDivRounded(ppem, cell, em) > height) --ppem;
  const int64_t scale = MulDivRounded(ppem, 1 << 16, em);
  return {static_cast<FT_UInt>(ppem), static_cast<int32_t>((ascent * scale + 0x8000) >> 16),
          static_cast<int32_t>((descent * scale + 0x8000) >> 16)};
}

}  // namespace

bool SetCaption(const std::string& text, const CaptionFont& font, CaptionGlyphs& out,
                std::string& error) {
  std::string file;
  int index = 0;
  if (!FindFont(font, file, index, error)) return false;
  FreeTypeFace ft;
  if (FT_Init_FreeType(&ft.library) || FT_New_Face(ft.library, file.c_str(), index, &ft.face)) {
    error = "cannot load the font file " + file;
    return false;
  }
  const CellMetrics cell = CellMetricsFor(ft.face, font.height);
  if (cell.ppem == 0 || FT_Set_Pixel_Sizes(ft.face, 0, cell.ppem)) {
    error = "the font " + file + " cannot be set " + std::to_string(font.height) + " pixels high";
    return false;
  }
  out = CaptionGlyphs{};
  out.file = file;
  out.cy = cell.ascent + cell.descent;
  // Two sets of advances, as the plug-in gets them: its extent is measured on the screen, where
  // Wine hints glyphs for smoothing, while the one-bit bitmap it draws into steps each glyph by its
  // monochrome-hinted advance, often narrower ("Hello frame" at 16: extent 84, ink 77 wide).
  struct Loaded {
    bool measured = false, drawn = false;
    int32_t extent = 0, advance = 0;
    size_t shape = 0;
  };
  std::map<FT_UInt, Loaded> loaded;  // by glyph, as the text repeats its characters
  int32_t extent = 0, pen = 0;
  for (unsigned char c : text) {
    const FT_UInt glyph = FT_Get_Char_Index(ft.face, c);
    auto [at, fresh] = loaded.try_emplace(glyph);
    Loaded& g = at->second;
    if (fresh && !FT_Load_Glyph(ft.face, glyph, FT_LOAD_DEFAULT)) {
      g.measured = true;
      g.extent = static_cast<int32_t>((ft.face->glyph->metrics.horiAdvance + 32) >> 6);
      g.drawn =
          !FT_Load_Glyph(ft.face, glyph, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME);
    }
    if (fresh && g.drawn) {
      const FT_GlyphSlot slot = ft.face->glyph;
      const FT_Bitmap& bitmap = slot->bitmap;
      CaptionGlyphs::Shape s;
      s.left = slot->bitmap_left, s.top = cell.ascent - slot->bitmap_top;
      if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
        s.width = bitmap.width, s.rows = bitmap.rows, s.pitch = (bitmap.width + 7) / 8;
        for (unsigned row = 0; row < bitmap.rows; ++row) {
          const unsigned char* bits =
              bitmap.pitch >= 0
                  ? bitmap.buffer + row * static_cast<unsigned>(bitmap.pitch)
                  : bitmap.buffer + (bitmap.rows - 1 - row) * static_cast<unsigned>(-bitmap.pitch);
          s.bits.insert(s.bits.end(), bits, bits + s.pitch);
        }
      }
      g.advance = static_cast<int32_t>((slot->advance.x + 32) >> 6);
      g.shape = out.shapes.size();
      out.shapes.push_back(std::move(s));
    }
    if (!g.measured) continue;
    extent += g.extent;
    if (!g.drawn) continue;  // a character the font cannot draw takes no room, as a missing glyph
    out.placed.emplace_back(pen, g.shape);
    pen += g.advance;
  }
  out.cx = extent;
  return true;
}

#else

bool SetCaption(const std::string&, const CaptionFont&, CaptionGlyphs&, std::string& error) {
  error = "this imagetool was built without FreeType, so it cannot draw captions";
  return false;
}

#endif

MaskRenderer CaptionRenderer(const CaptionGlyphs& glyphs, int32_t x, int32_t y) {
  return [&glyphs, x, y](const MaskRaster& raster) {
    // Drawn at one bit per pixel, then widened to the raster's format: white ground, black ink.
    const size_t stride = (size_t{raster.width} + 31) / 32 * 4;
    std::vector<uint8_t> mono;
    try {
      mono.assign(stride * raster.height, 0xFF);
    } catch (const std::bad_alloc&) {
      HP_ShowMessage(IDS_MASK_NO_MEMORY_MASK);
      return false;
    }
    const int64_t h = raster.height;
    ForEachInk(glyphs, x, y, raster.width, h, [&](int64_t px, int64_t py) {
      mono[static_cast<size_t>(h - 1 - py) * stride + static_cast<size_t>(px / 8)] &=
          static_cast<uint8_t>(~(0x80 >> (px % 8)));
    });  // ink beyond the image is lost
    MAS_RasterFromMono(mono.data(), stride, raster);
    return true;
  };
}

std::string CaptionLibraries() {
#ifdef IMAGETOOL_HAS_FREETYPE
  const int fc = FcGetVersion();  // major * 10000 + minor * 100 + revision
  return "FreeType " + std::to_string(FREETYPE_MAJOR) + "." + std::to_string(FREETYPE_MINOR) + "." +
         std::to_string(FREETYPE_PATCH) + ", fontconfig " + std::to_string(fc / 10000) + "." +
         std::to_string(fc / 100 % 100) + "." + std::to_string(fc % 100);
#else
  return "no FreeType (no captions)";
#endif
}
