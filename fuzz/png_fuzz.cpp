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

uint32_t Get32(const uint8_t* at) {
  return uint32_t{at[0]} << 24 | uint32_t{at[1]} << 16 | uint32_t{at[2]} << 8 | at[3];
}

// Where the whole chunks of a PNG file are: each one's length field's offset.
std::vector<size_t> Chunks(const std::vector<uint8_t>& file) {
  std::vector<size_t> chunks;
  for (size_t at = 8; at + 12 <= file.size() && Get32(&file[at]) <= file.size() - at - 12;
       at += 12 + Get32(&file[at]))
    chunks.push_back(at);
  return chunks;
}

// The input with the Adler-32 of its zlib stream made right, where its IDAT chunks hold a deflate
// stream that inflates and is followed by the four bytes of the sum. A mutation of the pixels'
// deflated bytes nearly always breaks the sum, and both readers would stop there, before the rows
// are unfiltered; with it right, the reader's own unfilter meets damaged rows and is held to
// libpng's.
std::vector<uint8_t> WithGoodAdler(std::vector<uint8_t> file) {
  std::vector<size_t> where;  // the file offset of each byte of the stream
  for (size_t at : Chunks(file))
    if (std::memcmp(&file[at + 4], "IDAT", 4) == 0)
      for (size_t i = 0; i < Get32(&file[at]); ++i) where.push_back(at + 8 + i);
  if (where.size() < 6) return file;
  std::vector<uint8_t> stream(where.size()), rows(64 << 10);
  for (size_t i = 0; i < where.size(); ++i) stream[i] = file[where[i]];
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return file;
  z.next_in = stream.data() + 2;
  z.avail_in = static_cast<uInt>(stream.size() - 2);
  uLong adler = adler32(0, nullptr, 0);
  int status = Z_OK;
  while (status == Z_OK) {
    z.next_out = rows.data();
    z.avail_out = static_cast<uInt>(rows.size());
    status = inflate(&z, Z_NO_FLUSH);
    adler = adler32(adler, rows.data(), static_cast<uInt>(rows.size() - z.avail_out));
    if (status == Z_OK && z.avail_out != 0) status = Z_BUF_ERROR;  // the input ran out
  }
  const size_t end = stream.size() - z.avail_in;
  inflateEnd(&z);
  if (status != Z_STREAM_END || stream.size() - end < 4) return file;
  for (int i = 0; i < 4; ++i) file[where[end + i]] = static_cast<uint8_t>(adler >> (24 - 8 * i));
  return file;
}

// The input with the CRC of every whole chunk made right: a mutation nearly always breaks one,
// and libpng would stop there, before the decoder that is worth fuzzing.
std::vector<uint8_t> WithGoodCrcs(std::vector<uint8_t> file) {
  for (size_t at : Chunks(file)) {
    const uint32_t length = Get32(&file[at]);
    const uLong crc = crc32(crc32(0, nullptr, 0), &file[at + 4], length + 4);
    for (int i = 0; i < 4; ++i)
      file[at + 8 + length + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
  }
  return file;
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
  const std::vector<uint8_t> input(data, data + size);
  Read(input, true);
  const std::vector<uint8_t> fixed = WithGoodCrcs(WithGoodAdler(input));
  Read(fixed, true);
  Read(fixed, false);
  if (recorder::LiveBlocks() != 0 || recorder::OpenLocks() != 0) std::abort();
  // The recorder logs every call: the log is forgotten after each input, or it would grow as long
  // as the fuzzer runs, until it met the memory limit.
  recorder::Reset();
  return 0;
}
