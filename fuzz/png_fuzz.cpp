// libFuzzer target for imagetool's PNG reader: every input is refused with a reason or becomes a
// well-formed image, with the transparency kept and with it ignored; nothing is read out of
// bounds and nothing leaks.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cli/png_io.h"
#include "dib/dib.h"
#include "tests/support/recorder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (bool keepAlpha : {true, false}) {
    std::string error;
    PngNotes notes;
    HostBlock block = ReadPng(MemorySource(data, size), keepAlpha, notes, error);
    if (block) {
      DibView view;
      BlockLock lock(block);
      if (!DescribeDib(lock.get(), HP_Size(block), view)) std::abort();
      lock.unlock();
      HP_Free(block);
    } else if (error.empty()) {
      std::abort();
    }
  }
  if (recorder::LiveBlocks() != 0 || recorder::OpenLocks() != 0) std::abort();
  return 0;
}
