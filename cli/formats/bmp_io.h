// BMP files in and out of PackedDib blocks.
//
// Reading accepts uncompressed BMP files of 1, 4, 8, 24 and 32 bits with a 40-byte info header or
// a larger one (52, 56, 108 and 124 bytes), rows bottom-up or top-down, and 32-bit bit-field files
// whose masks are the plain blue, green, red byte layout. The result is normalised to the packed
// model: 40-byte header, bottom-up rows, biClrUsed and biSizeImage filled in, padding zero.
// Everything else (RLE, 16 bits, OS/2 headers, truncated or absurd sizes) is refused with a
// one-line reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/formats/input_file.h"
#include "dib/dib.h"
#include "dib/host_port.h"

// Parses a whole BMP file held in memory. Returns a new block (the caller owns it), or null with
// `error` set.
HostBlock ParseBmp(const uint8_t* data, size_t size, std::string& error);

// Reads a BMP file from `source`: the table and the rows go straight into the new block.
HostBlock ReadBmp(const ByteSource& source, std::string& error);
// Reads and checks only the headers: `header` is the normalised header that ReadBmp's image
// would have.
bool ReadBmpHeader(const ByteSource& source, BitmapInfoHeader& header, std::string& error);

// Reads a BMP file ("-": standard input); the pixel rows are read straight into the block that
// becomes the image. Only regular files (and standard input) are read.
HostBlock ReadBmpFile(const std::string& path, std::string& error);

// Reads and checks only the headers of a BMP file: `header` is the normalised header that
// ReadBmpFile's image would have.
bool ReadBmpHeader(const std::string& path, BitmapInfoHeader& header, std::string& error);

// The BMP file of a PackedDib: a 14-byte file header followed by the block's bytes.
std::vector<uint8_t> EncodeBmp(HostBlock dib);

// Writes a PackedDib as a BMP file by the rules of WriteOutputFile (cli/formats/output_file.h): all
// or nothing for a new or a plain file, "-" for standard output. The rows' padding is cleared
// first. On failure `error` says why.
bool WriteBmpFile(const std::string& path, HostBlock dib, std::string& error);
// The same for a PackedDib of `size` bytes at `dib` (a block locked by another owner).
bool WriteBmpFile(const std::string& path, uint8_t* dib, size_t size, std::string& error);
