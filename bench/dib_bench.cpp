// Invert, flip and mirror of a 4000 × 3000 image against a memcpy of the same bytes. All work is
// in place on touched memory, so these are the engines' own costs.
#include <cstring>
#include <vector>

#include "bench/bench_support.h"
#include "dib/block.h"
#include "dib/transforms.h"

namespace {

constexpr uint32_t kW = 4000, kH = 3000;

void BM_Memcpy(benchmark::State& state) {
  const size_t bytes = ImageBytes(static_cast<unsigned>(state.range(0)), kW, kH);
  MemcpyBaseline(state, bytes);
}
BENCHMARK(BM_Memcpy)->Apply(DepthArgs)->Arg(4)->Unit(benchmark::kMillisecond);

template <bool (*Engine)(HostBlock)>
void BM_InPlace(benchmark::State& state) {
  const unsigned bits = static_cast<unsigned>(state.range(0));
  OwnedBlock image(MakeBenchImage(bits, kW, kH));
  for (auto _ : state) {
    Engine(image.get());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * ImageBytes(bits, kW, kH)));
}

bool Invert(HostBlock image) { return InvertDib(image, nullptr); }

BENCHMARK(BM_InPlace<Invert>)->Name("BM_Invert")->Apply(DepthArgs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InPlace<FlipDib>)->Name("BM_Flip")->Apply(DepthArgs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InPlace<MirrorDib>)
    ->Name("BM_Mirror")
    ->Apply(DepthArgs)
    ->Arg(4)
    ->Unit(benchmark::kMillisecond);

}  // namespace
