// What every image reader's fuzz target demands of one read: a well-formed image, freed again, or
// a refusal that says why. Anything else stops the fuzzer.
#pragma once

#include <cstdlib>
#include <string>

#include "dib/dib.h"

inline void CheckReadResult(HostBlock block, const std::string& error) {
  if (!block) {
    if (error.empty()) std::abort();
    return;
  }
  DibView view;
  BlockLock lock(block);
  if (!DescribeDib(lock.get(), HP_Size(block), view)) std::abort();
  lock.unlock();
  HP_Free(block);
}
