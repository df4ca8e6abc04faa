#include "dib/row_bands.h"

#include <algorithm>
#include <exception>
#include <thread>

namespace {

std::atomic<unsigned> g_rowWorkers{1};

}  // namespace

void SetRowWorkers(unsigned workers) { g_rowWorkers = std::clamp(workers, 1u, kMaxRowWorkers); }

unsigned RowWorkers() { return g_rowWorkers; }

uint32_t RowBandCount(uint32_t rows) {
  return std::max(1u, std::min<uint32_t>(RowWorkers(), rows));
}

void RunRowBands(uint32_t rows, uint32_t count, void (*call)(void*, const RowBand&),
                 void* context) {
  count = std::clamp<uint32_t>(count, 1, kMaxRowWorkers);
  std::atomic<uint32_t> finished{0};
  RowBand bands[kMaxRowWorkers];
  const uint32_t base = rows / count, longer = rows % count;
  for (uint32_t i = 0, first = 0; i < count; ++i) {
    const uint32_t end = first + base + (i < longer ? 1 : 0);
    bands[i] = {i, first, end, &finished};
    first = end;
  }
  // Fixed arrays, not vectors: the only allocation is std::thread's own, and its failing merely
  // moves a band onto this thread.
  std::thread threads[kMaxRowWorkers];
  bool started[kMaxRowWorkers] = {};
  for (uint32_t i = 1; i < count; ++i) {
    try {
      threads[i] = std::thread(call, context, std::cref(bands[i]));
      started[i] = true;
    } catch (const std::exception&) {
      // No thread (system_error) or no memory for one: the band runs here instead.
    }
  }
  call(context, bands[0]);
  for (uint32_t i = 1; i < count; ++i) {
    if (started[i])
      threads[i].join();
    else
      call(context, bands[i]);
  }
}
