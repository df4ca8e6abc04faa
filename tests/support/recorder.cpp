#include "tests/support/recorder.h"

#include <cstring>
#include <memory>
#include <set>

#include "resources/text_ids.h"

namespace {

struct Block {
  std::unique_ptr<uint8_t[]> data;
  size_t size = 0;
  int locks = 0;
};

struct State {
  std::set<Block*> live;  // kept by Reset
  std::vector<std::string> calls;
  int allocations = 0;
  int failAt = 0;
  HostWindow owner = nullptr;
};

State& S() {
  static State state;
  return state;
}

Block* AsBlock(HostBlock block) {
  auto* b = static_cast<Block*>(block);
  // A handle the recorder never gave out is a bug in the code under test: fail loudly.
  if (b && !S().live.count(b)) std::abort();
  return b;
}

}  // namespace

namespace recorder {

void Reset() { S() = {std::move(S().live), {}, 0, 0, nullptr}; }

void FailAllocation(int n) { S().failAt = n > 0 ? S().allocations + n : 0; }
int AllocationCount() { return S().allocations; }
int LiveBlocks() { return static_cast<int>(S().live.size()); }

int OpenLocks() {
  int locks = 0;
  for (Block* b : S().live) locks += b->locks;
  return locks;
}

const std::vector<std::string>& Calls() { return S().calls; }

std::vector<std::string> ProgressAndMessages() {
  std::vector<std::string> out;
  for (const auto& c : S().calls)
    if (c.rfind("alloc", 0) != 0 && c != "free") out.push_back(c);
  return out;
}

std::vector<unsigned> Messages() {
  std::vector<unsigned> out;
  for (const auto& c : S().calls)
    if (c.rfind("message ", 0) == 0) out.push_back(static_cast<unsigned>(std::stoul(c.substr(8))));
  return out;
}

HostWindow LastProgressOwner() { return S().owner; }

}  // namespace recorder

HostBlock HP_Alloc(uint64_t bytes, unsigned flags) {
  State& s = S();
  ++s.allocations;
  s.calls.push_back("alloc " + std::to_string(bytes));
  if (s.failAt == s.allocations) return nullptr;
  if (bytes > (uint64_t{1} << 32)) return nullptr;  // beyond what a test should ever ask for
  auto block = std::make_unique<Block>();
  block->size = static_cast<size_t>(bytes);
  block->data.reset(new (std::nothrow) uint8_t[block->size ? block->size : 1]);
  if (!block->data) return nullptr;
  // Like GlobalAlloc, contents are undefined without HP_ZEROINIT: a sentinel exposes reliance on
  // them.
  std::memset(block->data.get(), (flags & HP_ZEROINIT) ? 0 : 0xAA, block->size);
  s.live.insert(block.get());
  return block.release();
}

void* HP_Lock(HostBlock block) {
  Block* b = AsBlock(block);
  if (!b) return nullptr;
  ++b->locks;
  return b->data.get();
}

void HP_Unlock(HostBlock block) {
  Block* b = AsBlock(block);
  if (b && b->locks > 0) --b->locks;
}

void HP_Free(HostBlock block) {
  Block* b = AsBlock(block);
  if (!b) return;
  if (b->locks != 0) std::abort();  // freeing a locked block is a bug in the code under test
  S().calls.push_back("free");
  S().live.erase(b);
  delete b;
}

size_t HP_Size(HostBlock block) {
  Block* b = AsBlock(block);
  return b ? b->size : 0;
}

void HP_ProgressOpen(HostWindow owner, unsigned captionTextId) {
  S().owner = owner;
  S().calls.push_back("open " + std::to_string(captionTextId));
}
void HP_ProgressRange(uint32_t maximum) { S().calls.push_back("range " + std::to_string(maximum)); }
void HP_ProgressStep(uint32_t position) { S().calls.push_back("step " + std::to_string(position)); }
void HP_ProgressClose() { S().calls.push_back("close"); }
void HP_ShowMessage(unsigned textId) { S().calls.push_back("message " + std::to_string(textId)); }

int HP_LoadText(unsigned textId, char* buffer, int size) {
  const char* text = TextById(textId);
  if (size <= 0) return 0;
  std::strncpy(buffer, text ? text : "", static_cast<size_t>(size) - 1);
  buffer[size - 1] = 0;
  return static_cast<int>(std::strlen(buffer));
}
