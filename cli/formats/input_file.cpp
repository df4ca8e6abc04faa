#include "cli/formats/input_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>

#include "dib/row_bands.h"
#endif

int OpenRegularFile(const std::string& path, uint64_t& size, std::string& error) {
#ifdef _WIN32
  const int fd = _open(path.c_str(), _O_RDONLY | _O_BINARY);
#else
  // Without O_NONBLOCK, opening a FIFO would wait for a writer.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
#endif
  if (fd < 0) {
    error = std::strerror(errno);
    return -1;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error = S_ISDIR(st.st_mode) ? "is a directory" : "not a regular file";
    close(fd);
    return -1;
  }
  size = static_cast<uint64_t>(st.st_size);
  return fd;
}

bool ReadSmallFile(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& bytes,
                   std::string& error) {
  uint64_t size = 0;
  const int fd = OpenRegularFile(path, size, error);
  if (fd < 0) return false;
  bool ok = size <= maxBytes;
  if (!ok) error = "larger than " + std::to_string(maxBytes) + " bytes";
  if (ok) {
    bytes.resize(static_cast<size_t>(size));
    for (size_t done = 0; ok && done < bytes.size();) {
      const auto n = read(fd, bytes.data() + done, static_cast<unsigned>(bytes.size() - done));
      if (n < 0 && errno == EINTR) continue;
      ok = n > 0;
      if (!ok) error = n < 0 ? std::strerror(errno) : "the file shrank while it was read";
      if (ok) done += static_cast<size_t>(n);
    }
  }
  close(fd);
  return ok;
}

ByteSource MemorySource(const uint8_t* data, size_t size) {
  return {size, [data, size](uint64_t offset, void* into, size_t bytes) {
            if (offset > size || bytes > size - offset) return false;
            if (bytes) std::memcpy(into, data + offset, bytes);
            return true;
          }};
}

namespace {

struct FileCloser {
  void operator()(FILE* f) const {
    if (f) std::fclose(f);
  }
};
using File = std::unique_ptr<FILE, FileCloser>;

#ifndef _WIN32

// Reads of at least this many bytes are split over the row workers: most of such a read's time
// goes to clearing the fresh pages it lands in and copying from the page cache, which the cores
// can share. Smaller reads are not worth a thread.
constexpr size_t kParallelReadBytes = size_t{8} << 20;
constexpr size_t kReadPiece = size_t{1} << 20;

// Reads exactly `bytes` bytes at `offset` with pread; false on an error or the file's end.
bool ReadAt(int fd, uint64_t offset, uint8_t* into, size_t bytes) {
  while (bytes > 0) {
    const ssize_t n = pread(fd, into, bytes, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    into += n;
    offset += static_cast<uint64_t>(n);
    bytes -= static_cast<size_t>(n);
  }
  return true;
}

// Reads a large piece of the file in bands of 1 MB pieces, one band per row worker (pread leaves
// the descriptor's offset alone, so the bands do not race on it).
bool ReadInBands(int fd, uint64_t offset, uint8_t* into, size_t bytes) {
  const auto pieces = static_cast<uint32_t>((bytes + kReadPiece - 1) / kReadPiece);
  std::atomic<bool> ok{true};
  RunRowBands(pieces, RowBandCount(pieces), [&](const RowBand& band) {
    const size_t begin = size_t{band.first} * kReadPiece;
    const size_t end = std::min(bytes, size_t{band.end} * kReadPiece);
    if (!ReadAt(fd, offset + begin, into + begin, end - begin)) ok = false;
  });
  return ok;
}

#endif

}  // namespace

bool WithInputSource(const std::string& path, std::string& error,
                     const std::function<bool(const ByteSource&)>& use) {
  if (path == "-") {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    std::vector<uint8_t> data;
    uint8_t chunk[65536];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, stdin)) > 0;)
      data.insert(data.end(), chunk, chunk + n);
    if (std::ferror(stdin)) {
      error = std::string("standard input: ") + std::strerror(errno);
      return false;
    }
    return use(MemorySource(data.data(), data.size()));
  }
  uint64_t size = 0;
  const int fd = OpenRegularFile(path, size, error);
  if (fd < 0) return false;
  File file(fdopen(fd, "rb"));
  if (!file) {
    error = std::strerror(errno);
    close(fd);
    return false;
  }
  FILE* f = file.get();
  // Readers that go through the file in order (PNG) ask for many small pieces; a seek would
  // throw away the stream's buffer each time, so only a jump seeks.
  uint64_t position = 0;
  return use(ByteSource{size, [f, &position](uint64_t offset, void* into, size_t bytes) {
#ifndef _WIN32
                          // pread leaves the stream and its position as they were.
                          if (bytes >= kParallelReadBytes && RowWorkers() > 1)
                            return ReadInBands(fileno(f), offset, static_cast<uint8_t*>(into),
                                               bytes);
#endif
                          if (offset != position) {
#ifdef _WIN32
                            if (_fseeki64(f, static_cast<__int64>(offset), SEEK_SET) != 0)
                              return false;
#else
                            if (fseeko(f, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
#endif
                            position = offset;
                          }
                          const size_t got = std::fread(into, 1, bytes, f);
                          position += got;
                          return got == bytes;
                        }});
}
