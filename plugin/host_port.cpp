// The plug-in's host port: movable global memory blocks, the host's progress meter, and
// task-modal message boxes without owner or caption whose texts come from the string table.
#include "dib/host_port.h"

#include <windows.h>

#include <cstdint>

#include "plugin/host_api.h"
#include "plugin/plugin.h"

static_assert(HP_MOVEABLE == GMEM_MOVEABLE && HP_ZEROINIT == GMEM_ZEROINIT &&
                  HP_FIXED == GMEM_FIXED,
              "the port's flags are the GMEM_ flags");

HostBlock HP_Alloc(uint64_t bytes, unsigned flags) {
  // The 32-bit build cannot hold more than half its address space in one block; refuse instead
  // of letting the size wrap.
  if (bytes > SIZE_MAX / 2) return nullptr;
  return GlobalAlloc(flags, static_cast<SIZE_T>(bytes));
}

void* HP_Lock(HostBlock block) { return block ? GlobalLock(block) : nullptr; }

void HP_Unlock(HostBlock block) {
  if (block) GlobalUnlock(block);
}

void HP_Free(HostBlock block) {
  if (block) GlobalFree(block);
}

size_t HP_Size(HostBlock block) { return block ? GlobalSize(block) : 0; }

void HP_ProgressOpen(HostWindow owner, unsigned captionTextId) {
  ZQ_ProgressOpen(static_cast<HWND>(owner), LoadText(captionTextId).c_str());
}

void HP_ProgressRange(uint32_t maximum) { ZQ_ProgressRange(0, static_cast<int>(maximum)); }

void HP_ProgressStep(uint32_t position) { ZQ_ProgressStep(static_cast<int>(position)); }

void HP_ProgressClose() { ZQ_ProgressClose(); }

void HP_ShowMessage(unsigned textId) {
  // The ownerless task-modal box disables the thread's windows, and when it closes nothing need
  // take the keyboard back (under Wine nothing does): the window that had it gets it again.
  const HWND active = GetActiveWindow(), focused = GetFocus();
  MessageBoxA(nullptr, LoadText(textId).c_str(), nullptr, MB_TASKMODAL);
  if (!active || !IsWindow(active)) return;
  SetActiveWindow(active);
  if (focused && IsWindow(focused) && GetAncestor(focused, GA_ROOT) == active) SetFocus(focused);
}

int HP_LoadText(unsigned textId, char* buffer, int size) {
  if (size <= 0) return 0;
  buffer[0] = 0;
  return LoadStringA(ModuleInstance, textId, buffer, size);
}

std::string LoadText(unsigned textId) {
  char text[kTextBufferSize];
  HP_LoadText(textId, text, sizeof text);
  return text;
}
