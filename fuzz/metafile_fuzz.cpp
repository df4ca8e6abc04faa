// Fuzz target for the metafile player: any bytes are parsed, and whatever parses is rendered into
// small rasters of two depths. Built as a libFuzzer target with clang, and as a replay program
// (metafile_replay.cpp) with any compiler.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dib/host_port.h"
#include "mask/metafile.h"

// The player's one message (out of memory) goes through the host port; nothing to show here.
void HP_ShowMessage(unsigned) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WmfDrawing drawing;
  std::string error;
  if (!ParseMetafile(data, size, drawing, error)) return 0;
  for (const uint32_t bits : {1u, 8u}) {
    const uint32_t width = bits == 1 ? 13 : 31, height = bits == 1 ? 7 : 17;
    const size_t stride = (bits * width + 31) / 32 * 4;
    std::vector<uint8_t> raster(stride * height);
    RenderMetafile(drawing, MaskRaster{raster.data(), stride, width, height, bits});
  }
  return 0;
}
