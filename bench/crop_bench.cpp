// Crop, tile and frame at 1, 8 and 24 bits against a memcpy of the result's bytes.
//
// Each operation is measured twice: its row work into a result that is already touched (*Rows:
// the engine's own cost, to compare with the memcpy of the same bytes) and the whole call as
// imagetool makes it (*Call: allocating the fresh result and its page faults included).
//   Crop:  4000 x 3000 less 8 pixels on every side (rows start on a byte), and with a left
//          margin of 3 instead (1-bit rows shifted inside their bytes).
//   Tile:  1000 x 1000 four across and three down (4000 x 3000); 999 wide, so that 1-bit
//          copies start inside bytes; and 1000 wide mirrored.
//   Frame: 4000 x 3000 with 100-pixel margins, Filled and Outline.
#include <cstring>
#include <vector>

#include "bench/bench_support.h"
#include "crop/crop.h"
#include "dib/block.h"
#include "dib/dib.h"
#include "frame/frame.h"
#include "frame/margins.h"
#include "mask/tile.h"

namespace {

constexpr uint32_t kW = 4000, kH = 3000;

// A bench image, locked and described for the benchmark's lifetime.
struct Source {
  Source(unsigned bits, uint32_t width, uint32_t height)
      : block(MakeBenchImage(bits, width, height)), lock(block.get()) {
    DescribeDib(lock.get(), HP_Size(block.get()), view);
  }
  OwnedBlock block;
  BlockLock lock;
  DibView view;
};

// The memory of a width x height result like `source`, every page touched.
struct Result {
  Result(const DibView& source, uint32_t width, uint32_t height)
      : bytes(static_cast<size_t>(
                  PackedDibSize(ColorTableSize(*source.header), source.bits, width, height)),
              0x55),
        view(StartImageLike(source, bytes.data(), width, height)) {}
  std::vector<uint8_t> bytes;
  DibView view;
};

void CountBytes(benchmark::State& state, unsigned bits, uint32_t width, uint32_t height) {
  state.SetBytesProcessed(
      static_cast<int64_t>(state.iterations() * ImageBytes(bits, width, height)));
}

void Memcpy(benchmark::State& state, unsigned bits, uint32_t width, uint32_t height) {
  MemcpyBaseline(state, ImageBytes(bits, width, height));
}

unsigned Bits(const benchmark::State& state) { return static_cast<unsigned>(state.range(0)); }

// --- Crop: range(1) = 1 for the shifted left margin ---

void BM_CropMemcpy(benchmark::State& state) { Memcpy(state, Bits(state), kW - 16, kH - 16); }

void BM_CropRows(benchmark::State& state) {
  Source source(Bits(state), kW, kH);
  Result result(source.view, kW - 16, kH - 16);
  for (auto _ : state) {
    CRP_CropRows(source.view, state.range(1) ? 3 : 8, 8, result.view);
    benchmark::ClobberMemory();
  }
  CountBytes(state, Bits(state), kW - 16, kH - 16);
}

void BM_CropCall(benchmark::State& state) {
  Source source(Bits(state), kW, kH);
  const uint32_t left = state.range(1) ? 3 : 8;
  for (auto _ : state) OwnedBlock cropped(CRP_CropDIB(source.block.get(), left, 16 - left, 8, 8));
  CountBytes(state, Bits(state), kW - 16, kH - 16);
}

void CropArgs(benchmark::internal::Benchmark* b) {
  b->Args({1, 0})->Args({1, 1})->Args({8, 0})->Args({24, 0})->ArgNames({"bits", "shifted"});
  b->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_CropMemcpy)->Arg(1)->Arg(8)->Arg(24)->ArgName("bits")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CropRows)->Apply(CropArgs);
BENCHMARK(BM_CropCall)->Apply(CropArgs);

// --- Tile: range(1) = 0 plain, 1 copies inside bytes (999 wide), 2 mirrored ---

uint32_t TileWidth(const benchmark::State& state) { return state.range(1) == 1 ? 999 : 1000; }

void BM_TileMemcpy(benchmark::State& state) {
  Memcpy(state, Bits(state), 4 * TileWidth(state), 3000);
}

void BM_TileRows(benchmark::State& state) {
  Source source(Bits(state), TileWidth(state), 1000);
  Result result(source.view, 4 * TileWidth(state), 3000);
  std::vector<uint8_t> rowBuffer(source.view.stride);
  for (auto _ : state) {
    TIL_TileRows(source.view, 4, 3, state.range(1) == 2, result.view, rowBuffer.data());
    benchmark::ClobberMemory();
  }
  CountBytes(state, Bits(state), 4 * TileWidth(state), 3000);
}

void BM_TileCall(benchmark::State& state) {
  Source source(Bits(state), TileWidth(state), 1000);
  for (auto _ : state) OwnedBlock tiled(TIL_TileDIB(source.block.get(), 4, 3, state.range(1) == 2));
  CountBytes(state, Bits(state), 4 * TileWidth(state), 3000);
}

void TileArgs(benchmark::internal::Benchmark* b) {
  b->Args({1, 0})->Args({1, 1})->Args({1, 2})->Args({8, 0})->Args({8, 2})->Args({24, 0})->Args(
      {24, 2});
  b->ArgNames({"bits", "variant"})->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_TileMemcpy)->Apply(TileArgs);
BENCHMARK(BM_TileRows)->Apply(TileArgs);
BENCHMARK(BM_TileCall)->Apply(TileArgs);

// --- Frame: range(1) = the style ---

FrameSpec BenchFrame(const benchmark::State& state) {
  FrameSpec params;
  params.style = static_cast<uint16_t>(state.range(1));
  params.fill = {1, 30, 60, 90};
  FRM_SetMargins(params, kW, kH, 100, 100, 100, 100);
  return params;
}

void BM_FrameMemcpy(benchmark::State& state) { Memcpy(state, Bits(state), kW + 200, kH + 200); }

void BM_FrameRows(benchmark::State& state) {
  const FrameSpec params = BenchFrame(state);
  Source source(Bits(state), kW, kH);
  Result result(source.view, kW + 200, kH + 200);
  for (auto _ : state) {
    FRM_ComposeRows(params, source.view, result.view);
    benchmark::ClobberMemory();
  }
  CountBytes(state, Bits(state), kW + 200, kH + 200);
}

void BM_FrameCall(benchmark::State& state) {
  const FrameSpec params = BenchFrame(state);
  Source source(Bits(state), kW, kH);
  for (auto _ : state) OwnedBlock framed(FRM_ComposeFrame(source.block.get(), params));
  CountBytes(state, Bits(state), kW + 200, kH + 200);
}

void FrameArgs(benchmark::internal::Benchmark* b) {
  for (int bits : {1, 8, 24}) b->Args({bits, kFrameFilled})->Args({bits, kFrameOutline});
  b->ArgNames({"bits", "style"})->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_FrameMemcpy)->Arg(1)->Arg(8)->Arg(24)->ArgName("bits")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameRows)->Apply(FrameArgs);
BENCHMARK(BM_FrameCall)->Apply(FrameArgs);

}  // namespace
