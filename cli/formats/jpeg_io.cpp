#include "cli/formats/jpeg_io.h"

bool IsJpegSignature(const uint8_t* head, size_t size) {
  return size >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
}

const char kJpegUnsupported[] =
    "JPEG files are not supported by this build of imagetool (it was made without libjpeg-turbo)";

#ifndef IMAGETOOL_HAS_LIBJPEG

const bool kJpegSupported = false;

std::string JpegLibraries() { return "no libjpeg-turbo (no JPEG files)"; }

HostBlock ReadJpeg(const ByteSource&, int&, std::string& error) {
  error = kJpegUnsupported;
  return nullptr;
}

bool ReadJpegHeader(const ByteSource&, BitmapInfoHeader&, int&, std::string& error) {
  error = kJpegUnsupported;
  return false;
}

bool EncodeJpeg(const DibView&, int, const ByteSink&, std::string& error) {
  error = kJpegUnsupported;
  return false;
}

#else

#include <algorithm>
#include <csetjmp>
#include <cstdio>  // jpeglib.h uses FILE without including it
#include <cstring>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

#include "cli/formats/exif.h"
#include "cli/formats/image_block.h"
#include "dib/block.h"

const bool kJpegSupported = true;

std::string JpegLibraries() {
  constexpr int v = LIBJPEG_TURBO_VERSION_NUMBER;  // 2001005 is 2.1.5
  return "libjpeg-turbo " + std::to_string(v / 1000000) + "." + std::to_string(v / 1000 % 1000) +
         "." + std::to_string(v % 1000);
}

namespace {

// libjpeg-turbo reports an error by calling error_exit, which must not return: it jumps to the
// only setjmp, in Guarded, which runs one step, a plain function on a plain struct. Neither the
// steps nor the callbacks below hold anything with a destructor when the library may jump, and
// everything that owns memory (the library's structs, the image block) belongs to a caller above
// Guarded, so a jump skips no clean-up.

struct JpegError {
  jpeg_error_mgr mgr;  // first: the library's pointer to it is a pointer to this
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX + 64];
};

[[noreturn]] void Fail(j_common_ptr cinfo, const char* text) {
  auto* error = reinterpret_cast<JpegError*>(cinfo->err);
  std::snprintf(error->message, sizeof error->message, "%s", text);
  std::longjmp(error->jump, 1);
}

[[noreturn]] void OnError(j_common_ptr cinfo) {
  // Said in the words every reader uses for memory, so that the run tells it from a bad file.
  if (cinfo->err->msg_code == JERR_OUT_OF_MEMORY)
    Fail(cinfo, "not enough memory for the JPEG library's tables");
  char text[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, text);
  char line[sizeof text + 16];
  std::snprintf(line, sizeof line, "bad JPEG file: %s", text);
  Fail(cinfo, line);
}

// The library goes on after a warning about corrupt or missing data and gives a picture with
// grey or shifted blocks; here that is a refusal, as an error is. Three warnings say nothing
// about the pixels.
void OnMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;  // trace messages
  const int code = cinfo->err->msg_code;
  if (code == JWRN_ADOBE_XFORM || code == JWRN_JFIF_MAJOR || code == JWRN_BOGUS_ICC) return;
  OnError(cinfo);
}

template <typename Info, typename Job>
bool Guarded(Info* cinfo, void (*step)(Info*, Job*), Job* job) {
  if (setjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump)) return false;
  step(cinfo, job);
  return true;
}

// --- Reading ---

struct JpegSource {
  jpeg_source_mgr mgr;  // first, as JpegError's
  const ByteSource* source;
  uint64_t offset;  // of the next byte to bring into the buffer
  uint64_t limit;   // how far a stream is read, whose end may never come
  JOCTET buffer[1 << 16];
};

// A stream (standard input) of garbage after a JPEG signature never ends, and the library would
// skip through it for ever looking for the next marker. The markers before the first scan get
// this much; the scans then get four bytes for each byte of the picture, more than any encoder
// spends, and this much again.
constexpr uint64_t kHeaderBytes = uint64_t{16} << 20;

void InitSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr cinfo) {
  auto* s = reinterpret_cast<JpegSource*>(cinfo->src);
  if (s->offset >= s->limit)
    Fail(reinterpret_cast<j_common_ptr>(cinfo), "bad JPEG file: no end of its picture in sight");
  const uint64_t size = s->source->size;
  if (s->offset >= size) {
    char text[80];
    std::snprintf(text, sizeof text, "truncated JPEG file (it ends after %llu bytes)",
                  static_cast<unsigned long long>(size));
    Fail(reinterpret_cast<j_common_ptr>(cinfo), text);
  }
  auto bytes = static_cast<size_t>(std::min<uint64_t>(sizeof s->buffer, size - s->offset));
  bool read = s->source->read(s->offset, s->buffer, bytes);
  // A stream (standard input) tells its size when a read meets its end: then the rest is read.
  if (!read && s->source->size < s->offset + bytes && s->offset < s->source->size) {
    bytes = static_cast<size_t>(s->source->size - s->offset);
    read = s->source->read(s->offset, s->buffer, bytes);
  }
  if (!read) Fail(reinterpret_cast<j_common_ptr>(cinfo), "read error");
  s->offset += bytes;
  s->mgr.next_input_byte = s->buffer;
  s->mgr.bytes_in_buffer = bytes;
  return TRUE;
}

void SkipInput(j_decompress_ptr cinfo, long bytes) {
  auto* s = reinterpret_cast<JpegSource*>(cinfo->src);
  if (bytes <= 0) return;
  const auto skip = static_cast<uint64_t>(bytes);
  if (skip <= s->mgr.bytes_in_buffer) {
    s->mgr.next_input_byte += skip;
    s->mgr.bytes_in_buffer -= skip;
    return;
  }
  // Past the end, the next fill reports the file as truncated.
  s->offset = std::min(s->source->size, s->offset + (skip - s->mgr.bytes_in_buffer));
  s->mgr.bytes_in_buffer = 0;
}

void TermSource(j_decompress_ptr) {}

// A progressive file may hold any number of scans, each a pass over the whole picture; real ones
// have about ten. Thousands of tiny scans only make a reader spin.
constexpr int kMaxScans = 1000;

void OnProgress(j_common_ptr cinfo) {
  if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans)
    Fail(cinfo, "bad JPEG file: more than 1000 scans");
}

// The library's decompression struct and its managers, destroyed on every path.
struct JpegReader {
  jpeg_decompress_struct cinfo{};
  JpegError error{};
  JpegSource source{};
  jpeg_progress_mgr progress{};
  explicit JpegReader(const ByteSource& bytes) {
    cinfo.err = jpeg_std_error(&error.mgr);
    error.mgr.error_exit = OnError;
    error.mgr.emit_message = OnMessage;
    source.source = &bytes;
    source.limit = kHeaderBytes;
    source.mgr.init_source = InitSource;
    source.mgr.fill_input_buffer = FillInput;
    source.mgr.skip_input_data = SkipInput;
    source.mgr.resync_to_restart = jpeg_resync_to_restart;
    source.mgr.term_source = TermSource;
    progress.progress_monitor = OnProgress;
  }
  ~JpegReader() { jpeg_destroy_decompress(&cinfo); }
  JpegReader(const JpegReader&) = delete;
  JpegReader& operator=(const JpegReader&) = delete;
};

// What the markers before the first scan say.
struct JpegHeaderJob {
  JpegReader* reader = nullptr;
  unsigned bits = 0;  // 8 (grey) or 24
  uint32_t xPerMeter = 0, yPerMeter = 0;
  int orientation = 1;
  uint64_t fewestBlocks = 0;  // of the component with the fewest 8 x 8 blocks
};

// The resolution a JFIF header gives, when it gives one in a real unit.
bool JfifResolution(const jpeg_decompress_struct& cinfo, uint32_t& x, uint32_t& y) {
  if (!cinfo.saw_JFIF_marker || (cinfo.density_unit != 1 && cinfo.density_unit != 2) ||
      cinfo.X_density == 0 || cinfo.Y_density == 0)
    return false;
  // Dots per inch: 10000 / 254 per metre, rounded; per centimetre: 100.
  const auto perMeter = [&](unsigned density) {
    return cinfo.density_unit == 1 ? static_cast<uint32_t>((density * 10000u + 127) / 254)
                                   : density * 100u;
  };
  x = perMeter(cinfo.X_density);
  y = perMeter(cinfo.Y_density);
  return true;
}

void ReadHeaderStep(jpeg_decompress_struct* cinfo, JpegHeaderJob* job) {
  jpeg_create_decompress(cinfo);
  cinfo->src = &job->reader->source.mgr;
  cinfo->progress = &job->reader->progress;
  jpeg_save_markers(cinfo, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(cinfo, TRUE);
  switch (cinfo->jpeg_color_space) {
    case JCS_GRAYSCALE:
      cinfo->out_color_space = JCS_GRAYSCALE;
      job->bits = 8;
      break;
    case JCS_YCbCr:
    case JCS_RGB:
      cinfo->out_color_space = JCS_EXT_BGR;
      job->bits = 24;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      Fail(reinterpret_cast<j_common_ptr>(cinfo),
           "CMYK JPEG files are not supported (their colours depend on a printing profile); "
           "convert it to RGB first");
    default:
      Fail(reinterpret_cast<j_common_ptr>(cinfo), "bad JPEG file: unknown colour space");
  }
  ExifFacts exif;
  for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next)
    if (m->marker == JPEG_APP0 + 1 && m->data_length > 6 &&
        std::memcmp(m->data, "Exif\0\0", 6) == 0) {
      exif = ParseExif(m->data + 6, m->data_length - 6);
      break;
    }
  if (exif.orientation) job->orientation = exif.orientation;
  if (!JfifResolution(*cinfo, job->xPerMeter, job->yPerMeter)) {
    job->xPerMeter = exif.xPerMeter;
    job->yPerMeter = exif.yPerMeter;
  }
  job->fewestBlocks = UINT64_MAX;
  for (int c = 0; c < cinfo->num_components; ++c) {
    const jpeg_component_info& component = cinfo->comp_info[c];
    job->fewestBlocks = std::min(job->fewestBlocks,
                                 uint64_t{component.width_in_blocks} * component.height_in_blocks);
  }
}

// Checks the picture against the limits every image shares, and the file against the picture:
// with Huffman coding every block of a component that is coded at all costs at least one bit, so
// a file shorter than that cannot hold the picture its header announces, and it is refused before
// any memory is set aside for it. (Arithmetic coding can pack a plain picture tighter.)
bool CheckHeader(const jpeg_decompress_struct& cinfo, const JpegHeaderJob& job, uint64_t fileSize,
                 std::string& error) {
  const std::string size =
      std::to_string(cinfo.image_width) + " x " + std::to_string(cinfo.image_height);
  if (!DibFits(job.bits, cinfo.image_width, cinfo.image_height)) {
    error = "image too large (" + size + " at " + std::to_string(job.bits) + " bits per pixel)";
    return false;
  }
  if (!cinfo.arith_code && job.fewestBlocks / 8 > fileSize) {
    error = "truncated JPEG file (" + std::to_string(fileSize) + " bytes cannot hold the " + size +
            " picture its header describes)";
    return false;
  }
  return true;
}

BitmapInfoHeader HeaderOf(const jpeg_decompress_struct& cinfo, const JpegHeaderJob& job) {
  return ImageHeader(job.bits, cinfo.image_width, cinfo.image_height, job.bits == 8 ? 256 : 0,
                     job.xPerMeter, job.yPerMeter);
}

bool StartJpeg(JpegReader& reader, JpegHeaderJob& job, std::string& error) {
  job.reader = &reader;
  if (!Guarded(&reader.cinfo, ReadHeaderStep, &job)) {
    error = reader.error.message;
    return false;
  }
  reader.source.limit =
      reader.source.offset + kHeaderBytes +
      4 * uint64_t{RowStride(job.bits, reader.cinfo.image_width)} * reader.cinfo.image_height;
  return CheckHeader(reader.cinfo, job, reader.source.source->size, error);
}

// Where the rows go: the PackedDib's pixel area, bottom row first.
struct JpegRowsJob {
  uint8_t* rows = nullptr;
  size_t stride = 0;
};

void ReadRowsStep(jpeg_decompress_struct* cinfo, JpegRowsJob* job) {
  jpeg_start_decompress(cinfo);
  const JDIMENSION height = cinfo->output_height;
  while (cinfo->output_scanline < height) {
    // The library hands out up to rec_outbuf_height rows at a time; each goes straight to its
    // place in the block.
    JSAMPROW rows[4];
    const auto count = static_cast<JDIMENSION>(std::min<int>(
        std::min(cinfo->rec_outbuf_height, 4), static_cast<int>(height - cinfo->output_scanline)));
    for (JDIMENSION i = 0; i < count; ++i)
      rows[i] = job->rows + (height - 1 - (cinfo->output_scanline + i)) * job->stride;
    jpeg_read_scanlines(cinfo, rows, count);
  }
  jpeg_finish_decompress(cinfo);
}

}  // namespace

HostBlock ReadJpeg(const ByteSource& source, int& orientation, std::string& error) {
  JpegReader reader(source);
  JpegHeaderJob job;
  if (!StartJpeg(reader, job, error)) return nullptr;
  const BitmapInfoHeader h = HeaderOf(reader.cinfo, job);
  const uint32_t tableBytes = h.biClrUsed * 4;
  OwnedBlock block(NewImageBlock(h, error));
  if (!block) return nullptr;
  BlockLock lock(block.get());
  auto* table = reinterpret_cast<RgbQuad*>(lock.get() + kHeaderSize);
  for (uint32_t i = 0; i < h.biClrUsed; ++i) {
    const auto grey = static_cast<uint8_t>(i);
    table[i] = {grey, grey, grey, 0};
  }
  const size_t stride = static_cast<size_t>(RowStride(job.bits, reader.cinfo.image_width));
  JpegRowsJob rows{lock.get() + kHeaderSize + tableBytes, stride};
  if (!Guarded(&reader.cinfo, ReadRowsStep, &rows)) {
    error = reader.error.message;
    return nullptr;
  }
  for (uint32_t y = 0; y < reader.cinfo.image_height; ++y)
    ClearPadding(rows.rows + size_t{y} * stride, job.bits, reader.cinfo.image_width, stride);
  orientation = job.orientation;
  lock.unlock();
  return block.release();
}

bool ReadJpegHeader(const ByteSource& source, BitmapInfoHeader& header, int& orientation,
                    std::string& error) {
  JpegReader reader(source);
  JpegHeaderJob job;
  if (!StartJpeg(reader, job, error)) return false;
  header = HeaderOf(reader.cinfo, job);
  orientation = job.orientation;
  return true;
}

// --- Writing ---

namespace {

struct JpegDestination {
  jpeg_destination_mgr mgr;  // first, as JpegError's
  const ByteSink* sink;
  bool sinkFailed;
  JOCTET buffer[1 << 16];
};

void InitDestination(j_compress_ptr cinfo) {
  auto* d = reinterpret_cast<JpegDestination*>(cinfo->dest);
  d->mgr.next_output_byte = d->buffer;
  d->mgr.free_in_buffer = sizeof d->buffer;
}

void Pass(j_compress_ptr cinfo, size_t bytes) {
  auto* d = reinterpret_cast<JpegDestination*>(cinfo->dest);
  if (bytes && !(*d->sink)(d->buffer, bytes)) {
    d->sinkFailed = true;
    Fail(reinterpret_cast<j_common_ptr>(cinfo), "write error");
  }
}

boolean EmptyOutput(j_compress_ptr cinfo) {
  auto* d = reinterpret_cast<JpegDestination*>(cinfo->dest);
  Pass(cinfo, sizeof d->buffer);
  InitDestination(cinfo);
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  auto* d = reinterpret_cast<JpegDestination*>(cinfo->dest);
  Pass(cinfo, sizeof d->buffer - d->mgr.free_in_buffer);
}

struct JpegWriter {
  jpeg_compress_struct cinfo{};
  JpegError error{};
  JpegDestination destination{};
  explicit JpegWriter(const ByteSink& sink) {
    cinfo.err = jpeg_std_error(&error.mgr);
    error.mgr.error_exit = OnError;
    error.mgr.emit_message = OnMessage;
    destination.sink = &sink;
    destination.mgr.init_destination = InitDestination;
    destination.mgr.empty_output_buffer = EmptyOutput;
    destination.mgr.term_destination = TermDestination;
  }
  ~JpegWriter() { jpeg_destroy_compress(&cinfo); }
  JpegWriter(const JpegWriter&) = delete;
  JpegWriter& operator=(const JpegWriter&) = delete;
};

// What the rows are and how they reach the library: true-colour rows as they are stored, palette
// rows through `table` (grey levels, or blue-green-red triples) into `scratch`.
struct JpegWriteJob {
  JpegWriter* writer = nullptr;
  const DibView* v = nullptr;
  int quality = 90;
  bool grey = false;
  uint8_t table[256][3] = {};
  uint8_t* scratch = nullptr;  // one expanded row; null when rows go as they are
};

// The row `r` from the top in the form the library takes.
JSAMPROW RowForLibrary(const JpegWriteJob& job, uint32_t r) {
  const DibView& v = *job.v;
  uint8_t* row = v.RowFromTop(r);
  if (!job.scratch) return row;
  const unsigned perByte = 8 / v.bits, mask = (1u << v.bits) - 1;
  for (uint32_t x = 0; x < v.width; ++x) {
    const unsigned shift = 8 - v.bits * (x % perByte + 1);
    const uint8_t* entry = job.table[row[x / perByte] >> shift & mask];
    if (job.grey)
      job.scratch[x] = entry[0];
    else
      std::memcpy(job.scratch + 3 * size_t{x}, entry, 3);
  }
  return job.scratch;
}

void WriteStep(jpeg_compress_struct* cinfo, JpegWriteJob* job) {
  const DibView& v = *job->v;
  jpeg_create_compress(cinfo);
  cinfo->dest = &job->writer->destination.mgr;
  cinfo->image_width = v.width;
  cinfo->image_height = v.height;
  cinfo->input_components = job->grey ? 1 : v.bits == 32 ? 4 : 3;
  cinfo->in_color_space = job->grey ? JCS_GRAYSCALE : v.bits == 32 ? JCS_EXT_BGRX : JCS_EXT_BGR;
  jpeg_set_defaults(cinfo);
  // As cjpeg -quality sets it: below 25 the tables may need 16-bit entries.
  jpeg_set_quality(cinfo, job->quality, FALSE);
  cinfo->optimize_coding = TRUE;
  const int32_t x = v.header->biXPelsPerMeter, y = v.header->biYPelsPerMeter;
  if (x > 0 && y > 0) {
    // Dots per inch, rounded: 254 / 10000 of the pixels per metre.
    const auto perInch = [](int32_t perMeter) {
      return static_cast<UINT16>(
          std::clamp<int64_t>((int64_t{perMeter} * 254 + 5000) / 10000, 1, 65535));
    };
    cinfo->density_unit = 1;
    cinfo->X_density = perInch(x);
    cinfo->Y_density = perInch(y);
  }
  jpeg_start_compress(cinfo, TRUE);
  while (cinfo->next_scanline < v.height) {
    JSAMPROW row = RowForLibrary(*job, cinfo->next_scanline);
    jpeg_write_scanlines(cinfo, &row, 1);
  }
  jpeg_finish_compress(cinfo);
}

}  // namespace

bool EncodeJpeg(const DibView& v, int quality, const ByteSink& sink, std::string& error) {
  JpegWriter writer(sink);
  JpegWriteJob job;
  job.writer = &writer;
  job.v = &v;
  job.quality = quality;
  std::vector<uint8_t> scratch;
  if (v.bits <= 8) {
    // Indices past a short table are black, as a BMP reader shows them.
    job.grey = true;
    for (uint32_t i = 0; i < v.colorCount && i < 256; ++i) {
      const RgbQuad& c = v.colors[i];
      job.table[i][0] = c.rgbBlue;
      job.table[i][1] = c.rgbGreen;
      job.table[i][2] = c.rgbRed;
      job.grey = job.grey && c.rgbBlue == c.rgbGreen && c.rgbGreen == c.rgbRed;
    }
    scratch.resize(size_t{v.width} * (job.grey ? 1 : 3));
    job.scratch = scratch.data();
    // An 8-bit picture whose table is the grey ramp goes to the library as it is.
    bool ramp = v.bits == 8 && job.grey && v.colorCount == 256;
    for (uint32_t i = 0; ramp && i < 256; ++i) ramp = job.table[i][0] == i;
    if (ramp) job.scratch = nullptr;
  }
  if (!Guarded(&writer.cinfo, WriteStep, &job)) {
    error = writer.destination.sinkFailed
                ? "write error"
                : std::string("cannot make the JPEG file: ") + writer.error.message;
    return false;
  }
  return true;
}

#endif
