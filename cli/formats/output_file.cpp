#include "cli/formats/output_file.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <mutex>
#include <new>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <climits>
#include <cstdlib>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

std::string Cause(int error) { return std::strerror(error); }

#ifndef _WIN32

// Temporary files being written at this moment (several when many files are worked on at once),
// for the signal handler to remove. A slot holds a path while its state is kReady.
constexpr int kFree = 0, kFilling = 1, kReady = 2;
struct TempSlot {
  std::atomic<int> state{kFree};
  char path[PATH_MAX + 1] = {};
};
TempSlot g_temps[16];

// Every signal that ends a process by default and that a process can catch, but SIGXFSZ, which
// is ignored while writing instead: a file size limit then fails the write ("File too large").
std::vector<int> CleanUpSignals() {
  std::vector<int> list = {
      SIGHUP,    SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,  SIGFPE, SIGUSR1,
      SIGSEGV,   SIGUSR2, SIGPIPE, SIGALRM, SIGTERM, SIGXCPU, SIGPROF, SIGSYS, SIGVTALRM,
#ifdef SIGPOLL
      SIGPOLL,
#endif
#ifdef SIGPWR
      SIGPWR,
#endif
#ifdef SIGSTKFLT
      SIGSTKFLT,
#endif
  };
  for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) list.push_back(sig);
  return list;
}

void RemoveTempsAndDie(int sig) {
  for (TempSlot& slot : g_temps)
    if (slot.state.load() == kReady) unlink(slot.path);  // async-signal-safe
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

// The handlers are set by the first write under way and the earlier ones put back by the last;
// signals the caller ignores stay ignored.
struct WriteSignals {
  std::mutex lock;
  int writers = 0;
  std::vector<int> signals;
  std::vector<void (*)(int)> before;
  void (*xfszBefore)(int) = SIG_DFL;
} g_writeSignals;

void StartWriting() {
  const std::lock_guard<std::mutex> guard(g_writeSignals.lock);
  WriteSignals& w = g_writeSignals;
  if (w.writers++ > 0) return;
  if (w.signals.empty()) w.signals = CleanUpSignals();
  w.before.assign(w.signals.size(), SIG_DFL);
  for (size_t i = 0; i < w.signals.size(); ++i) {
    w.before[i] = std::signal(w.signals[i], RemoveTempsAndDie);
    if (w.before[i] == SIG_IGN) std::signal(w.signals[i], SIG_IGN);
  }
  w.xfszBefore = std::signal(SIGXFSZ, SIG_IGN);
}

void StopWriting() {
  const std::lock_guard<std::mutex> guard(g_writeSignals.lock);
  WriteSignals& w = g_writeSignals;
  if (--w.writers > 0) return;
  for (size_t i = 0; i < w.signals.size(); ++i) std::signal(w.signals[i], w.before[i]);
  std::signal(SIGXFSZ, w.xfszBefore);
}

#endif

}  // namespace

#ifndef _WIN32

WriteGuard::WriteGuard(const std::string& tempPath) {
  StartWriting();
  if (tempPath.empty() || tempPath.size() > PATH_MAX) return;
  for (TempSlot& slot : g_temps) {
    int expected = kFree;
    if (!slot.state.compare_exchange_strong(expected, kFilling)) continue;
    std::memcpy(slot.path, tempPath.c_str(), tempPath.size() + 1);
    slot.state.store(kReady);
    slot_ = &slot - g_temps;
    return;
  }
}

WriteGuard::~WriteGuard() {
  if (slot_ >= 0) g_temps[slot_].state.store(kFree);
  StopWriting();
}

#endif

namespace {

#ifndef _WIN32

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

// Writes what `produce` makes over the regular file open as `fd` and closes it. The bytes are made
// first and room is set aside for them, so that a full disk or a file size limit fails before the
// old contents are touched (the file may be the input itself, under another link); only an error
// while writing can still leave it damaged.
bool OverwriteAndClose(int fd, const OutputProducer& produce, std::string& error) {
  std::vector<char> bytes;
  int failure = 0;
  const ByteSink keep = [&bytes, &failure](const void* data, size_t size) {
    try {
      bytes.insert(bytes.end(), static_cast<const char*>(data),
                   static_cast<const char*>(data) + size);
      return true;
    } catch (const std::bad_alloc&) {
      failure = ENOMEM;  // not thrown through the encoders' C code
      return false;
    }
  };
  bool ok = produce(keep, error);
  if (failure) error = Cause(failure);
  const auto size = static_cast<off_t>(bytes.size());
  // A size limit binds writes anywhere beyond it, even over old bytes.
  struct rlimit limit {};
  if (ok && getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
      bytes.size() > limit.rlim_cur)
    error = Cause(EFBIG), ok = false;
  if (ok && size > 0 && fallocate(fd, 0, 0, size) != 0 && errno != EOPNOTSUPP && errno != ENOSYS)
    error = Cause(errno), ok = false;
  ok = ok && WriteAll(
                 fd,
                 [&bytes](const ByteSink& sink, std::string&) {
                   return sink(bytes.data(), bytes.size());
                 },
                 error);
  if (ok && ftruncate(fd, size) != 0) error = Cause(errno), ok = false;
  if (close(fd) != 0 && ok) error = Cause(errno), ok = false;
  return ok;
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
  const WriteGuard guard(temp);
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

// A new file at `path` (a dangling symbolic link is refused rather than followed), made with the
// mode the umask leaves.
bool WriteNewFile(const std::string& path, const OutputProducer& produce, std::string& error) {
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

bool ResolvePath(const std::string& path, std::string& resolved, std::string& error) {
  char* name = realpath(path.c_str(), nullptr);
  if (!name) {
    error = Cause(errno);
    return false;
  }
  resolved = name;
  std::free(name);
  return true;
}

// Whether the file `st` at `target` can be replaced by renaming a new file over it: the user may
// make files in its folder and, in a sticky folder such as /tmp, owns the file or the folder.
// Otherwise it is written in place, as cp writes it.
bool MayReplace(const std::string& target, const struct stat& st) {
  const size_t slash = target.rfind('/');
  const std::string folder = slash == 0 ? "/" : target.substr(0, slash);
  struct stat dir {};
  if (stat(folder.c_str(), &dir) != 0 ||
      faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
    return false;
  const uid_t user = geteuid();
  return !(dir.st_mode & S_ISVTX) || user == 0 || st.st_uid == user || dir.st_uid == user;
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
  if (path == "-") {
    const WriteGuard guard("");
    return WriteAll(STDOUT_FILENO, produce, error);
  }
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return WriteNewFile(path, produce, error);
  if (S_ISDIR(st.st_mode)) {
    error = Cause(EISDIR);
    return false;
  }
  // Opening for writing asks the system whether the user may write here, with its own reason.
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) {
    error = Cause(errno);
    return false;
  }
  // /dev/stdout and its kind name a file this process already has open: written in place.
  bool inPlace = !S_ISREG(st.st_mode) || path.starts_with("/dev/") || path.starts_with("/proc/") ||
                 st.st_nlink > 1;
  // The file a symbolic link names is replaced, not the link.
  std::string target;
  if (!inPlace && !ResolvePath(path, target, error)) {
    close(fd);
    return false;
  }
  if (inPlace || !MayReplace(target, st)) {
    const WriteGuard guard("");
    return S_ISREG(st.st_mode) ? OverwriteAndClose(fd, produce, error)
                               : WriteAndClose(fd, produce, error);
  }
  close(fd);
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
