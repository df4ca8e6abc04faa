#include "cli/formats/png_io.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "cli/formats/image_block.h"
#include "dib/block.h"

namespace {

constexpr uint8_t kSignature[8] = {137, 'P', 'N', 'G', 13, 10, 26, 10};

}  // namespace

bool IsPngSignature(const uint8_t* head, size_t size) {
  return size >= sizeof kSignature && std::memcmp(head, kSignature, sizeof kSignature) == 0;
}

const char kPngUnsupported[] =
    "PNG files are not supported by this build of imagetool (it was made without libpng)";

#ifndef IMAGETOOL_HAS_LIBPNG

const bool kPngSupported = false;

std::string PngLibraries() { return "no libpng (no PNG files)"; }

HostBlock ReadPng(const ByteSource&, bool, PngNotes&, std::string& error, bool) {
  error = kPngUnsupported;
  return nullptr;
}

bool ReadPngHeader(const ByteSource&, bool, BitmapInfoHeader&, std::string& error) {
  error = kPngUnsupported;
  return false;
}

#else

#include <libdeflate.h>
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <memory>
#include <optional>

#include "cli/formats/png_filter.h"
#include "dib/row_bands.h"

const bool kPngSupported = true;

std::string PngLibraries() {
  return std::string("libpng ") + png_get_libpng_ver(nullptr) + ", zlib " + zlibVersion() +
         ", libdeflate " + LIBDEFLATE_VERSION_STRING;
}

namespace {

// libpng reports an error by a longjmp to the last setjmp. The only setjmp is in Guarded, which
// runs one step: a plain function on a plain struct. Neither the steps nor the callbacks below
// hold anything with a destructor when libpng may jump, and everything that owns memory (the
// libpng structs, the image block) belongs to a caller above Guarded, so a jump skips no clean-up.

// The state libpng's callbacks share: where the bytes come from, and the last error.
struct PngIo {
  const ByteSource* source = nullptr;
  uint64_t offset = 0;
  char message[200] = {};
};

void OnError(png_structp png, png_const_charp text) {
  auto* io = static_cast<PngIo*>(png_get_error_ptr(png));
  std::snprintf(io->message, sizeof io->message, "%s", text);
  png_longjmp(png, 1);
}

// Warnings (an odd ancillary chunk, a bad CRC in one) leave a picture that decodes; they are not
// worth a line each.
void OnWarning(png_structp, png_const_charp) {}

void OnRead(png_structp png, png_bytep into, size_t bytes) {
  auto* io = static_cast<PngIo*>(png_get_io_ptr(png));
  // A stream's size is known once a read has met its end.
  const auto past = [io, bytes] {
    const uint64_t size = io->source->size;
    return io->offset > size || bytes > size - io->offset;
  };
  const bool read = !past() && io->source->read(io->offset, into, bytes);
  if (!read && past()) {
    char text[80];
    std::snprintf(text, sizeof text, "truncated PNG file (it ends after %llu bytes)",
                  static_cast<unsigned long long>(io->source->size));
    png_error(png, text);
  }
  if (!read) png_error(png, "read error");
  io->offset += bytes;
}

// Runs `step` on `job`; an error raised by libpng within it returns false here.
template <typename Job>
bool Guarded(png_structp png, void (*step)(png_structp, Job*), Job* job) {
  if (setjmp(png_jmpbuf(png))) return false;
  step(png, job);
  return true;
}

// The libpng read structs, destroyed on every path.
struct PngReader {
  PngIo io;
  png_structp png = nullptr;
  png_infop info = nullptr;
  explicit PngReader(const ByteSource& source) {
    io.source = &source;
    png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &io, OnError, OnWarning);
    if (png) info = png_create_info_struct(png);
    if (info) png_set_read_fn(png, &io, OnRead);
  }
  ~PngReader() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
  PngReader(const PngReader&) = delete;
  PngReader& operator=(const PngReader&) = delete;
};

// What the chunks before the pixels say, and the layout the transforms give each row.
struct PngHeaderJob {
  png_infop info = nullptr;
  bool keepAlpha = true;
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0, passes = 1;
  png_color palette[256] = {};
  int paletteSize = 0;
  png_uint_32 xPerMeter = 0, yPerMeter = 0;
  unsigned bits = 0;    // depth of the PackedDib
  size_t rowBytes = 0;  // bytes libpng writes per row
  bool reduced16 = false, transparencyIgnored = false;
};

// Reads up to the pixels and sets the transforms that give rows in the PackedDib's layout: packed
// indices MSB first as they come (2-bit ones are widened afterwards), blue-green-red(-alpha)
// bytes for true colour.
void ReadHeaderStep(png_structp png, PngHeaderJob* job) {
  // The limits are the PackedDib's, checked once the depth is known; libpng's own (a million
  // pixels each way) would refuse pictures a BMP may hold.
  png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
  png_read_info(png, job->info);
  png_infop info = job->info;
  job->width = png_get_image_width(png, info);
  job->height = png_get_image_height(png, info);
  job->bitDepth = png_get_bit_depth(png, info);
  job->colorType = png_get_color_type(png, info);
  if (png_get_valid(png, info, PNG_INFO_pHYs)) {
    int unit = 0;
    png_get_pHYs(png, info, &job->xPerMeter, &job->yPerMeter, &unit);
    if (unit != PNG_RESOLUTION_METER) job->xPerMeter = job->yPerMeter = 0;
  }
  const bool transparent = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  const int type = job->colorType, depth = job->bitDepth;
  if (depth == 16) {
    png_set_scale_16(png);  // rounds, where png_set_strip_16 would truncate
    job->reduced16 = true;
  }
  if (type == PNG_COLOR_TYPE_PALETTE || type == PNG_COLOR_TYPE_GRAY) {
    if (transparent && job->keepAlpha) {
      png_set_expand(png);  // indices or grey to 8-bit RGB, the tRNS colour to an alpha channel
      if (type == PNG_COLOR_TYPE_GRAY) png_set_gray_to_rgb(png);
      png_set_bgr(png);
      job->bits = 32;
    } else {
      job->transparencyIgnored = transparent;
      job->bits = depth == 1 ? 1 : depth <= 4 ? 4 : 8;
      if (type == PNG_COLOR_TYPE_PALETTE) {
        png_colorp entries = nullptr;
        int count = 0;
        if (png_get_PLTE(png, info, &entries, &count) == 0 || count < 1)
          png_error(png, "palette picture without a palette");
        job->paletteSize = std::min(count, 1 << depth);
        std::copy(entries, entries + job->paletteSize, job->palette);
      } else {
        // Grey levels spread over 0-255 as the PNG defines them: 255 / (2^depth - 1) apart.
        const int levels = depth >= 8 ? 256 : 1 << depth;
        for (int i = 0; i < levels; ++i) {
          const auto grey = static_cast<png_byte>(i * 255 / (levels - 1));
          job->palette[i] = {grey, grey, grey};
        }
        job->paletteSize = levels;
      }
    }
  } else {
    if (type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    const bool alpha = type != PNG_COLOR_TYPE_RGB || (transparent && job->keepAlpha);
    if (type == PNG_COLOR_TYPE_RGB && transparent) {
      if (job->keepAlpha)
        png_set_tRNS_to_alpha(png);
      else
        job->transparencyIgnored = true;
    }
    png_set_bgr(png);
    job->bits = alpha ? 32 : 24;
  }
}

// Once the picture's size is known to be acceptable: libpng sets aside its row buffers here.
void StartRowsStep(png_structp png, PngHeaderJob* job) {
  job->passes = png_set_interlace_handling(png);
  png_read_update_info(png, job->info);
  job->rowBytes = png_get_rowbytes(png, job->info);
}

// Where the rows go: the PackedDib's pixel area, bottom row first.
struct PngRowsJob {
  png_infop info = nullptr;
  uint8_t* rows = nullptr;
  size_t stride = 0;
  png_uint_32 height = 0;
  int passes = 1;
};

void ReadRowsStep(png_structp png, PngRowsJob* job) {
  // One row at a time, every pass over every row: libpng merges each pass into its rows, so no
  // array of row pointers (as large as a tall picture) is needed.
  for (int pass = 0; pass < job->passes; ++pass)
    for (png_uint_32 y = 0; y < job->height; ++y)
      png_read_row(png, job->rows + (job->height - 1 - y) * job->stride, nullptr);
  png_read_end(png, nullptr);
}

// Widens a row of `width` 2-bit indices, packed at its start, to 4-bit indices in place. Each
// source byte becomes two bytes at twice its offset, so going from the last byte back never
// overwrites a byte still to be read.
void WidenTwoBitRow(uint8_t* row, uint32_t width) {
  for (size_t i = (size_t{width} + 3) / 4; i-- > 0;) {
    const unsigned b = row[i];
    row[2 * i] = static_cast<uint8_t>((b >> 6 & 3) << 4 | (b >> 4 & 3));
    row[2 * i + 1] = static_cast<uint8_t>((b >> 2 & 3) << 4 | (b & 3));
  }
}

// Reading the rows without libpng. libpng inflates with zlib a few kilobytes at a time and undoes
// the filters a byte at a time; that is most of the time it takes to read a large picture, and it
// runs on one core. A picture whose rows are the file's own bytes (no interlacing, no expansion,
// at most 8 bits a sample) is read here instead: the IDAT chunks gathered, inflated whole by
// libdeflate into exactly the filtered rows, the filters undone with SSE2, and the rows copied
// into place on every core. Only a file that is faultless from its first IDAT on is read so:
// anything else (a bad CRC, a stream that does not end exactly with the last row and the last
// IDAT, a bad filter byte, anything after the pixels but ancillary chunks libpng would skip) makes
// libpng read the file again from the start and say what it says of it today. libdeflate accepts
// three things zlib refuses and no encoder writes (more than 286 length or 30 distance codes, the
// two reserved codes of each, a code-length code of a single length); a file that uses them is
// read rather than refused.

// Whether the rows of `job`'s picture can be read directly: its bytes as they are but for red and
// blue changing places.
bool Direct(const PngHeaderJob& job) {
  if (job.passes != 1 || job.bitDepth > 8) return false;
  switch (job.colorType) {
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_PALETTE:
      return job.bits <= 8;
    case PNG_COLOR_TYPE_RGB:
      return job.bits == 24;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      return true;
    default:
      return false;
  }
}

uint32_t Get32(const uint8_t* at) {
  return uint32_t{at[0]} << 24 | uint32_t{at[1]} << 16 | uint32_t{at[2]} << 8 | at[3];
}

bool CrcMatches(const uint8_t* type, const uint8_t* data, size_t size, const uint8_t* crc) {
  return libdeflate_crc32(libdeflate_crc32(0, type, 4), data, size) == Get32(crc);
}

// A chunk libpng reads past the pixels and skips without a word: ancillary (a small first letter),
// a name of letters with the reserved bit clear, and far below libpng's limit on a chunk's size.
bool Skipped(const uint8_t* name, uint32_t length) {
  for (int i = 0; i < 4; ++i)
    if ((name[i] | 0x20) < 'a' || (name[i] | 0x20) > 'z') return false;
  return (name[0] & 0x20) && !(name[2] & 0x20) && length < (1u << 22);
}

// Reads the chunks after the pixels from `offset`, the next chunk's header in `head`: true when
// they are chunks libpng skips and then IEND, all with the right CRCs.
bool CheckTrailer(const ByteSource& source, uint64_t offset, uint8_t head[8]) {
  std::vector<uint8_t> data;
  for (;;) {
    const uint32_t length = Get32(head);
    const bool end = std::memcmp(head + 4, "IEND", 4) == 0;
    if (end ? length != 0 : !Skipped(head + 4, length)) return false;
    data.resize(size_t{length} + 12);  // the data, its CRC and the next chunk's header
    const size_t want = end ? 4 : data.size();
    if (!source.read(offset, data.data(), want) ||
        !CrcMatches(head + 4, data.data(), length, data.data() + length))
      return false;
    if (end) return true;
    std::memcpy(head, data.data() + length + 4, 8);
    offset += want;
  }
}

struct InflaterFree {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// Gathers the IDAT chunks from `offset` (the first one's data; its header precedes it), checks
// what follows them, and inflates their zlib stream into exactly `size` bytes at `out`.
bool InflateIdat(const ByteSource& source, uint64_t offset, uint8_t* out, size_t size) {
  uint8_t head[8];
  if (offset < 8 || !source.read(offset - 8, head, 8) || std::memcmp(head + 4, "IDAT", 4) != 0)
    return false;
  // The stream is no longer than the rest of the file, nor than stored blocks would make it.
  const uint64_t bound = uint64_t{size} + 5 * (size / 65535 + 1) + 6;
  const auto most = static_cast<size_t>(std::min(bound, source.size - offset));
  const OwnedBlock block(HP_Alloc(most, 0));
  const BlockLock stream(block.get());
  if (!stream) return false;
  size_t used = 0;
  for (;;) {
    const uint32_t length = Get32(head);
    uint8_t tail[12];  // the CRC and the next chunk's header
    if (length > most - used || !source.read(offset, stream.get() + used, length) ||
        !source.read(offset + length, tail, 12) ||
        !CrcMatches(head + 4, stream.get() + used, length, tail))
      return false;
    used += length;
    offset += length + 12;
    std::memcpy(head, tail + 4, 8);
    if (std::memcmp(head + 4, "IDAT", 4) != 0) break;
  }
  if (!CheckTrailer(source, offset, head)) return false;
  // zlib's header: libpng refuses a window above 32 KiB itself; libdeflate checks the rest.
  if (used < 2 || stream.get()[0] >> 4 > 7) return false;
  std::unique_ptr<libdeflate_decompressor, InflaterFree> inflater(libdeflate_alloc_decompressor());
  size_t in = 0, made = 0;
  return inflater &&
         libdeflate_zlib_decompress_ex(inflater.get(), stream.get(), used, out, size, &in, &made) ==
             LIBDEFLATE_SUCCESS &&
         in == used && made == size;
}

// Reads the rows of a picture Direct() takes, its first IDAT's data at `offset`, into `pixels`;
// false, with nothing said, when libpng should read them instead.
bool ReadRowsDirect(const ByteSource& source, uint64_t offset, const PngHeaderJob& job,
                    uint8_t* pixels, size_t stride) {
  const unsigned channels = job.colorType == PNG_COLOR_TYPE_RGB         ? 3
                            : job.colorType == PNG_COLOR_TYPE_RGB_ALPHA ? 4
                                                                        : 1;
  const auto depth = static_cast<unsigned>(job.bitDepth);
  const uint64_t bytes = (uint64_t{job.width} * channels * depth + 7) / 8;
  const uint64_t line = bytes + 1;  // the filter byte first
  const uint32_t height = job.height;
  if (source.size == kUnknownSize || line * (height + uint64_t{1}) > SIZE_MAX) return false;
  // A row of zeros, the one above the first, and then the filtered rows. Large buffers come from
  // the host port, as the picture's block does: it maps them on huge pages, whose first touch
  // costs a fraction of the C heap's 4 KB pages, and this one is as large as the picture.
  const OwnedBlock block(HP_Alloc(line * (height + 1), 0));
  const BlockLock buffer(block.get());
  if (!buffer) return false;
  std::memset(buffer.get(), 0, line);
  uint8_t* const rows = buffer.get() + line;
  if (!InflateIdat(source, offset, rows, line * height)) return false;
  const unsigned bpp = depth < 8 ? 1 : channels;
  for (uint64_t y = 0; y < height; ++y) {
    uint8_t* row = rows + y * line;
    if (row[0] > 4) return false;
    UnfilterPngRow(row[0], row + 1, row + 1 - line, bytes, bpp);
  }
  RunRowBands(height, RowBandCount(height), [&](const RowBand& band) {
    for (uint32_t y = band.first; y < band.end; ++y) {
      const uint8_t* raw = rows + y * line + 1;
      uint8_t* to = pixels + size_t{height - 1 - y} * stride;
      if (channels > 1)
        SwapRedBlue(raw, bytes, channels, to);
      else
        std::memcpy(to, raw, bytes);
    }
  });
  return true;
}

// Checks the picture against the limits every image shares and the file against the picture:
// deflate cannot pack more than 1032 bytes into one, so a file that small cannot hold the rows
// its header announces, and it is refused before any memory is set aside for them.
bool CheckHeader(const PngHeaderJob& job, uint64_t fileSize, std::string& error) {
  const std::string size = std::to_string(job.width) + " x " + std::to_string(job.height);
  if (!DibFits(job.bits, job.width, job.height)) {
    error = "image too large (" + size + " at " + std::to_string(job.bits) + " bits per pixel)";
    return false;
  }
  const int channels = job.colorType == PNG_COLOR_TYPE_RGB          ? 3
                       : job.colorType == PNG_COLOR_TYPE_RGB_ALPHA  ? 4
                       : job.colorType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                                    : 1;
  const uint64_t rowBytes =
      1 + (uint64_t{job.width} * static_cast<uint64_t>(channels * job.bitDepth) + 7) / 8;
  if (rowBytes * job.height / 1032 > fileSize) {
    error = "truncated PNG file (" + std::to_string(fileSize) + " bytes cannot hold the " + size +
            " picture its header describes)";
    return false;
  }
  return true;
}

// The normalised header of the picture `job` describes.
BitmapInfoHeader HeaderOf(const PngHeaderJob& job) {
  return ImageHeader(job.bits, job.width, job.height,
                     job.bits <= 8 ? static_cast<uint32_t>(job.paletteSize) : 0, job.xPerMeter,
                     job.yPerMeter);
}

// The one line that says why libpng stopped.
std::string LibpngError(const PngIo& io) {
  if (std::strncmp(io.message, "truncated", 9) == 0) return io.message;
  // libpng's allocations fail with "Out of memory" or "Insufficient memory ...".
  if (std::strstr(io.message, "memory")) return "not enough memory to read the PNG file";
  return std::string("bad PNG file: ") + io.message;
}

// Reads the chunks before the pixels with `reader`; false with `error` set when that fails.
bool StartPng(PngReader& reader, bool keepAlpha, PngHeaderJob& job, std::string& error) {
  if (!reader.info) {
    error = "not enough memory to read the PNG file";
    return false;
  }
  job.info = reader.info;
  job.keepAlpha = keepAlpha;
  if (!Guarded(reader.png, ReadHeaderStep, &job)) {
    error = LibpngError(reader.io);
    return false;
  }
  if (!CheckHeader(job, reader.io.source->size, error)) return false;
  if (!Guarded(reader.png, StartRowsStep, &job)) {
    error = LibpngError(reader.io);
    return false;
  }
  return true;
}

}  // namespace

HostBlock ReadPng(const ByteSource& source, bool keepAlpha, PngNotes& notes, std::string& error,
                  bool libpngRows) {
  std::optional<PngReader> reader(std::in_place, source);
  PngHeaderJob job;
  if (!StartPng(*reader, keepAlpha, job, error)) return nullptr;
  const BitmapInfoHeader h = HeaderOf(job);
  const size_t stride = static_cast<size_t>(RowStride(job.bits, job.width));
  // 2-bit rows are read into the start of their 4-bit rows, which are at least twice as long.
  if (job.rowBytes > stride) {
    error = "internal error: PNG rows longer than the image's";
    return nullptr;
  }
  const uint32_t tableBytes = h.biClrUsed * 4;
  OwnedBlock block(NewImageBlock(h, error));
  if (!block) return nullptr;
  BlockLock lock(block.get());
  auto* table = reinterpret_cast<RgbQuad*>(lock.get() + kHeaderSize);
  for (uint32_t i = 0; i < h.biClrUsed; ++i)
    table[i] = {job.palette[i].blue, job.palette[i].green, job.palette[i].red, 0};
  uint8_t* const pixels = lock.get() + kHeaderSize + tableBytes;
  const bool direct = !libpngRows && Direct(job);
  if (!direct || !ReadRowsDirect(source, reader->io.offset, job, pixels, stride)) {
    if (direct) {
      // libpng starts again from the signature; the picture is the same.
      reader.reset();
      reader.emplace(source);
      if (!StartPng(*reader, keepAlpha, job, error)) return nullptr;
    }
    PngRowsJob rows{reader->info, pixels, stride, job.height, job.passes};
    if (!Guarded(reader->png, ReadRowsStep, &rows)) {
      error = LibpngError(reader->io);
      return nullptr;
    }
  }
  for (uint32_t y = 0; y < job.height; ++y) {
    uint8_t* row = pixels + size_t{y} * stride;
    if (job.bitDepth == 2 && job.bits == 4) WidenTwoBitRow(row, job.width);
    ClearPadding(row, job.bits, job.width, stride);
  }
  notes.reduced16 = job.reduced16;
  notes.transparencyIgnored = job.transparencyIgnored;
  lock.unlock();
  return block.release();
}

bool ReadPngHeader(const ByteSource& source, bool keepAlpha, BitmapInfoHeader& header,
                   std::string& error) {
  PngReader reader(source);
  PngHeaderJob job;
  if (!StartPng(reader, keepAlpha, job, error)) return false;
  header = HeaderOf(job);
  return true;
}

#endif
