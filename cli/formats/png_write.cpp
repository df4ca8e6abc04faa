// Writing PNG files: the chunks are written here around zlib's deflate, so that the rows can be
// filtered and deflated in bands on every core and passed on as they are done (libdeflate adds up
// the rows' Adler-32 several times faster than zlib). The bands form one
// standard zlib stream: each band but the first is primed with the 32 KiB of filtered rows before
// it (so matches reach across the seam as in one stream), each but the last ends with a sync flush
// on a byte boundary, and their Adler-32 sums are combined.
#include "cli/formats/png_io.h"

#ifndef IMAGETOOL_HAS_LIBPNG

bool WritePng(const DibView&, int, const ByteSink&, std::string& error, size_t) {
  error = kPngUnsupported;
  return false;
}

#else

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <vector>

#include "cli/formats/png_filter.h"
#include "dib/row_bands.h"

namespace {

constexpr uint8_t kSignature[8] = {137, 'P', 'N', 'G', 13, 10, 26, 10};
constexpr size_t kWindow = 32768;              // deflate's reach back
constexpr size_t kMaxChunk = size_t{1} << 30;  // a chunk's length must stay below 2^31

void Put32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

// A run of bytes of a chunk's data.
struct Bytes {
  const uint8_t* data;
  size_t size;
};

// Writes one chunk whose data is `parts` one after the other.
bool WriteChunk(const ByteSink& sink, const char* type, std::span<const Bytes> parts) {
  size_t length = 0;
  for (const Bytes& part : parts) length += part.size;
  uint8_t head[8];
  Put32(head, static_cast<uint32_t>(length));
  std::memcpy(head + 4, type, 4);
  uLong crc = crc32(0, head + 4, 4);
  for (const Bytes& part : parts)
    for (size_t done = 0; done < part.size;) {  // crc32 takes at most 4 GiB - 1 at a time
      const auto n = static_cast<uInt>(std::min<size_t>(part.size - done, 1u << 30));
      crc = crc32(crc, part.data + done, n);
      done += n;
    }
  uint8_t tail[4];
  Put32(tail, static_cast<uint32_t>(crc));
  if (!sink(head, 8)) return false;
  for (const Bytes& part : parts)
    if (part.size && !sink(part.data, part.size)) return false;
  return sink(tail, 4);
}

// How the picture's rows become PNG rows.
struct PngRows {
  const DibView* v;
  size_t bytes;  // of a raw PNG row, without the filter type byte
  unsigned bpp;  // bytes per pixel as the filters see them (1 below 8 bits)
  bool choose;   // true colour: filters chosen per row; palette: none
};

// The rows of one band and what deflating them gave.
struct Band {
  uint32_t first = 0, end = 0;
  bool last = false;
  std::unique_ptr<uint8_t[]> out;
  size_t outBytes = 0;
  uLong adler = 0;    // of the band's filtered rows
  size_t length = 0;  // of the band's filtered rows
  bool ok = false;
};

// A band's buffers: the four filter candidates, a row of zeros above the first and one filtered
// row.
struct RowBuffers {
  explicit RowBuffers(size_t bytes)
      : memory(new (std::nothrow) uint8_t[6 * bytes + 1]()),
        scratch(memory.get()),
        zeros(scratch + 4 * bytes),
        filtered(zeros + bytes) {}
  std::unique_ptr<uint8_t[]> memory;
  uint8_t *scratch, *zeros, *filtered;
};

// Filters row `r` from the top into buffers.filtered, straight from the picture's rows.
void FilterRow(const PngRows& p, uint32_t r, RowBuffers& buffers) {
  const DibView& v = *p.v;
  FilterPngRow(v.RowFromTop(r), r ? v.RowFromTop(r - 1) : buffers.zeros, p.bytes, p.bpp, p.choose,
               v.bits >= 24, buffers.scratch, buffers.filtered);
  // Packed rows are not filtered: the bits after the last pixel, which engines may leave set,
  // are cleared in the copy.
  if (const auto used = static_cast<unsigned>(uint64_t{v.width} * v.bits % 8))
    buffers.filtered[p.bytes] &= static_cast<uint8_t>(0xFF << (8 - used));
}

// Feeds `bytes` bytes to deflate without flushing; false when zlib fails (the output is sized by
// deflateBound, so it never runs out).
bool Feed(z_stream& z, const uint8_t* data, size_t bytes, int flush) {
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = static_cast<uInt>(bytes);
  const int status = deflate(&z, flush);
  return (status == Z_OK || status == Z_STREAM_END || status == Z_BUF_ERROR) && z.avail_in == 0 &&
         z.avail_out > 0;
}

// Filters and deflates the rows of `band` as its part of the stream.
void DeflateBand(const PngRows& p, int level, Band& band) {
  const size_t line = p.bytes + 1;
  RowBuffers buffers(p.bytes);
  if (!buffers.memory) return;
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, p.choose ? Z_FILTERED : Z_DEFAULT_STRATEGY) !=
      Z_OK)
    return;
  bool ok = true;
  if (band.first > 0) {
    // The filtered rows before the band, up to the window's size, filtered again here: each
    // depends only on its raw row and the one above.
    const uint32_t rows =
        static_cast<uint32_t>(std::min<size_t>(band.first, (kWindow + line - 1) / line));
    std::unique_ptr<uint8_t[]> window(new (std::nothrow) uint8_t[rows * line]);
    ok = window != nullptr;
    if (ok) {
      const uint32_t start = band.first - rows;
      for (uint32_t r = start; r < band.first; ++r) {
        FilterRow(p, r, buffers);
        std::memcpy(window.get() + (r - start) * line, buffers.filtered, line);
      }
      const size_t size = std::min(kWindow, rows * line);
      ok = deflateSetDictionary(&z, window.get() + rows * line - size, static_cast<uInt>(size)) ==
           Z_OK;
    }
  }
  band.length = (band.end - band.first) * line;
  const size_t capacity = deflateBound(&z, band.length) + 64;
  band.out.reset(ok ? new (std::nothrow) uint8_t[capacity] : nullptr);
  ok = ok && band.out;
  if (ok) {
    z.next_out = band.out.get();
    z.avail_out = static_cast<uInt>(capacity);
  }
  band.adler = adler32(0, nullptr, 0);
  for (uint32_t r = band.first; ok && r < band.end; ++r) {
    FilterRow(p, r, buffers);
    band.adler = libdeflate_adler32(static_cast<uint32_t>(band.adler), buffers.filtered, line);
    ok = Feed(z, buffers.filtered, line, Z_NO_FLUSH);
  }
  // Each band ends on a byte boundary so that the next one's bytes follow on; the last ends the
  // stream.
  ok = ok && Feed(z, nullptr, 0, band.last ? Z_FINISH : Z_SYNC_FLUSH);
  band.outBytes = capacity - z.avail_out;
  deflateEnd(&z);
  band.ok = ok;
}

// Writes `parts`, bytes of the zlib stream, as one IDAT chunk, or as several where they are more
// than a chunk may hold.
bool WriteIdat(const ByteSink& sink, std::span<const Bytes> parts) {
  std::vector<Bytes> chunk;
  size_t size = 0;
  for (Bytes part : parts) {
    while (part.size > 0) {
      const size_t n = std::min(part.size, kMaxChunk - size);
      chunk.push_back({part.data, n});
      size += n;
      part = {part.data + n, part.size - n};
      if (size == kMaxChunk) {
        if (!WriteChunk(sink, "IDAT", chunk)) return false;
        chunk.clear();
        size = 0;
      }
    }
  }
  return chunk.empty() || WriteChunk(sink, "IDAT", chunk);
}

// The highest colour index any pixel of a palette picture uses.
uint32_t HighestIndex(const DibView& v) {
  const unsigned perByte = 8 / v.bits, mask = (1u << v.bits) - 1;
  uint32_t highest = 0;
  for (uint32_t y = 0; y < v.height; ++y) {
    const uint8_t* row = v.Row(y);
    for (uint32_t x = 0; x < v.width; ++x) {
      const unsigned shift = 8 - v.bits * (x % perByte + 1);
      highest = std::max<uint32_t>(highest, row[x / perByte] >> shift & mask);
    }
  }
  return highest;
}

// The chunks before the pixels: IHDR, PLTE for palette pictures, pHYs when the resolution is
// known.
bool WriteHead(const DibView& v, const ByteSink& sink) {
  uint8_t ihdr[13] = {};
  Put32(ihdr, v.width);
  Put32(ihdr + 4, v.height);
  ihdr[8] = static_cast<uint8_t>(v.bits <= 8 ? v.bits : 8);
  ihdr[9] = v.bits <= 8 ? 3 : v.bits == 24 ? 2 : 6;
  if (!sink(kSignature, 8) || !WriteChunk(sink, "IHDR", {{{ihdr, 13}}})) return false;
  if (v.bits <= 8) {
    // A PNG palette must cover every index the pixels use; the engines may leave indices past a
    // short table (as a BMP file may hold them), which get black entries.
    const uint32_t entries = std::max(v.colorCount, HighestIndex(v) + 1);
    uint8_t plte[256 * 3] = {};
    for (uint32_t i = 0; i < v.colorCount; ++i) {
      plte[3 * i] = v.colors[i].rgbRed;
      plte[3 * i + 1] = v.colors[i].rgbGreen;
      plte[3 * i + 2] = v.colors[i].rgbBlue;
    }
    if (!WriteChunk(sink, "PLTE", {{{plte, 3 * size_t{entries}}}})) return false;
  }
  if (v.header->biXPelsPerMeter > 0 && v.header->biYPelsPerMeter > 0) {
    uint8_t phys[9] = {};
    Put32(phys, static_cast<uint32_t>(v.header->biXPelsPerMeter));
    Put32(phys + 4, static_cast<uint32_t>(v.header->biYPelsPerMeter));
    phys[8] = 1;  // per metre
    if (!WriteChunk(sink, "pHYs", {{{phys, 9}}})) return false;
  }
  return true;
}

}  // namespace

bool WritePng(const DibView& v, int level, const ByteSink& sink, std::string& error,
              size_t bandBytes) {
  const PngRows p{&v, v.UsedBytes(), v.bits >= 24 ? v.bits / 8 : 1, v.bits >= 24};
  const size_t line = p.bytes + 1;
  // Bands of about bandBytes or less, a multiple of four of them so that two or four cores get
  // even rounds. They depend on the picture alone: the file is the same on any machine.
  const uint64_t wanted = (line * v.height + bandBytes - 1) / bandBytes;
  const auto bands =
      static_cast<uint32_t>(std::min<uint64_t>(v.height, wanted <= 1 ? 1 : (wanted + 3) / 4 * 4));
  const uint32_t bandRows = (v.height + bands - 1) / bands;
  const uint32_t workers = RowBandCount(bands);
  if (!WriteHead(v, sink)) return false;
  // zlib's header: deflate with a 32 KiB window, the level's class, and the check bits.
  const uint8_t flevel = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
  uint8_t zhead[2] = {0x78, static_cast<uint8_t>(flevel << 6)};
  zhead[1] = static_cast<uint8_t>(zhead[1] + 31 - (zhead[0] * 256 + zhead[1]) % 31);
  uLong adler = adler32(0, nullptr, 0);
  uint8_t check[4];
  // A round of bands, one per worker, is deflated at once and written in order, a chunk per band:
  // memory beyond the picture stays at a band's deflated bytes and a few rows per worker.
  std::unique_ptr<Band[]> round(new (std::nothrow) Band[workers]);
  if (!round) {
    error = "not enough memory to write the PNG file";
    return false;
  }
  for (uint32_t first = 0; first < v.height; first += workers * bandRows) {
    uint32_t count = 0;
    for (uint32_t r = first; count < workers && r < v.height; r += bandRows) {
      Band& band = round[count++];
      band = Band{};
      band.first = r;
      band.end = std::min(v.height, r + bandRows);
      band.last = band.end == v.height;
    }
    RunRowBands(count, count, [&](const RowBand& rb) {
      for (uint32_t i = rb.first; i < rb.end; ++i) DeflateBand(p, level, round[i]);
    });
    for (uint32_t i = 0; i < count; ++i) {
      const Band& band = round[i];
      if (!band.ok) {
        error = "not enough memory to write the PNG file";
        return false;
      }
      adler = adler32_combine(adler, band.adler, static_cast<z_off_t>(band.length));
      Put32(check, static_cast<uint32_t>(adler));
      const Bytes parts[] = {{zhead, band.first == 0 ? 2u : 0u},
                             {band.out.get(), band.outBytes},
                             {check, band.last ? 4u : 0u}};
      if (!WriteIdat(sink, parts)) return false;
    }
  }
  return WriteChunk(sink, "IEND", {});
}

#endif
