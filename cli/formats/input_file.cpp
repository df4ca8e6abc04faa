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

namespace {

// Calls `use` with a source over the regular file open as `fd` (closed at the end), whose bytes
// from `base` on are the input's `size` bytes; `end`, when given, is set past the last byte read.
bool WithFile(int fd, uint64_t base, uint64_t size, std::string& error,
              const std::function<bool(const ByteSource&)>& use, uint64_t* end = nullptr) {
  File file(fdopen(fd, "rb"));
  if (!file) {
    error = std::strerror(errno);
    close(fd);
    return false;
  }
  FILE* f = file.get();
  // Readers that go through the file in order (PNG) ask for many small pieces; a seek would
  // throw away the stream's buffer each time, so only a jump seeks.
  uint64_t position = UINT64_MAX;
  return use(ByteSource{size, [f, base, &position, end](uint64_t offset, void* into, size_t bytes) {
                          if (end) *end = std::max(*end, offset + bytes);
#ifndef _WIN32
                          // pread leaves the stream and its position as they were.
                          if (bytes >= kParallelReadBytes && RowWorkers() > 1)
                            return ReadInBands(fileno(f), base + offset,
                                               static_cast<uint8_t*>(into), bytes);
#endif
                          if (offset != position) {
#ifdef _WIN32
                            if (_fseeki64(f, static_cast<__int64>(base + offset), SEEK_SET) != 0)
                              return false;
#else
                            if (fseeko(f, static_cast<off_t>(base + offset), SEEK_SET) != 0)
                              return false;
#endif
                            position = offset;
                          }
                          const size_t got = std::fread(into, 1, bytes, f);
                          position += got;
                          return got == bytes;
                        }});
}

// Standard input as a stream, read once front to back. Readers look at the head twice (the
// signature, then the header), so the first bytes are kept; the rest go straight where the reader
// wants them, and nothing is read beyond what it asks for: a stream that is not a picture costs
// a few bytes, not all of it.
class StreamReader {
 public:
  // Copies `bytes` bytes at `offset` into `into`; false at the stream's end (then Ended()) or on
  // an error, or for bytes behind the kept head that were read already.
  bool Read(uint64_t offset, uint8_t* into, size_t bytes) {
    if (offset < head_.size()) {
      const size_t kept = std::min(bytes, static_cast<size_t>(head_.size() - offset));
      std::memcpy(into, head_.data() + offset, kept);
      offset += kept, into += kept, bytes -= kept;
    }
    if (offset >= tailAt_ && offset - tailAt_ < tail_.size()) {
      const size_t kept = std::min(bytes, static_cast<size_t>(tail_.size() - (offset - tailAt_)));
      std::memcpy(into, tail_.data() + (offset - tailAt_), kept);
      offset += kept, into += kept, bytes -= kept;
    }
    if (bytes == 0) return true;
    if (offset < consumed_ || !Skip(offset - consumed_)) return false;
    const uint64_t start = consumed_;
    if (Take(into, bytes)) return true;
    // A read that met the end keeps what it got (beyond the head, which keeps its own), so that a
    // reader that asked for more than there was can ask again for the rest.
    const uint64_t from = std::max<uint64_t>(start, head_.size());
    if (ended_ && consumed_ > from && consumed_ - from <= kKeptBytes) {
      tail_.assign(into + (from - start), into + (consumed_ - start));
      tailAt_ = from;
    }
    return false;
  }
  bool Ended() const { return ended_; }
  uint64_t Consumed() const { return consumed_; }

 private:
  static constexpr size_t kKeptBytes = 64 << 10;

  // Reads `bytes` bytes into `into`, the part within the head kept as well.
  bool Take(uint8_t* into, size_t bytes) {
    if (consumed_ < kKeptBytes) {
      const size_t kept = std::min(bytes, static_cast<size_t>(kKeptBytes - consumed_));
      const size_t at = head_.size();
      head_.resize(at + kept);
      if (!Pull(head_.data() + at, kept)) return false;
      std::memcpy(into, head_.data() + at, kept);
      into += kept, bytes -= kept;
    }
    return Pull(into, bytes);
  }
  bool Skip(uint64_t bytes) {
    uint8_t scratch[4096];
    for (size_t n; bytes > 0; bytes -= n) {
      n = static_cast<size_t>(std::min<uint64_t>(bytes, sizeof scratch));
      if (!Take(scratch, n)) return false;
    }
    return true;
  }
  bool Pull(uint8_t* into, size_t bytes) {
    const size_t got = std::fread(into, 1, bytes, stdin);
    consumed_ += got;
    if (got < bytes && !std::ferror(stdin)) ended_ = true;
    // The head holds what was read of its part, no more.
    if (got < bytes && consumed_ < head_.size()) head_.resize(static_cast<size_t>(consumed_));
    return got == bytes;
  }

  std::vector<uint8_t> head_;
  std::vector<uint8_t> tail_;  // the last bytes, from tailAt_ on
  uint64_t tailAt_ = 0;
  uint64_t consumed_ = 0;
  bool ended_ = false;
};

bool WithStandardInput(std::string& error, const std::function<bool(const ByteSource&)>& use) {
#ifdef _WIN32
  _setmode(_fileno(stdin), _O_BINARY);
#else
  // A file redirected to standard input is read as any file.
  struct stat st {};
  const off_t at = lseek(STDIN_FILENO, 0, SEEK_CUR);
  if (fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode) && at >= 0 && at <= st.st_size) {
    const int fd = dup(STDIN_FILENO);
    uint64_t end = 0;
    if (fd >= 0) {
      const bool ok = WithFile(fd, static_cast<uint64_t>(at),
                               static_cast<uint64_t>(st.st_size - at), error, use, &end);
      // Just past the picture, as a pipe is left, for whoever reads on.
      lseek(STDIN_FILENO, at + static_cast<off_t>(std::min<uint64_t>(end, st.st_size - at)),
            SEEK_SET);
      return ok;
    }
  }
#endif
  // Unbuffered, so that what the reader does not ask for stays in the pipe for the next reader.
  std::setvbuf(stdin, nullptr, _IONBF, 0);
  StreamReader reader;
  ByteSource source{kUnknownSize, nullptr};
  source.read = [&reader, &source](uint64_t offset, void* into, size_t bytes) {
    const bool ok = reader.Read(offset, static_cast<uint8_t*>(into), bytes);
    if (reader.Ended()) source.size = reader.Consumed();
    return ok;
  };
  if (use(source)) return true;
  if (std::ferror(stdin)) error = std::string("standard input: ") + std::strerror(errno);
  return false;
}

}  // namespace

bool ReadHead(const ByteSource& source, void* into, size_t most, size_t& got) {
  got = static_cast<size_t>(std::min<uint64_t>(most, source.size));
  if (source.read(0, into, got)) return true;
  // A stream shorter than `most` has told its size by now.
  got = static_cast<size_t>(std::min<uint64_t>(most, source.size));
  return got < most && source.read(0, into, got);
}

bool WithInputSource(const std::string& path, std::string& error,
                     const std::function<bool(const ByteSource&)>& use) {
  if (path == "-") return WithStandardInput(error, use);
  uint64_t size = 0;
  const int fd = OpenRegularFile(path, size, error);
  if (fd < 0) return false;
  return WithFile(fd, 0, size, error, use);
}
