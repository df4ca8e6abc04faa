// Opening input files: only regular files are read, and nothing waits on a FIFO or a device.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Opens `path` for reading and checks that it is a regular file (a FIFO is refused without
// waiting for a writer). Returns the descriptor (the caller closes it) and its size in `size`,
// or -1 with the reason in `error`.
int OpenRegularFile(const std::string& path, uint64_t& size, std::string& error);

// Reads all of a regular file of at most `maxBytes` bytes into `bytes`; false with the reason in
// `error` (a bigger file is refused before it is read).
bool ReadSmallFile(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& bytes,
                   std::string& error);
