// Turns of a 4000 × 3000 image. The exact turns are measured twice: the row kernels alone on
// buffers already touched (the engine's own cost, to compare with BM_RotateMemcpy of the same
// depth in the same run) and the whole call, which also allocates and first-touches the new image.
// The any-angle turns are whole calls at 30 degrees. On a shared machine, run with repetitions
// and compare the "min" rows, the least disturbed.
#include <algorithm>
#include <vector>

#include "bench/bench_support.h"
#include "dib/block.h"
#include "dib/dib.h"
#include "rotate/rotate.h"

namespace {

constexpr uint32_t kW = 4000, kH = 3000;

double Min(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

void BM_RotateMemcpy(benchmark::State& state) {
  const size_t bytes = ImageBytes(static_cast<unsigned>(state.range(0)), kW, kH);
  MemcpyBaseline(state, bytes);
}
BENCHMARK(BM_RotateMemcpy)
    ->Apply(DepthArgs)
    ->Arg(4)
    ->ComputeStatistics("min", Min)
    ->Unit(benchmark::kMillisecond);

using Kernel = void (*)(const uint8_t*, uint8_t*, size_t, size_t, uint32_t, uint32_t, unsigned);

template <Kernel Turn, bool Quarter>
void BM_TurnKernel(benchmark::State& state) {
  const unsigned bits = static_cast<unsigned>(state.range(0));
  OwnedBlock image(MakeBenchImage(bits, kW, kH));
  BlockLock lock(image.get());
  DibView s;
  DescribeDib(lock.get(), HP_Size(image.get()), s);
  const uint32_t width = Quarter ? kH : kW, height = Quarter ? kW : kH;
  const auto stride = static_cast<size_t>(RowStride(bits, width));
  std::vector<uint8_t> out(stride * height, 1);
  for (auto _ : state) {
    Turn(s.rows, out.data(), s.stride, stride, kW, kH, bits);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * ImageBytes(bits, kW, kH)));
}
BENCHMARK(BM_TurnKernel<ROT_Rotate90, true>)
    ->Name("BM_Rotate90Kernel")
    ->Apply(DepthArgs)
    ->Arg(4)
    ->ComputeStatistics("min", Min)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TurnKernel<ROT_Rotate270, true>)
    ->Name("BM_Rotate270Kernel")
    ->Apply(DepthArgs)
    ->ComputeStatistics("min", Min)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TurnKernel<ROT_Rotate180, false>)
    ->Name("BM_Rotate180Kernel")
    ->Apply(DepthArgs)
    ->ComputeStatistics("min", Min)
    ->Unit(benchmark::kMillisecond);

void BM_RightAngleCall(benchmark::State& state) {
  const unsigned bits = static_cast<unsigned>(state.range(0));
  OwnedBlock image(MakeBenchImage(bits, kW, kH));
  for (auto _ : state) {
    OwnedBlock result(ROT_RightAngle(image.get(), 1));
    benchmark::DoNotOptimize(result.get());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * ImageBytes(bits, kW, kH)));
}
BENCHMARK(BM_RightAngleCall)
    ->Name("BM_Rotate90Call")
    ->Apply(DepthArgs)
    ->ComputeStatistics("min", Min)
    ->Unit(benchmark::kMillisecond);

void BM_AnyAngleCall(benchmark::State& state) {
  const unsigned bits = static_cast<unsigned>(state.range(0));
  const auto quality = static_cast<uint16_t>(state.range(1));
  OwnedBlock image(MakeBenchImage(bits, kW, kH));
  const RotateFill fill;
  for (auto _ : state) {
    OwnedBlock result(ROT_RotateDIB(image.get(), quality, 30, fill, nullptr));
    benchmark::DoNotOptimize(result.get());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kW * kH);
}
BENCHMARK(BM_AnyAngleCall)
    ->Name("BM_Rotate30Call")
    ->ArgsProduct({{1, 8, 24, 32}, {kQualityLow, kQualityHigh}})
    ->ArgNames({"bits", "high"})
    ->ComputeStatistics("min", Min)
    ->Unit(benchmark::kMillisecond);

}  // namespace
