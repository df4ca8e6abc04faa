// The host port: the one door from the engines to the outside world.
//
// Three implementations are linked, one per program: the plug-in's (movable global memory, the
// host's progress meter, task-modal message boxes from the string table), imagetool's (the C heap,
// a progress bar on a terminal, messages on stderr) and the tests' recorder (every call logged in
// order, the N-th allocation failed on request). The calls mirror GlobalAlloc/GlobalLock and the
// host's progress calls one for one, so the plug-in's implementation is a thin pass-through.
#pragma once

#include <cstddef>
#include <cstdint>

using HostBlock = void*;   // a movable memory block (an HGLOBAL in the plug-in)
using HostWindow = void*;  // a window that owns progress meters (an HWND in the plug-in)

// Allocation flags, with the values of their GMEM_ counterparts.
enum : unsigned {
  HP_FIXED = 0x0000,
  HP_MOVEABLE = 0x0002,
  HP_ZEROINIT = 0x0040,
};

// Allocates a block of `bytes` bytes; 0 when memory is short or the size cannot be held in this
// address space. Contents are undefined unless HP_ZEROINIT is given.
HostBlock HP_Alloc(uint64_t bytes, unsigned flags);
// Locks a block and returns its first byte; null on failure. Locks nest.
void* HP_Lock(HostBlock block);
void HP_Unlock(HostBlock block);
// Frees an unlocked block; a null block is ignored.
void HP_Free(HostBlock block);
// The usable size of a block in bytes.
size_t HP_Size(HostBlock block);

// The progress meter: open (owner and the text id of its caption), range 0..maximum, any number
// of steps, close. Engines always close what they open.
void HP_ProgressOpen(HostWindow owner, unsigned captionTextId);
void HP_ProgressRange(uint32_t maximum);
void HP_ProgressStep(uint32_t position);
void HP_ProgressClose();

// Shows the text `textId` to the user as a failure message (task-modal, no owner, no caption).
void HP_ShowMessage(unsigned textId);

// Copies text `textId` into `buffer` (at most size - 1 characters and a terminating zero) and
// returns its length; 0 and an empty string when there is no such text.
int HP_LoadText(unsigned textId, char* buffer, int size);
