// libFuzzer target for imagetool's PNG reader: every input is refused with a reason or becomes a
// well-formed image, with the transparency kept and with it ignored, the same whether the reader
// inflates the rows of plain pictures itself or libpng reads them all; nothing is read out of
// bounds and nothing leaks.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <zlib.h>

#include "cli/formats/png_io.h"
#include "fuzz/reader_checks.h"
#include "tests/support/recorder.h"

namespace {

// The input with the CRC of every whole chunk made right: a mutation nearly always breaks one,
// and libpng would stop there, before the decoder that is worth fuzzing.
std::vector<uint8_t> WithGoodCrcs(const uint8_t* data, size_t size) {
  std::vector<uint8_t> out(data, data + size);
  for (size_t at = 8; at + 12 <= out.size();) {
    const uint32_t length =
        uint32_t{out[at]} << 24 | out[at + 1] << 16 | out[at + 2] << 8 | out[at + 3];
    if (length > out.size() - at - 12) break;
    const uLong crc = crc32(crc32(0, nullptr, 0), &out[at + 4], length + 4);
    for (int i = 0; i < 4; ++i)
      out[at + 8 + length + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    at += 12 + length;
  }
  return out;
}

// The reader's result and libpng's alone: the same picture or the same refusal, but for the few
// deflate streams zlib refuses and libdeflate reads.
bool SameResult(HostBlock own, const std::string& ownError, HostBlock libpng,
                const std::string& libpngError) {
  if (!own || !libpng) {
    const char* lenient[] = {"invalid literal/length code", "invalid distance code",
                             "too many length or distance symbols", "invalid code lengths set"};
    for (const char* words : lenient)
      if (own && libpngError.find(words) != std::string::npos) return true;
    return !own && !libpng && ownError == libpngError;
  }
  BlockLock a(own), b(libpng);
  return HP_Size(own) == HP_Size(libpng) && std::memcmp(a.get(), b.get(), HP_Size(own)) == 0;
}

void Read(const std::vector<uint8_t>& input, bool keepAlpha) {
  const ByteSource source = MemorySource(input.data(), input.size());
  std::string error, libpngError;
  PngNotes notes;
  HostBlock own = ReadPng(source, keepAlpha, notes, error);
  HostBlock libpng = ReadPng(source, keepAlpha, notes, libpngError, true);
  if (!SameResult(own, error, libpng, libpngError)) std::abort();
  CheckReadResult(own, error);
  CheckReadResult(libpng, libpngError);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Read(std::vector<uint8_t>(data, data + size), true);
  const std::vector<uint8_t> fixed = WithGoodCrcs(data, size);
  Read(fixed, true);
  Read(fixed, false);
  if (recorder::LiveBlocks() != 0 || recorder::OpenLocks() != 0) std::abort();
  return 0;
}
