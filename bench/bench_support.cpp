#include "bench/bench_support.h"

#include <cstring>
#include <vector>

#include "dib/block.h"
#include "dib/dib.h"

HostBlock MakeBenchImage(unsigned bits, uint32_t width, uint32_t height) {
  const uint32_t colors = bits <= 8 ? 1u << bits : 0;
  HostBlock block = HP_Alloc(PackedDibSize(colors * 4, bits, width, height), HP_MOVEABLE);
  BlockLock lock(block);
  uint8_t* p = lock.get();
  BitmapInfoHeader h{40,
                     static_cast<int32_t>(width),
                     static_cast<int32_t>(height),
                     1,
                     static_cast<uint16_t>(bits),
                     0,
                     static_cast<uint32_t>(RowStride(bits, width) * height),
                     0,
                     0,
                     colors,
                     0};
  std::memcpy(p, &h, sizeof h);
  uint32_t state = 12345;
  const size_t bytes = HP_Size(block) - 40;
  for (size_t i = 0; i < bytes; ++i) {
    state = state * 1103515245u + 12345u;
    p[40 + i] = static_cast<uint8_t>(state >> 24);
  }
  return block;
}

size_t ImageBytes(unsigned bits, uint32_t width, uint32_t height) {
  return static_cast<size_t>(RowStride(bits, width) * height);
}

void DepthArgs(benchmark::internal::Benchmark* b) {
  for (int bits : {1, 8, 24, 32}) b->Arg(bits);
}

void MemcpyBaseline(benchmark::State& state, size_t bytes) {
  std::vector<uint8_t> a(bytes, 1), b(bytes, 2);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), bytes);
    benchmark::DoNotOptimize(b.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
