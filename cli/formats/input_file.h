// Opening input files: only regular files are read, and nothing waits on a FIFO or a device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The size of a stream (a pipe on standard input) until a read meets its end.
inline constexpr uint64_t kUnknownSize = UINT64_MAX;

// Where a reader gets its bytes: `read` copies `bytes` bytes at `offset` into `into`, false when
// it cannot. `size` is the whole input's; for a stream it is kUnknownSize until a read meets the
// stream's end, which sets it (so a reader can tell a truncated input from a failing one). A stream
// is read front to back as far as the reader asks: it keeps its first bytes for a second look,
// but a read further back than those fails.
struct ByteSource {
  uint64_t size = 0;
  std::function<bool(uint64_t offset, void* into, size_t bytes)> read;
};

// Reads the first bytes of `source`, `most` of them or all of a shorter input, into `into`.
// Returns how many, or false on a read error.
bool ReadHead(const ByteSource& source, void* into, size_t most, size_t& got);

// A source over `size` bytes at `data`, which must outlive it.
ByteSource MemorySource(const uint8_t* data, size_t size);

// Calls `use` with a source over the file at `path`, or over standard input for "-" (a stream
// unless it is a regular file), and returns what it returns. Only regular files are read: a FIFO or
// a device is refused (false, with the reason in `error`) before anything is read from it.
bool WithInputSource(const std::string& path, std::string& error,
                     const std::function<bool(const ByteSource&)>& use);

// Opens `path` for reading and checks that it is a regular file (a FIFO is refused without
// waiting for a writer). Returns the descriptor (the caller closes it) and its size in `size`,
// or -1 with the reason in `error`.
int OpenRegularFile(const std::string& path, uint64_t& size, std::string& error);

// Reads all of a regular file of at most `maxBytes` bytes into `bytes`; false with the reason in
// `error` (a bigger file is refused before it is read).
bool ReadSmallFile(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& bytes,
                   std::string& error);
