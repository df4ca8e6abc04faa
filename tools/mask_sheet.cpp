// Draws the stock mask shapes side by side at 256 × 256, each with its name under it, into an
// 8-bit grey BMP file for a person to look at: mask_sheet OUTPUT.bmp
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/formats/bmp_io.h"
#include "cli/commands/commands.h"
#include "dib/dib.h"
#include "mask/metafile.h"
#include "mask/shapes.h"
#include "resources/text_ids.h"

namespace {

constexpr uint32_t kTile = 256, kGap = 8, kLabel = 22, kColumns = 6;
constexpr uint8_t kBackground = 160, kPaper = 255, kInk = 0;

// 5 × 7 capitals for the labels: bit 34 − p is pixel p, row by row from the top left; 0 = no glyph.
uint64_t Glyph(char c) {
  static const char letters[] = "ABCDEFGHIKLMNOPRSTUVWY";
  static const uint64_t font[] = {0x3A31FC631, 0x7A31F463E, 0x3A308422E, 0x7A318C63E, 0x7E10F421F,
                                  0x7E10F4210, 0x3A30BC62F, 0x4631FC631, 0x38842108E, 0x4654C5251,
                                  0x42108421F, 0x4775AC631, 0x47359C631, 0x3A318C62E, 0x7A31F4210,
                                  0x7A31F5251, 0x3E107043E, 0x7C8421084, 0x46318C62E, 0x46318C544,
                                  0x4631AD6AA, 0x462A21084};
  const char* at = c ? std::strchr(letters, c) : nullptr;
  return at ? font[at - letters] : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: mask_sheet OUTPUT.bmp\n");
    return 2;
  }
  const uint32_t rows = (kShapeCount + kColumns - 1) / kColumns;
  const uint32_t width = kColumns * (kTile + kGap) + kGap,
                 height = rows * (kTile + kLabel + kGap) + kGap;
  const size_t stride = static_cast<size_t>(RowStride(8, width));
  std::vector<uint8_t> sheet(size_t{width} * height, kBackground);  // top row first
  std::vector<uint8_t> tile(size_t{kTile} * kTile);                 // bottom row first
  for (unsigned k = 0; k < kShapeCount; ++k) {
    const unsigned id = kFirstShapeId + k;
    WmfDrawing drawing;
    std::string error;
    std::fill(tile.begin(), tile.end(), uint8_t{0xFF});
    if (!LoadShape(id, drawing, error) ||
        !RenderMetafile(drawing, MaskRaster{tile.data(), kTile, kTile, kTile, 8})) {
      std::fprintf(stderr, "%s: %s\n", ShapeFileName(id).c_str(), error.c_str());
      return 1;
    }
    const uint32_t ox = kGap + k % kColumns * (kTile + kGap),
                   oy = kGap + k / kColumns * (kTile + kLabel + kGap);
    for (uint32_t y = 0; y < kTile + kLabel; ++y)
      for (uint32_t x = 0; x < kTile; ++x)
        sheet[(oy + y) * width + ox + x] =
            y < kTile && tile[(kTile - 1 - y) * kTile + x] == 0 ? kInk : kPaper;
    std::string name = TextById(id);
    for (size_t i = 0; i < name.size(); ++i) {
      const uint64_t g =
          Glyph(static_cast<char>(std::toupper(static_cast<unsigned char>(name[i]))));
      for (uint32_t p = 0; p < 35; ++p)
        if (g >> (34 - p) & 1)
          for (uint32_t d = 0; d < 4; ++d)
            sheet[(oy + kTile + 4 + p / 5 * 2 + d / 2) * width + ox + 4 + i * 12 + p % 5 * 2 +
                  d % 2] = kInk;
    }
  }

  // The sheet as a PackedDib with a grey ramp for its colour table.
  std::vector<uint8_t> dib(kHeaderSize + 256 * sizeof(RgbQuad) + stride * height);
  BitmapInfoHeader header{};
  header.biSize = kHeaderSize;
  header.biWidth = static_cast<int32_t>(width);
  header.biHeight = static_cast<int32_t>(height);
  header.biPlanes = 1;
  header.biBitCount = 8;
  header.biSizeImage = static_cast<uint32_t>(stride * height);
  header.biClrUsed = 256;
  std::memcpy(dib.data(), &header, sizeof header);
  for (uint32_t i = 0; i < 256; ++i) {
    const uint8_t v = static_cast<uint8_t>(i);
    const RgbQuad grey{v, v, v, 0};
    std::memcpy(dib.data() + kHeaderSize + 4 * i, &grey, sizeof grey);
  }
  uint8_t* pixels = dib.data() + kHeaderSize + 256 * sizeof(RgbQuad);
  for (uint32_t y = 0; y < height; ++y)
    std::memcpy(pixels + (height - 1 - y) * stride, &sheet[size_t{y} * width], width);
  std::string error;
  if (!WriteBmpFile(argv[1], dib.data(), dib.size(), error)) {
    std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
    return 1;
  }
  return 0;
}
