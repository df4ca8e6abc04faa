#include "cli/bmp_io.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

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

// Checks the file header and the info header (at least the first 14 + 40 bytes and the masks of
// a bit-field file must be in `head`, `headSize` long) against a file of `fileSize` bytes.
bool ParseHeaders(const uint8_t* head, size_t headSize, uint64_t fileSize, BmpLayout& out,
                  std::string& error) {
  if (headSize < 2 || head[0] != 'B' || head[1] != 'M') {
    error = "not a BMP file";
    return false;
  }
  if (headSize < kFileHeaderSize + 4) {
    error = "truncated BMP file (no bitmap header)";
    return false;
  }
  const uint32_t infoSize = Get32(head + kFileHeaderSize);
  if (infoSize == 12 || infoSize == 16 || infoSize == 64) {
    error = "OS/2 bitmap headers are not supported";
    return false;
  }
  if (infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 && infoSize != 124) {
    error = "unknown bitmap header size " + std::to_string(infoSize);
    return false;
  }
  if (headSize < kFileHeaderSize + infoSize) {
    error = "truncated BMP file (bitmap header cut short)";
    return false;
  }
  const uint8_t* info = head + kFileHeaderSize;
  const int32_t width = static_cast<int32_t>(Get32(info + 4));
  const int32_t height = static_cast<int32_t>(Get32(info + 8));
  const uint32_t bits = Get16(info + 14);
  const uint32_t compression = Get32(info + 16);
  const uint32_t colorsUsed = Get32(info + 32);

  if (compression == kBiRle8 || compression == kBiRle4) {
    error = "compressed (RLE) bitmaps are not supported";
    return false;
  }
  if (bits == 16) {
    error = "16-bit bitmaps are not supported";
    return false;
  }
  if (!IsSupportedDepth(bits)) {
    error = "unsupported bit depth " + std::to_string(bits);
    return false;
  }
  if (compression == kBiBitfields || compression == kBiAlphaBitfields) {
    // Only the masks of plain blue, green, red bytes describe the layout the engines know.
    if (headSize < kFileHeaderSize + 40 + 12) {
      error = "truncated BMP file (bit-field masks cut short)";
      return false;
    }
    const uint8_t* masks = info + 40;
    if (bits != 32 || Get32(masks) != 0x00FF0000u || Get32(masks + 4) != 0x0000FF00u ||
        Get32(masks + 8) != 0x000000FFu) {
      error = "bit-field layouts other than 8-bit blue, green, red are not supported";
      return false;
    }
  } else if (compression != kBiRgb) {
    error =
        "compressed bitmaps are not supported (compression " + std::to_string(compression) + ")";
    return false;
  }
  if (width <= 0 || height == 0 || height == INT32_MIN) {
    error = "bad image size " + std::to_string(width) + " x " + std::to_string(height);
    return false;
  }
  const uint32_t rows = static_cast<uint32_t>(height < 0 ? -static_cast<int64_t>(height) : height);
  const uint32_t maxColors = bits <= 8 ? 1u << bits : 0;
  if (bits <= 8 && colorsUsed > maxColors) {
    error = "colour table of " + std::to_string(colorsUsed) + " entries is too long for " +
            std::to_string(bits) + " bits";
    return false;
  }
  const uint32_t colors = bits <= 8 ? (colorsUsed ? colorsUsed : maxColors) : 0;

  out.topDown = height < 0;
  out.stride = RowStride(bits, static_cast<uint32_t>(width));
  out.tableOffset = kFileHeaderSize + infoSize + (infoSize == 40 && compression != kBiRgb ? 12 : 0);
  const uint64_t tableEnd = out.tableOffset + uint64_t{colors} * 4;
  const uint32_t offBits = Get32(head + 10);
  // Some writers leave bfOffBits 0; the pixels then follow the colour table.
  out.pixelOffset = offBits ? offBits : tableEnd;
  if (out.pixelOffset < tableEnd) {
    error = "pixel data overlaps the colour table";
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
  if (imageBytes > 0xFFFFFFFFu - kFileHeaderSize - kHeaderSize - 1024) {
    error = "image too large";
    return false;
  }

  BitmapInfoHeader& h = out.header;
  h.biSize = kHeaderSize;
  h.biWidth = width;
  h.biHeight = static_cast<int32_t>(rows);
  h.biPlanes = 1;
  h.biBitCount = static_cast<uint16_t>(bits);
  h.biCompression = kBiRgb;
  h.biSizeImage = static_cast<uint32_t>(imageBytes);
  h.biXPelsPerMeter = static_cast<int32_t>(Get32(info + 24));
  h.biYPelsPerMeter = static_cast<int32_t>(Get32(info + 28));
  h.biClrUsed = colors;
  h.biClrImportant = std::min(Get32(info + 36), colors);
  return true;
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
  const uint64_t usedBits = uint64_t{h.biBitCount} * static_cast<uint32_t>(h.biWidth);
  const size_t fullBytes = static_cast<size_t>(usedBits / 8);
  const unsigned tailBits = static_cast<unsigned>(usedBits % 8);
  for (size_t k = 0; k < height; ++k) {
    uint8_t* row = rows + k * stride;
    size_t clearFrom = fullBytes;
    if (tailBits) row[clearFrom++] &= static_cast<uint8_t>(0xFF00u >> tailBits);
    std::memset(row + clearFrom, 0, stride - clearFrom);
  }
}

struct FileCloser {
  void operator()(FILE* f) const {
    if (f) std::fclose(f);
  }
};
using File = std::unique_ptr<FILE, FileCloser>;

// The temporary file being written, removed if the process is interrupted meanwhile.
char g_pendingTemp[4096];

void RemovePendingTemp(int sig) {
  if (g_pendingTemp[0]) std::remove(g_pendingTemp);
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

// Where the reader gets its bytes: `read` copies `bytes` bytes at `offset` into `into`, false when
// it cannot.
struct BmpSource {
  uint64_t size = 0;
  std::function<bool(uint64_t offset, void* into, size_t bytes)> read;
};

// The one reader behind both entry points: headers checked first, then the table and the rows go
// straight into the block that becomes the image.
HostBlock ReadBmp(const BmpSource& source, std::string& error) {
  // Enough for the largest info header and bit-field masks.
  uint8_t head[kFileHeaderSize + 124 + 12] = {};
  const size_t headSize = static_cast<size_t>(std::min<uint64_t>(sizeof head, source.size));
  if (!source.read(0, head, headSize)) {
    error = "read error";
    return nullptr;
  }
  BmpLayout layout;
  if (!ParseHeaders(head, headSize, source.size, layout, error)) return nullptr;
  const BitmapInfoHeader& h = layout.header;
  const uint32_t tableBytes = h.biClrUsed * 4;
  OwnedBlock block(
      HP_Alloc(PackedDibSize(tableBytes, h.biBitCount, static_cast<uint32_t>(h.biWidth),
                             static_cast<uint32_t>(h.biHeight)),
               HP_MOVEABLE));
  BlockLock lock(block.get());
  if (!lock) {
    error = "not enough memory for the image";
    return nullptr;
  }
  std::memcpy(lock.get(), &h, sizeof h);
  uint8_t* rows = lock.get() + kHeaderSize + tableBytes;
  if (!source.read(layout.tableOffset, lock.get() + kHeaderSize, tableBytes) ||
      !source.read(layout.pixelOffset, rows, h.biSizeImage)) {
    error = "read error or truncated file";
    return nullptr;
  }
  FinishRows(layout, rows);
  lock.unlock();
  return block.release();
}

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
size_t DibFileBytes(const uint8_t* dib, size_t size, DibView& v) {
  if (!dib || !DescribeDib(const_cast<uint8_t*>(dib), size, v)) return 0;
  return kHeaderSize + v.colorCount * 4 + v.stride * v.height;
}

}  // namespace

HostBlock ParseBmp(const uint8_t* data, size_t size, std::string& error) {
  return ReadBmp({size,
                  [data](uint64_t offset, void* into, size_t bytes) {
                    if (bytes) std::memcpy(into, data + offset, bytes);
                    return true;
                  }},
                 error);
}

HostBlock ReadBmpFile(const std::string& path, std::string& error) {
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    error = std::strerror(errno);
    return nullptr;
  }
  struct stat st {};
  if (fstat(fileno(file.get()), &st) != 0 || !S_ISREG(st.st_mode)) {
    error = "not a regular file";
    return nullptr;
  }
  FILE* f = file.get();
  return ReadBmp({static_cast<uint64_t>(st.st_size),
                  [f](uint64_t offset, void* into, size_t bytes) {
#ifdef _WIN32
                    const bool placed = _fseeki64(f, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
                    const bool placed = fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
                    return placed && std::fread(into, 1, bytes, f) == bytes;
                  }},
                 error);
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

bool WriteBmpFile(const std::string& path, const uint8_t* dib, size_t size, std::string& error) {
  DibView v;
  const size_t dibBytes = DibFileBytes(dib, size, v);
  if (!dibBytes) {
    error = "internal error: the result is not a valid image";
    return false;
  }
  const auto fileHeader = FileHeader(dibBytes, v.colorCount);

  // A fresh temporary name beside the target, so that the final rename cannot cross devices.
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = path + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(attempt);
#ifdef _WIN32
    fd = _open(temp.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
#endif
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    error = std::string("cannot create the output file: ") + std::strerror(errno);
    return false;
  }
  if (temp.size() < sizeof g_pendingTemp) {
    std::memcpy(g_pendingTemp, temp.c_str(), temp.size() + 1);
    std::signal(SIGINT, RemovePendingTemp);
    std::signal(SIGTERM, RemovePendingTemp);
  }
  File file(fdopen(fd, "wb"));
  bool ok = file &&
            std::fwrite(fileHeader.data(), 1, fileHeader.size(), file.get()) == fileHeader.size() &&
            std::fwrite(dib, 1, dibBytes, file.get()) == dibBytes;
  const int writeErrno = errno;
  if (file) {
    ok = std::fclose(file.release()) == 0 && ok;
  } else {
#ifdef _WIN32
    _close(fd);
#else
    close(fd);
#endif
  }
  if (ok) {
#ifdef _WIN32
    std::remove(path.c_str());  // rename does not replace on Windows
#endif
    ok = std::rename(temp.c_str(), path.c_str()) == 0;
  }
  if (!ok) {
    error = std::string("cannot write the output file: ") +
            std::strerror(writeErrno ? writeErrno : errno);
    std::remove(temp.c_str());
  }
  g_pendingTemp[0] = 0;
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  return ok;
}
