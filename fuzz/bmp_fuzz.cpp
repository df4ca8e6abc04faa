// libFuzzer target for imagetool's BMP reader, which reads files from anywhere: every input is
// refused with a reason or becomes a well-formed image, nothing is read out of bounds and
// nothing leaks.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cli/formats/bmp_io.h"
#include "fuzz/reader_checks.h"
#include "tests/support/recorder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  CheckReadResult(ParseBmp(data, size, error), error);
  if (recorder::LiveBlocks() != 0 || recorder::OpenLocks() != 0) std::abort();
  // The recorder logs every call: the log is forgotten after each input, or it would grow as long
  // as the fuzzer runs, until it met the memory limit.
  recorder::Reset();
  return 0;
}
