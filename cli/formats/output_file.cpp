#include "cli/formats/output_file.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iterator>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <climits>
#include <cstdlib>
#include <unistd.h>
#endif

namespace {

std::string Cause(int error) { return std::strerror(error); }

#ifndef _WIN32

constexpr int kCleanUpSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

// The temporary file being written; a signal that ends the process removes it first.
struct PendingTemp {
  char path[PATH_MAX + 1] = {};
} g_pending;

void RemovePendingTemp(int sig) {
  if (g_pending.path[0]) unlink(g_pending.path);  // async-signal-safe
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

// Registers the temporary file for removal on a signal for the guard's lifetime; signals the
// caller ignores stay ignored, and every earlier handler comes back at the end.
struct PendingTempScope {
  explicit PendingTempScope(const std::string& path) {
    std::snprintf(g_pending.path, sizeof g_pending.path, "%s", path.c_str());
    for (size_t i = 0; i < std::size(kCleanUpSignals); ++i) {
      before[i] = std::signal(kCleanUpSignals[i], RemovePendingTemp);
      if (before[i] == SIG_IGN) std::signal(kCleanUpSignals[i], SIG_IGN);
    }
  }
  ~PendingTempScope() {
    for (size_t i = 0; i < std::size(kCleanUpSignals); ++i)
      std::signal(kCleanUpSignals[i], before[i]);
    g_pending.path[0] = 0;
  }
  void (*before[std::size(kCleanUpSignals)])(int) = {};
  PendingTempScope(const PendingTempScope&) = delete;
  PendingTempScope& operator=(const PendingTempScope&) = delete;
};

// Writes what `produce` makes to `fd`; false with the cause in `error`.
bool WriteAll(int fd, const OutputProducer& produce, std::string& error) {
  int failure = 0;
  const ByteSink sink = [fd, &failure](const void* data, size_t size) {
    const auto* p = static_cast<const char*>(data);
    for (size_t left = size; left > 0;) {
      const ssize_t n = write(fd, p, left);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        failure = n < 0 ? errno : ENOSPC;
        return false;
      }
      p += n;
      left -= static_cast<size_t>(n);
    }
    return true;
  };
  if (produce(sink, error)) return true;
  if (failure) error = Cause(failure);
  return false;
}

// Writes what `produce` makes to an open descriptor and closes it; a failing close (a full disk
// on some file systems) fails the write.
bool WriteAndClose(int fd, const OutputProducer& produce, std::string& error) {
  const bool written = WriteAll(fd, produce, error);
  const int closed = close(fd);
  if (written && closed != 0) error = Cause(errno);
  return written && closed == 0;
}

// The new file replaces `target` by rename from a temporary file in the same folder (so that the
// rename cannot cross devices). The short fixed-length name fits beside any legal file name.
bool ReplaceAtomically(const std::string& target, mode_t mode, const struct stat* owner,
                       const OutputProducer& produce, std::string& error) {
  const size_t slash = target.rfind('/');
  std::string temp = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) +
                     ".imagetool-XXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    error = "cannot create the output file: " + Cause(errno);
    return false;
  }
  PendingTempScope pending(temp);
  if (owner && (owner->st_uid != geteuid() || owner->st_gid != getegid()) &&
      fchown(fd, owner->st_uid, owner->st_gid) != 0)
    mode &= ~mode_t{S_ISUID | S_ISGID};  // never hand set-id bits to another owner
  bool ok = fchmod(fd, mode) == 0;
  if (!ok) error = Cause(errno);
  if (!ok) close(fd);
  ok = ok && WriteAndClose(fd, produce, error);
  if (ok && rename(temp.c_str(), target.c_str()) != 0) {
    error = Cause(errno);
    ok = false;
  }
  if (!ok) unlink(temp.c_str());
  return ok;
}

#endif

}  // namespace

#ifdef _WIN32

bool WriteOutputFile(const std::string& path, const OutputProducer& produce, std::string& error) {
  if (path == "-") {
    _setmode(_fileno(stdout), _O_BINARY);
    int failure = 0;
    const ByteSink sink = [&failure](const void* data, size_t size) {
      if (std::fwrite(data, 1, size, stdout) == size) return true;
      failure = errno;
      return false;
    };
    bool ok = produce(sink, error);
    if (ok && std::fflush(stdout) != 0) failure = errno, ok = false;
    if (failure) error = Cause(failure);
    return ok;
  }
  const std::string temp = path + ".imagetool-tmp";
  const int fd =
      _open(temp.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) {
    error = "cannot create the output file: " + Cause(errno);
    return false;
  }
  int failure = 0;
  const ByteSink sink = [fd, &failure](const void* data, size_t size) {
    if (_write(fd, data, static_cast<unsigned>(size)) == static_cast<int>(size)) return true;
    failure = errno;
    return false;
  };
  bool ok = produce(sink, error);
  if (failure) error = Cause(failure);
  if (_close(fd) != 0 && ok) {
    error = Cause(errno);
    ok = false;
  }
  std::remove(path.c_str());  // rename does not replace on Windows
  if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
    error = Cause(errno);
    ok = false;
  }
  if (!ok) std::remove(temp.c_str());
  return ok;
}

#else

bool WriteOutputFile(const std::string& path, const OutputProducer& produce, std::string& error) {
  if (path == "-") return WriteAll(STDOUT_FILENO, produce, error);
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    if (errno != ENOENT) {
      error = Cause(errno);
      return false;
    }
    struct stat link {};
    if (lstat(path.c_str(), &link) == 0) {
      error = "not writing through a dangling symbolic link";
      return false;
    }
    const mode_t mask = umask(0);
    umask(mask);
    return ReplaceAtomically(path, 0666 & ~mask, nullptr, produce, error);
  }
  if (S_ISDIR(st.st_mode)) {
    error = Cause(EISDIR);
    return false;
  }
  // /dev/stdout and its kind name a file this process already has open: written in place.
  const bool inPlace = !S_ISREG(st.st_mode) || path.starts_with("/dev/") ||
                       path.starts_with("/proc/") || st.st_nlink > 1;
  // Opening for writing asks the system whether the user may write here, with its own reason.
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) {
    error = Cause(errno);
    return false;
  }
  if (inPlace) {
    if (S_ISREG(st.st_mode) && ftruncate(fd, 0) != 0) {
      error = Cause(errno);
      close(fd);
      return false;
    }
    return WriteAndClose(fd, produce, error);
  }
  close(fd);
  // The file a symbolic link names is replaced, not the link.
  char* resolved = realpath(path.c_str(), nullptr);
  if (!resolved) {
    error = Cause(errno);
    return false;
  }
  const std::string target = resolved;
  std::free(resolved);
  return ReplaceAtomically(target, st.st_mode & 07777, &st, produce, error);
}

#endif

bool WriteOutputFile(const std::string& path, std::span<const OutputPiece> pieces,
                     std::string& error) {
  return WriteOutputFile(
      path,
      [pieces](const ByteSink& sink, std::string&) {
        for (const OutputPiece& piece : pieces)
          if (!sink(piece.data, piece.size)) return false;
        return true;
      },
      error);
}
