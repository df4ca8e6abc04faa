// A minimal PNG writer for the tests' screenshots: 8-bit RGB, stored (uncompressed) deflate
// blocks, so it needs no library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes `rgb` (height rows of width x 3 bytes, red first, top row first) to `path`. False when
// the file cannot be written.
bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);
