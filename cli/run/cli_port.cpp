// imagetool's host port: blocks from the C heap (large ones mapped with huge pages where the
// system offers them), a progress bar on stderr when it is a terminal and the work takes a while,
// and failure messages on stderr.
#include <algorithm>
#include <chrono>
#include <iterator>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#ifndef _WIN32
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "cli/run/console.h"
#include "dib/host_port.h"
#include "resources/text_ids.h"

namespace {

struct CliBlock {
  void* data = nullptr;
  size_t size = 0;
  size_t mapped = 0;  // bytes mapped for the block, or 0 when it comes from the heap
};

// Blocks from 1 MB are mapped on huge pages: a result of a few megabytes otherwise takes a
// thousand 4 KB faults to first touch, costing more than the whole write of its file.
constexpr size_t kMapThreshold = size_t{1} << 20;
constexpr size_t kHugePage = size_t{2} << 20;

// The progress meter of the engine running on this thread. Only work that takes a while shows
// it: a quick operation would only flicker.
constexpr auto kProgressDelay = std::chrono::milliseconds(500);

struct Progress {
  std::chrono::steady_clock::time_point start;
  unsigned caption = 0;
  uint32_t maximum = 0;
  bool drawn = false;
  int lastPercent = -1;
};
thread_local Progress t_progress;

}  // namespace

HostBlock HP_Alloc(uint64_t bytes, unsigned flags) {
  if (bytes > SIZE_MAX / 2) return nullptr;
  auto* block = new (std::nothrow) CliBlock;
  if (!block) return nullptr;
  block->size = static_cast<size_t>(bytes);
#ifndef _WIN32
  if (block->size >= kMapThreshold) {
    // Huge pages cut the first-touch cost of a fresh image several times over, but only whole
    // aligned ones: the mapping starts on a huge-page boundary and ends on one, or its ragged
    // ends would be faulted in 4 KB at a time. Mapped memory is already zero, so HP_ZEROINIT
    // costs nothing here.
    const size_t mapped = (block->size + kHugePage - 1) & ~(kHugePage - 1);
    void* p = mmap(nullptr, mapped + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                   -1, 0);
    if (p != MAP_FAILED) {
      const auto start = reinterpret_cast<uintptr_t>(p);
      const uintptr_t aligned = (start + kHugePage - 1) & ~uintptr_t{kHugePage - 1};
      if (aligned != start) munmap(p, aligned - start);
      munmap(reinterpret_cast<void*>(aligned + mapped), start + kHugePage - aligned);
      madvise(reinterpret_cast<void*>(aligned), mapped, MADV_HUGEPAGE);
      block->data = reinterpret_cast<void*>(aligned);
      block->mapped = mapped;
      return block;
    }
  }
#endif
  block->data = (flags & HP_ZEROINIT) ? std::calloc(block->size ? block->size : 1, 1)
                                      : std::malloc(block->size ? block->size : 1);
  if (!block->data) {
    delete block;
    return nullptr;
  }
  return block;
}

void* HP_Lock(HostBlock block) { return block ? static_cast<CliBlock*>(block)->data : nullptr; }
void HP_Unlock(HostBlock) {}

void HP_Free(HostBlock handle) {
  auto* block = static_cast<CliBlock*>(handle);
  if (!block) return;
#ifndef _WIN32
  if (block->mapped) {
    munmap(block->data, block->mapped);
    delete block;
    return;
  }
#endif
  std::free(block->data);
  delete block;
}

size_t HP_Size(HostBlock block) { return block ? static_cast<CliBlock*>(block)->size : 0; }

void HP_ProgressOpen(HostWindow, unsigned captionTextId) {
  t_progress = Progress{};
  t_progress.start = std::chrono::steady_clock::now();
  t_progress.caption = captionTextId;
}

void HP_ProgressRange(uint32_t maximum) { t_progress.maximum = maximum; }

void HP_ProgressStep(uint32_t position) {
  // A run over many files shows its own line instead; pipes and quiet runs show none.
  if (!EngineProgressShown() || t_progress.maximum == 0) return;
  if (std::chrono::steady_clock::now() - t_progress.start < kProgressDelay) return;
  const int percent = static_cast<int>(uint64_t{position} * 100 / t_progress.maximum);
  if (percent == t_progress.lastPercent) return;
  t_progress.lastPercent = percent;
  const char* caption = TextById(t_progress.caption);
  ShowProgress(std::string("imagetool: ") + (caption ? caption : "working") + " " +
               std::to_string(percent) + "%");
  t_progress.drawn = true;
}

void HP_ProgressClose() {
  if (t_progress.drawn) ShowProgress("");
  t_progress = Progress{};
}

void HP_ShowMessage(unsigned textId) {
  const char* text = TextById(textId);
  const std::string message = text ? text : "unknown error " + std::to_string(textId);
  // An engine's refusal of the request for this picture is bad input; anything else (memory)
  // is a failure of a valid request.
  constexpr unsigned kRefusals[] = {
      IDS_UNSUPPORTED_IMAGE, IDS_IMAGE_TOO_LARGE, IDS_CROP_EMPTY_RESULT, IDS_SCALE_ZERO_SIZE,
      IDS_TILE_BAD_WIDTH,    IDS_TILE_BAD_HEIGHT, IDS_TILE_TOO_LARGE};
  if (std::find(std::begin(kRefusals), std::end(kRefusals), textId) != std::end(kRefusals))
    Refuse(message);
  else
    ToolError(message);
}

int HP_LoadText(unsigned textId, char* buffer, int size) {
  const char* text = TextById(textId);
  if (size <= 0) return 0;
  std::snprintf(buffer, static_cast<size_t>(size), "%s", text ? text : "");
  return static_cast<int>(std::strlen(buffer));
}
