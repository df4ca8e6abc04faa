#include "cli/formats/bmp_io.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "cli/formats/image_block.h"
#include "cli/formats/input_file.h"
#include "cli/formats/output_file.h"
#include "dib/block.h"
#include "dib/dib.h"

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kBiAlphaBitfields = 6;

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

// What the headers say, checked: where the table and the pixels are and how big everything is.
struct BmpLayout {
  BitmapInfoHeader header{};  // the normalised header of the image to build
  bool topDown = false;
  uint64_t tableOffset = 0;  // file offset of the colour table
  uint64_t pixelOffset = 0;  // file offset of the first stored row
  uint64_t stride = 0;
};

// The fields of the info header that decide the layout, as the file has them.
struct InfoFields {
  uint32_t infoSize = 0;
  int32_t width = 0, height = 0;
  uint32_t bits = 0, planes = 0, compression = 0, colorsUsed = 0;
};

// Checks the file header and the size of the info header, and reads the info header's fields.
bool ReadInfo(const uint8_t* head, size_t headSize, InfoFields& f, std::string& error) {
  if (headSize < 2 || head[0] != 'B' || head[1] != 'M') {
    error = "not a BMP file";
    return false;
  }
  if (headSize < kFileHeaderSize + 4) {
    error = "truncated BMP file (no bitmap header)";
    return false;
  }
  f.infoSize = Get32(head + kFileHeaderSize);
  if (f.infoSize == 12 || f.infoSize == 16 || f.infoSize == 64) {
    error = "OS/2 bitmap headers are not supported";
    return false;
  }
  if (f.infoSize != 40 && f.infoSize != 52 && f.infoSize != 56 && f.infoSize != 108 &&
      f.infoSize != 124) {
    error = "unknown bitmap header size " + std::to_string(f.infoSize);
    return false;
  }
  if (headSize < kFileHeaderSize + f.infoSize) {
    error = "truncated BMP file (bitmap header cut short)";
    return false;
  }
  const uint8_t* info = head + kFileHeaderSize;
  f.width = static_cast<int32_t>(Get32(info + 4));
  f.height = static_cast<int32_t>(Get32(info + 8));
  f.planes = Get16(info + 12);
  f.bits = Get16(info + 14);
  f.compression = Get32(info + 16);
  f.colorsUsed = Get32(info + 32);
  return true;
}

// Checks the depth and the compression: only uncompressed pixels, and bit fields only in the plain
// blue, green, red byte layout the engines know. Sets the bytes of masks that follow a 40-byte
// header.
bool CheckPixelFormat(const uint8_t* head, size_t headSize, const InfoFields& f,
                      uint32_t& maskBytes, std::string& error) {
  if (f.compression == kBiRle8 || f.compression == kBiRle4)
    error = "compressed (RLE) bitmaps are not supported";
  else if (f.bits == 16)
    error = "16-bit bitmaps are not supported";
  else if (!IsSupportedDepth(f.bits))
    error = "unsupported bit depth " + std::to_string(f.bits);
  else if (f.planes != 1)
    error = "bad number of planes " + std::to_string(f.planes) + " (must be 1)";
  if (!error.empty()) return false;
  const bool bitFields = f.compression == kBiBitfields || f.compression == kBiAlphaBitfields;
  // A 40-byte header is followed by the masks of a bit-field file: three, or four with alpha.
  maskBytes = f.infoSize != 40 || !bitFields ? 0 : f.compression == kBiBitfields ? 12 : 16;
  if (!bitFields) {
    if (f.compression == kBiRgb) return true;
    error =
        "compressed bitmaps are not supported (compression " + std::to_string(f.compression) + ")";
    return false;
  }
  if (headSize < kFileHeaderSize + 40 + 12) {
    error = "truncated BMP file (bit-field masks cut short)";
    return false;
  }
  const uint8_t* masks = head + kFileHeaderSize + 40;
  if (f.bits == 32 && Get32(masks) == 0x00FF0000u && Get32(masks + 4) == 0x0000FF00u &&
      Get32(masks + 8) == 0x000000FFu)
    return true;
  error = "bit-field layouts other than 8-bit blue, green, red are not supported";
  return false;
}

// Works out where the table and the rows are and checks them against the size limits and a file
// of `fileSize` bytes; `colors` is the table's length.
bool PlaceTableAndRows(const uint8_t* head, const InfoFields& f, uint32_t maskBytes,
                       uint32_t colors, uint64_t fileSize, BmpLayout& out, std::string& error) {
  const uint32_t rows =
      static_cast<uint32_t>(f.height < 0 ? -static_cast<int64_t>(f.height) : f.height);
  out.topDown = f.height < 0;
  out.stride = RowStride(f.bits, static_cast<uint32_t>(f.width));
  out.tableOffset = kFileHeaderSize + f.infoSize + maskBytes;
  const uint64_t tableEnd = out.tableOffset + uint64_t{colors} * 4;
  const uint32_t offBits = Get32(head + 10);
  // Some writers leave bfOffBits 0; the pixels then follow the colour table, which a file above
  // 8 bits may carry too (biClrUsed entries that nobody indexes).
  out.pixelOffset = offBits ? offBits : out.tableOffset + uint64_t{f.colorsUsed} * 4;
  if (out.pixelOffset < tableEnd) {
    error = colors ? "pixel data overlaps the colour table"
                   : "pixel data offset " + std::to_string(offBits) + " points into the header";
    return false;
  }
  if (out.stride > (uint64_t{1} << 32)) {
    error = "image too large";
    return false;
  }
  const uint64_t imageBytes = out.stride * rows;  // below 2^32 × 2^31: no overflow
  if (tableEnd > fileSize || out.pixelOffset + imageBytes > fileSize) {
    error = "truncated BMP file (" + std::to_string(fileSize) + " bytes, the header asks for " +
            std::to_string(std::max(tableEnd, out.pixelOffset + imageBytes)) + ")";
    return false;
  }
  if (!DibFits(f.bits, static_cast<uint32_t>(f.width), rows)) {
    error = "image too large (" + std::to_string(imageBytes) + " bytes of pixels)";
    return false;
  }
  out.header.biHeight = static_cast<int32_t>(rows);
  out.header.biSizeImage = static_cast<uint32_t>(imageBytes);
  return true;
}

// Checks the file header and the info header (at least the first 14 + 40 bytes and the masks of
// a bit-field file must be in `head`, `headSize` long) against a file of `fileSize` bytes.
bool ParseHeaders(const uint8_t* head, size_t headSize, uint64_t fileSize, BmpLayout& out,
                  std::string& error) {
  InfoFields f;
  uint32_t maskBytes = 0;
  if (!ReadInfo(head, headSize, f, error) || !CheckPixelFormat(head, headSize, f, maskBytes, error))
    return false;
  if (f.width <= 0 || f.height == 0 || f.height == INT32_MIN) {
    error = "bad image size " + std::to_string(f.width) + " x " + std::to_string(f.height);
    return false;
  }
  const uint32_t maxColors = f.bits <= 8 ? 1u << f.bits : 0;
  if (f.bits <= 8 && f.colorsUsed > maxColors) {
    error = "colour table of " + std::to_string(f.colorsUsed) + " entries is too long for " +
            std::to_string(f.bits) + " bits";
    return false;
  }
  const uint32_t colors = f.bits <= 8 ? (f.colorsUsed ? f.colorsUsed : maxColors) : 0;
  if (!PlaceTableAndRows(head, f, maskBytes, colors, fileSize, out, error)) return false;
  const uint8_t* info = head + kFileHeaderSize;
  BitmapInfoHeader& h = out.header;
  h.biSize = kHeaderSize;
  h.biWidth = f.width;
  h.biPlanes = 1;
  h.biBitCount = static_cast<uint16_t>(f.bits);
  h.biCompression = kBiRgb;
  h.biXPelsPerMeter = static_cast<int32_t>(Get32(info + 24));
  h.biYPelsPerMeter = static_cast<int32_t>(Get32(info + 28));
  h.biClrUsed = colors;
  h.biClrImportant = std::min(Get32(info + 36), colors);
  return true;
}

// Zeroes the bits after the last pixel of each of `height` rows of `stride` bytes.
void ClearPadding(uint8_t* rows, size_t stride, size_t height, uint32_t bits, uint32_t width) {
  for (size_t k = 0; k < height; ++k) ::ClearPadding(rows + k * stride, bits, width, stride);
}

// Puts rows read in file order into bottom-up order and clears the padding of every row, so that
// equal pictures give equal bytes whatever wrote the file.
void FinishRows(const BmpLayout& layout, uint8_t* rows) {
  const BitmapInfoHeader& h = layout.header;
  const size_t stride = static_cast<size_t>(layout.stride);
  const size_t height = static_cast<size_t>(h.biHeight);
  if (layout.topDown) {
    std::unique_ptr<uint8_t[]> tmp(new uint8_t[stride]);
    for (size_t i = 0; i < height / 2; ++i) {
      uint8_t* a = rows + i * stride;
      uint8_t* b = rows + (height - 1 - i) * stride;
      std::memcpy(tmp.get(), a, stride);
      std::memcpy(a, b, stride);
      std::memcpy(b, tmp.get(), stride);
    }
  }
  ClearPadding(rows, stride, height, h.biBitCount, static_cast<uint32_t>(h.biWidth));
}

// Reads and checks the headers of the file `source` holds.
bool ReadLayout(const ByteSource& source, BmpLayout& layout, std::string& error) {
  // The headers, and the masks after a 40-byte one, and no further: a pipe's next picture may
  // follow a small file.
  uint8_t head[kFileHeaderSize + 124 + 16] = {};
  size_t headSize = 0;
  const auto readHead = [&](size_t most) { return ReadHead(source, head, most, headSize); };
  bool read = readHead(kFileHeaderSize + 4);
  const uint32_t infoSize = Get32(head + kFileHeaderSize);
  read = read && readHead(kFileHeaderSize + std::min<uint32_t>(infoSize, 124));
  const uint32_t compression = Get32(head + kFileHeaderSize + 16);
  if (read && infoSize == 40 && (compression == kBiBitfields || compression == kBiAlphaBitfields))
    read = readHead(kFileHeaderSize + 40 + (compression == kBiBitfields ? 12 : 16));
  if (!read) {
    error = "read error";
    return false;
  }
  return ParseHeaders(head, headSize, source.size, layout, error);
}

}  // namespace

// The one reader behind the entry points: headers checked first, then the table and the rows go
// straight into the block that becomes the image.
HostBlock ReadBmp(const ByteSource& source, std::string& error) {
  BmpLayout layout;
  if (!ReadLayout(source, layout, error)) return nullptr;
  const BitmapInfoHeader& h = layout.header;
  const uint32_t tableBytes = h.biClrUsed * 4;
  OwnedBlock block(NewImageBlock(h, error));
  if (!block) return nullptr;
  BlockLock lock(block.get());
  uint8_t* rows = lock.get() + kHeaderSize + tableBytes;
  if (!source.read(layout.tableOffset, lock.get() + kHeaderSize, tableBytes) ||
      !source.read(layout.pixelOffset, rows, h.biSizeImage)) {
    // A stream's end, met only now, tells the size its header could not be checked against.
    const uint64_t needed = layout.pixelOffset + h.biSizeImage;
    error = source.size < needed ? "truncated BMP file (" + std::to_string(source.size) +
                                       " bytes, the header asks for " + std::to_string(needed) + ")"
                                 : "read error";
    return nullptr;
  }
  FinishRows(layout, rows);
  lock.unlock();
  return block.release();
}

bool ReadBmpHeader(const ByteSource& source, BitmapInfoHeader& header, std::string& error) {
  BmpLayout layout;
  if (!ReadLayout(source, layout, error)) return false;
  header = layout.header;
  return true;
}

namespace {

// The 14-byte file header in front of a PackedDib of `dibBytes` bytes whose rows follow
// `colorCount` table entries.
std::array<uint8_t, kFileHeaderSize> FileHeader(size_t dibBytes, uint32_t colorCount) {
  std::array<uint8_t, kFileHeaderSize> out{'B', 'M'};
  Put32(&out[2], static_cast<uint32_t>(kFileHeaderSize + dibBytes));
  Put32(&out[10], static_cast<uint32_t>(kFileHeaderSize + kHeaderSize + colorCount * 4));
  return out;
}

// The bytes of a valid PackedDib that go into its file (header, table, rows); 0 for a block that
// does not describe one.
size_t DibFileBytes(uint8_t* dib, size_t size, DibView& v) {
  if (!dib || !DescribeDib(dib, size, v)) return 0;
  return kHeaderSize + v.colorCount * 4 + v.stride * v.height;
}

}  // namespace

HostBlock ParseBmp(const uint8_t* data, size_t size, std::string& error) {
  return ReadBmp(MemorySource(data, size), error);
}

HostBlock ReadBmpFile(const std::string& path, std::string& error) {
  HostBlock block = nullptr;
  WithInputSource(path, error, [&](const ByteSource& source) {
    block = ReadBmp(source, error);
    return block != nullptr;
  });
  return block;
}

bool ReadBmpHeader(const std::string& path, BitmapInfoHeader& header, std::string& error) {
  return WithInputSource(
      path, error, [&](const ByteSource& source) { return ReadBmpHeader(source, header, error); });
}

std::vector<uint8_t> EncodeBmp(HostBlock dib) {
  BlockLock lock(dib);
  DibView v;
  const size_t dibBytes = DibFileBytes(lock.get(), HP_Size(dib), v);
  if (!dibBytes) return {};
  const auto header = FileHeader(dibBytes, v.colorCount);
  std::vector<uint8_t> out(header.begin(), header.end());
  out.insert(out.end(), lock.get(), lock.get() + dibBytes);
  return out;
}

bool WriteBmpFile(const std::string& path, HostBlock dib, std::string& error) {
  BlockLock lock(dib);
  return WriteBmpFile(path, lock.get(), HP_Size(dib), error);
}

bool WriteBmpFile(const std::string& path, uint8_t* dib, size_t size, std::string& error) {
  DibView v;
  const size_t dibBytes = DibFileBytes(dib, size, v);
  if (!dibBytes) {
    error = "internal error: the result is not a valid image";
    return false;
  }
  // Engines may leave bits after a row's last pixel; files carry zeros there.
  ClearPadding(v.rows, v.stride, v.height, v.bits, v.width);
  const auto fileHeader = FileHeader(dibBytes, v.colorCount);
  const OutputPiece pieces[] = {{fileHeader.data(), fileHeader.size()}, {dib, dibBytes}};
  return WriteOutputFile(path, pieces, error);
}
