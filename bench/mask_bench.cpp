// Mask at 1, 8, 24 and 32 bits on 4000 x 3000 against a memcpy of the image's bytes.
//
//   Render: the metafile player painting the Circle into a raster of the image's own format that
//           is already touched (for 32 bits, the separate 8-bit mask): the rasteriser's own cost.
//   Call:   MAS_ApplyMask as imagetool makes it: allocation of the result (and of the 8-bit mask
//           at 32 bits) with their page faults, one rendering, and the merge of every row.
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "bench/bench_support.h"
#include "cli/commands/commands.h"
#include "dib/block.h"
#include "dib/dib.h"
#include "mask/mask.h"
#include "mask/metafile.h"
#include "mask/shapes.h"
#include "resources/text_ids.h"

namespace {

constexpr uint32_t kW = 4000, kH = 3000;

const WmfDrawing& Circle() {
  static const WmfDrawing drawing = [] {
    WmfDrawing d;
    std::string error;
    LoadShape(IDS_SHAPE_CIRCLE, d, error);
    return d;
  }();
  return drawing;
}

void BM_MaskMemcpy(benchmark::State& state) {
  const size_t bytes = ImageBytes(static_cast<unsigned>(state.range(0)), kW, kH);
  MemcpyBaseline(state, bytes);
}

void BM_MaskRender(benchmark::State& state) {
  const unsigned bits = static_cast<unsigned>(state.range(0));
  const unsigned rasterBits = bits == 32 ? 8 : bits;
  const size_t stride = static_cast<size_t>(RowStride(rasterBits, kW));
  std::vector<uint8_t> raster(stride * kH, 0x55);
  for (auto _ : state) {
    RenderMetafile(Circle(), MaskRaster{raster.data(), stride, kW, kH, rasterBits});
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * ImageBytes(bits, kW, kH)));
}

void BM_MaskCall(benchmark::State& state) {
  const unsigned bits = static_cast<unsigned>(state.range(0));
  OwnedBlock image(MakeBenchImage(bits, kW, kH));
  const MaskRenderer render = [](const MaskRaster& r) { return RenderMetafile(Circle(), r); };
  for (auto _ : state) {
    OwnedBlock masked(MAS_ApplyMask(image.get(), render, 0, 1, 1, 32));
    benchmark::DoNotOptimize(masked.get());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * ImageBytes(bits, kW, kH)));
}

void MaskDepths(benchmark::internal::Benchmark* b) {
  for (int bits : {1, 8, 24, 32}) b->Arg(bits);
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_MaskMemcpy)->Apply(MaskDepths);
BENCHMARK(BM_MaskRender)->Apply(MaskDepths);
BENCHMARK(BM_MaskCall)->Apply(MaskDepths);

}  // namespace
