#include "dib/row_bands.h"

#include <algorithm>
#include <exception>
#include <thread>

#ifdef __linux__
#include <pthread.h>
#include <sched.h>
#endif

namespace {

std::atomic<unsigned> g_rowWorkers{1};

// One band of a loop on a thread of its own.
struct BandThread {
  void (*call)(void*, const RowBand&);
  void* context;
  const RowBand* band;
#ifdef __linux__
  pthread_t thread;
  bool placed;  // started on the other cores: `allowed` is to be restored
  cpu_set_t allowed;
#else
  std::thread thread;
#endif

  bool Start();  // false: no thread could be had (the band is then the caller's to run)
  void Join();
};

#ifdef __linux__

// A kernel may queue a new thread on its creator's core and let an idle core take it over only at
// the next load balancing: on virtual machines that keep work on few vCPUs, milliseconds later,
// as long as a band's whole work. So a band's thread is started on the other cores the process
// may use, and widens its affinity back to all of them once it runs.
void* RunBandThread(void* start) {
  const auto& t = *static_cast<const BandThread*>(start);
  // Should it fail, the thread merely stays off the caller's core.
  if (t.placed) sched_setaffinity(0, sizeof t.allowed, &t.allowed);
  t.call(t.context, *t.band);
  return nullptr;
}

bool BandThread::Start() {
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  placed = false;
  const int here = sched_getcpu();
  if (here >= 0 && sched_getaffinity(0, sizeof allowed, &allowed) == 0 &&
      CPU_ISSET(here, &allowed) && CPU_COUNT(&allowed) > 1) {
    cpu_set_t others = allowed;
    CPU_CLR(here, &others);
    placed = pthread_attr_setaffinity_np(&attributes, sizeof others, &others) == 0;
  }
  const bool started = pthread_create(&thread, &attributes, RunBandThread, this) == 0;
  pthread_attr_destroy(&attributes);
  return started;
}

void BandThread::Join() { pthread_join(thread, nullptr); }

#else

bool BandThread::Start() {
  try {
    thread = std::thread(call, context, std::cref(*band));
    return true;
  } catch (const std::exception&) {
    return false;  // no thread (system_error) or no memory for one
  }
}

void BandThread::Join() { thread.join(); }

#endif

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
  // Fixed arrays, not vectors: nothing is allocated but the threads themselves, and a thread that
  // cannot be had merely moves its band onto this thread.
  BandThread threads[kMaxRowWorkers] = {};
  bool started[kMaxRowWorkers] = {};
  for (uint32_t i = 1; i < count; ++i) {
    threads[i].call = call;
    threads[i].context = context;
    threads[i].band = &bands[i];
    started[i] = threads[i].Start();
  }
  call(context, bands[0]);
  for (uint32_t i = 1; i < count; ++i) {
    if (started[i])
      threads[i].Join();
    else
      call(context, bands[i]);
  }
}
