// Writing an output file the way cp treats its target, but all or nothing where that is possible.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// A run of bytes to write.
struct OutputPiece {
  const void* data = nullptr;
  size_t size = 0;
};

// Writes `pieces`, one after the other, to the output named `path`:
// - "-" is standard output;
// - an existing output that is not a regular file (a device, a FIFO) is written to directly;
// - a symbolic link is followed, and the file it names is the output (a dangling one is refused);
// - an existing regular file the user may not write is refused with the system's reason; one
//   with more than one hard link is truncated and written in place, so that every link sees the
//   result (a failure part way can then leave it damaged);
// - any other regular file, or a new one, is replaced atomically: the bytes go to a new temporary
//   file in the same folder, which takes the old file's mode (and owner, where the process may
//   give it) and is renamed over it only when everything was written. The temporary file is
//   removed when the process is interrupted meanwhile.
// On failure `error` gives the cause; nothing is left behind except in the in-place case.
bool WriteOutputFile(const std::string& path, std::span<const OutputPiece> pieces,
                     std::string& error);
