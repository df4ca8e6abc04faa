// libFuzzer target for imagetool's JPEG reader (and the EXIF parser behind it): every input is
// refused with a reason or becomes a well-formed image, headers alone read the same picture size,
// nothing is read out of bounds and nothing leaks.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cli/formats/jpeg_io.h"
#include "fuzz/reader_checks.h"
#include "tests/support/recorder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ByteSource source = MemorySource(data, size);
  std::string error;
  int orientation = 0;
  BitmapInfoHeader header{};
  const bool headerRead = ReadJpegHeader(source, header, orientation, error);
  if (headerRead && (orientation < 1 || orientation > 8)) std::abort();
  // Decoding a large picture of garbage takes milliseconds per input and would slow the fuzzer
  // to a crawl; its memory is set aside by the same lines as a small one's.
  if (headerRead && uint64_t(header.biWidth) * uint64_t(header.biHeight) > (1u << 18)) return 0;
  error.clear();
  HostBlock block = ReadJpeg(source, orientation, error);
  // The whole reader may refuse what the header reader took (bad data after the header), never
  // the reverse.
  if (block && !headerRead) std::abort();
  CheckReadResult(block, error);
  if (recorder::LiveBlocks() != 0 || recorder::OpenLocks() != 0) std::abort();
  // The recorder logs every call: the log is forgotten after each input, or it would grow as long
  // as the fuzzer runs, until it met the memory limit.
  recorder::Reset();
  return 0;
}
