// The tests' host port. Every allocation, free, progress call and message is logged in order as a
// short line ("alloc 1064", "free", "open 4128", "range 40", "step 16", "close", "message 1025");
// locks are counted rather than logged. The N-th allocation can be made to fail.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dib/host_port.h"

namespace recorder {

// Forgets the log and any planned failure. Blocks still alive stay alive (and count as leaks).
void Reset();
// The n-th allocation from now (1 = the next) returns 0; 0 plans no failure.
void FailAllocation(int n);
// Allocations made since the last Reset, failed ones included.
int AllocationCount();
// Blocks allocated and not yet freed, and locks not yet undone.
int LiveBlocks();
int OpenLocks();

const std::vector<std::string>& Calls();
// The log without allocations and frees: progress calls and messages only.
std::vector<std::string> ProgressAndMessages();
// The text ids shown as messages, in order.
std::vector<unsigned> Messages();
// The owner given to the last progress meter opened.
HostWindow LastProgressOwner();

}  // namespace recorder
