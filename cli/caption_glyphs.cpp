#include "cli/caption_glyphs.h"

#include <memory>
#include <new>

#include "resources/text_ids.h"

#ifdef IMAGETOOL_HAS_FREETYPE
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
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
  if (!found) error = "no font matches --font \"" + font.name + "\"";
  return found;
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
  // The height is the cell height (ascent plus descent), as a positive font height means to GDI.
  FT_Size_RequestRec request{FT_SIZE_REQUEST_TYPE_CELL, 0, static_cast<FT_Long>(font.height) << 6,
                             0, 0};
  if (FT_Request_Size(ft.face, &request)) {
    error = "the font " + file + " cannot be set " + std::to_string(font.height) + " pixels high";
    return false;
  }
  const int32_t baseline = static_cast<int32_t>((ft.face->size->metrics.ascender + 63) >> 6);
  out = CaptionGlyphs{};
  out.cy = static_cast<int32_t>(font.height);
  int32_t pen = 0;
  for (unsigned char c : text) {
    const FT_UInt glyph = FT_Get_Char_Index(ft.face, c);
    if (FT_Load_Glyph(ft.face, glyph, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME))
      continue;  // a character the font cannot draw takes no room, as a missing glyph would
    const FT_GlyphSlot slot = ft.face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
      for (unsigned row = 0; row < bitmap.rows; ++row) {
        const unsigned char* bits =
            bitmap.pitch >= 0
                ? bitmap.buffer + row * static_cast<unsigned>(bitmap.pitch)
                : bitmap.buffer + (bitmap.rows - 1 - row) * static_cast<unsigned>(-bitmap.pitch);
        for (unsigned col = 0; col < bitmap.width; ++col)
          if ((bits[col / 8] >> (7 - col % 8)) & 1)
            out.ink.emplace_back(pen + slot->bitmap_left + static_cast<int32_t>(col),
                                 baseline - slot->bitmap_top + static_cast<int32_t>(row));
      }
    pen += static_cast<int32_t>((slot->advance.x + 32) >> 6);
  }
  out.cx = pen;
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
    const int64_t w = raster.width, h = raster.height;
    for (const auto& [dx, dy] : glyphs.ink) {
      const int64_t px = int64_t{x} + dx, py = int64_t{y} + dy;
      if (px < 0 || py < 0 || px >= w || py >= h) continue;  // beyond the image: lost
      mono[static_cast<size_t>(h - 1 - py) * stride + static_cast<size_t>(px / 8)] &=
          static_cast<uint8_t>(~(0x80 >> (px % 8)));
    }
    MAS_RasterFromMono(mono.data(), stride, raster);
    return true;
  };
}
