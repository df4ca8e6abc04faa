// Shared pieces of the benchmarks: test images and the memcpy baseline.
#pragma once

#include <cstddef>
#include <cstdint>

#include <benchmark/benchmark.h>

#include "dib/host_port.h"

// A PackedDib of the given depth and size with a full colour table and pseudo-random pixels,
// every page already touched. The caller owns the block.
HostBlock MakeBenchImage(unsigned bits, uint32_t width, uint32_t height);

// Bytes of pixel rows of an image of that depth and size.
size_t ImageBytes(unsigned bits, uint32_t width, uint32_t height);

// The baseline every engine is compared with: a memcpy of `bytes` bytes between two buffers that
// are already touched, with bytes per second set.
void MemcpyBaseline(benchmark::State& state, size_t bytes);

// Registers the depth argument used by the per-depth benchmarks.
void DepthArgs(benchmark::internal::Benchmark* b);
