// High-quality scaling of a 4000 × 3000 image: shrinking to a third and to a half, enlarging to
// twice the size, and an 8-bit palette image shrunk in grey mode. Each case is measured twice:
// "Kernel" writes the rows into a result and scratch block that are already touched (the engine's
// own cost), "Call" is the whole operation including the allocation and first touch of its
// result. The memcpy baseline copies, between touched buffers, as many bytes as the larger of the
// case's source and result images.
#include <algorithm>
#include <cstring>
#include <vector>

#include "bench/bench_support.h"
#include "dib/block.h"
#include "dib/dib.h"
#include "scale/nearest.h"
#include "scale/resample.h"

namespace {

constexpr uint32_t kW = 4000, kH = 3000;

struct Case {
  unsigned bits;
  uint32_t width, height;
  bool grey;
};
constexpr Case kCases[] = {{24, 1333, 1000, false},
                           {24, 2000, 1500, false},
                           {24, 8000, 6000, false},
                           {8, 1333, 1000, true}};

void CaseArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"case"});
  for (int i = 0; i < static_cast<int>(std::size(kCases)); ++i) b->Arg(i);
  b->Unit(benchmark::kMillisecond);
}

size_t LargerImageBytes(const Case& c) {
  return std::max(ImageBytes(c.bits, kW, kH), ImageBytes(c.grey ? 8 : 24, c.width, c.height));
}

void BM_ScaleMemcpy(benchmark::State& state) {
  const size_t bytes = LargerImageBytes(kCases[state.range(0)]);
  MemcpyBaseline(state, bytes);
}
BENCHMARK(BM_ScaleMemcpy)->Apply(CaseArgs);

void BM_ScaleKernel(benchmark::State& state) {
  const Case& c = kCases[state.range(0)];
  OwnedBlock source(MakeBenchImage(c.bits, kW, kH));
  BlockLock sourceLock(source.get());
  DibView in;
  DescribeDib(sourceLock.get(), HP_Size(source.get()), in);
  BitmapInfoHeader header;
  SCL_ResultHeader(in, c.width, c.height, c.grey, header);
  std::vector<uint8_t> block(static_cast<size_t>(SCL_ResultBytes(header)), 0);
  const DibView out = SCL_StartResult(block.data(), header);
  std::vector<uint64_t> scratch(static_cast<size_t>(SCL_ScratchBytes(in, out) / 8 + 1), 0);
  for (auto _ : state) {
    SCL_ResampleInto(in, out, reinterpret_cast<uint8_t*>(scratch.data()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * LargerImageBytes(c)));
}
BENCHMARK(BM_ScaleKernel)->Apply(CaseArgs);

void BM_ScaleCall(benchmark::State& state) {
  const Case& c = kCases[state.range(0)];
  OwnedBlock source(MakeBenchImage(c.bits, kW, kH));
  const ScaleOperation op = SCL_ChooseOperation(kW, kH, c.width, c.height);
  for (auto _ : state) {
    OwnedBlock result(op(source.get(), c.width, c.height, c.grey, nullptr));
    benchmark::DoNotOptimize(result.get());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * LargerImageBytes(c)));
}
BENCHMARK(BM_ScaleCall)->Apply(CaseArgs);

// The low-quality path, for comparison: nearest neighbour, whole call.
void BM_ResizeNearest(benchmark::State& state) {
  const Case& c = kCases[state.range(0)];
  OwnedBlock source(MakeBenchImage(c.bits, kW, kH));
  for (auto _ : state) {
    OwnedBlock result(ResizeNearest(source.get(), c.width, c.height));
    benchmark::DoNotOptimize(result.get());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * LargerImageBytes(c)));
}
BENCHMARK(BM_ResizeNearest)->Apply(CaseArgs);

}  // namespace
