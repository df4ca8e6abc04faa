// Row loops split into contiguous bands of rows, one band per thread.
//
// The slow engines (any-angle rotate, high-quality scale) compute every result row independently,
// so a loop over [0, rows) may run as bands on several threads and still write the same bytes.
// The number of threads is one process-wide setting. It stays 1 unless the program sets it:
// IMAGE.DLL never does. The host's progress meter and message calls belong to the thread that
// called the plug-in, and the host is a 32-bit process whose address space and threads the
// plug-in should not take for itself; imagetool sets it to the number of cores.
#pragma once

#include <atomic>
#include <cstdint>

// The most threads a loop uses, whatever is asked for: beyond this the loops are limited by
// memory bandwidth, and each band of a scale keeps its own row buffers.
inline constexpr unsigned kMaxRowWorkers = 8;

// Sets the number of threads the row loops may use (clamped to 1 … kMaxRowWorkers). Meant to be
// called once at start-up, before any engine runs.
void SetRowWorkers(unsigned workers);
unsigned RowWorkers();

// The bands a loop over `rows` rows is split into: RowWorkers(), but never more than the rows
// (and at least 1).
uint32_t RowBandCount(uint32_t rows);

// One band of a loop: rows [first, end).
struct RowBand {
  uint32_t index;  // 0 … count − 1
  uint32_t first;
  uint32_t end;
  std::atomic<uint32_t>* finished;  // rows finished so far by every band

  // Band 0 runs on the calling thread: it alone may call the host (progress steps, messages).
  bool OnCaller() const { return index == 0; }
  // Called after each row; Finished() is then, with a single band, the next row's number.
  void RowDone() const { finished->fetch_add(1, std::memory_order_relaxed); }
  uint32_t Finished() const { return finished->load(std::memory_order_relaxed); }
};

// Splits [0, rows) into `count` contiguous bands (count ≥ 1; the first ones one row longer when
// rows do not divide evenly) and calls work(band) for each: band 0 on the calling thread, the
// others on threads of their own. Returns when every band is done. A band whose thread cannot be
// started runs on the calling thread after band 0. Nothing is allocated through the host port and
// no exception leaves; `work` must not throw.
template <class Work>
void RunRowBands(uint32_t rows, uint32_t count, Work&& work) {
  auto call = [](void* context, const RowBand& band) { (*static_cast<Work*>(context))(band); };
  RunRowBands(rows, count, call, &work);
}

void RunRowBands(uint32_t rows, uint32_t count, void (*call)(void*, const RowBand&), void* context);
