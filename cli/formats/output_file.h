// Writing an output file the way cp treats its target, but all or nothing where that is possible.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

// A run of bytes to write.
struct OutputPiece {
  const void* data = nullptr;
  size_t size = 0;
};

// Takes an output's bytes in order; false when they could not be written (the writer that made
// the sink keeps the cause).
using ByteSink = std::function<bool(const void* data, size_t size)>;

// Makes an output's bytes and passes them to `sink` as they are ready, so that an encoder needs no
// copy of the whole file. Returns false, with `error` set, when it cannot make them; a failed
// sink is its own reason (the caller replaces `error` with the sink's cause).
using OutputProducer = std::function<bool(const ByteSink& sink, std::string& error)>;

// Writes the bytes `produce` makes to the output named `path`:
// - "-" is standard output;
// - an existing output that is not a regular file (a device, a FIFO) is written to directly;
// - a symbolic link is followed, and the file it names is the output (a dangling one is refused);
// - an existing regular file the user may not write is refused with the system's reason; one
//   with more than one hard link, or one that cannot be replaced because the user may not make
//   files in its folder (or, in a sticky folder such as /tmp, owns neither the file nor the
//   folder), is overwritten in place, as cp writes it, so that every link sees the result; its
//   bytes are made and room set aside for them first, so that a full disk or a file size limit
//   fails before it is touched and only an error while writing can leave it damaged;
// - any other regular file, or a new one, is replaced atomically: the bytes go to a new temporary
//   file in the same folder, which takes the old file's mode (and owner, where the process may
//   give it) and is renamed over it only when everything was written. The temporary file is
//   removed when a signal ends the process meanwhile, and a file size limit fails the write
//   ("File too large") instead of ending the process.
// On failure `error` gives the cause; nothing is left behind except in the in-place case.
bool WriteOutputFile(const std::string& path, const OutputProducer& produce, std::string& error);

// The same for bytes that are ready: `pieces`, one after the other.
bool WriteOutputFile(const std::string& path, std::span<const OutputPiece> pieces,
                     std::string& error);

#ifndef _WIN32
// Held while an output is written: a temporary file `tempPath` (none for "") is removed when a
// signal that can be caught ends the process, and SIGXFSZ is ignored, so that a file size limit
// fails the write with EFBIG. Several may be held at once, by several threads. Without a free
// slot, a temporary file is not removed on a signal.
class WriteGuard {
 public:
  explicit WriteGuard(const std::string& tempPath);
  ~WriteGuard();
  WriteGuard(const WriteGuard&) = delete;
  WriteGuard& operator=(const WriteGuard&) = delete;

 private:
  long slot_ = -1;
};
#endif
