#include "cli/input_file.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
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
