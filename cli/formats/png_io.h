// PNG files in and out of PackedDib blocks, with libpng. A build without libpng (the Windows
// imagetool) has the same entry points; they refuse every PNG and say why.
//
// Reading takes every colour type and depth: palette pictures of 1, 4 and 8 bits keep their
// depth and table, 2-bit ones become 4-bit; grey pictures become palette pictures with a grey
// table (1 bit; 2 and 4 bits as 4-bit; 8 and 16 bits as 8-bit); RGB becomes 24-bit and RGBA
// or grey with alpha 32-bit (alpha in the fourth byte). 16-bit channels are reduced to 8 bits
// with rounding. A transparent colour (tRNS) of a palette, grey or RGB picture gives 32-bit RGBA
// when the caller keeps alpha and is otherwise ignored. Interlaced files are read too.
//
// Writing gives palette PNGs of the picture's depth and table, RGB for 24 bits and RGBA for 32.
// The rows are filtered as libpng filters them and deflated in bands on every core as one zlib
// stream (cli/png_write.cpp), and passed on as they are done.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/formats/input_file.h"
#include "cli/formats/output_file.h"
#include "dib/dib.h"
#include "dib/host_port.h"

// Whether this build reads and writes PNG files.
extern const bool kPngSupported;
// Why a build without libpng refuses PNG files.
extern const char kPngUnsupported[];

// "libpng 1.6.39, zlib 1.2.13", or "no libpng" for a build without it.
std::string PngLibraries();

// True when `head` (`size` bytes) starts with the PNG signature.
bool IsPngSignature(const uint8_t* head, size_t size);

// What reading changed that the user should hear about.
struct PngNotes {
  bool reduced16 = false;            // 16-bit channels became 8-bit
  bool transparencyIgnored = false;  // a tRNS colour was dropped (keepAlpha false)
};

// Reads a PNG file from `source`. Returns a new block (the caller owns it), or null with `error`
// set to a one-line reason. The rows of a plain picture (no interlacing, no expansion, at most 8
// bits a sample) in a file are inflated whole and unfiltered here, every other's by libpng, which
// `libpngRows` asks for every picture (the tests compare the two).
HostBlock ReadPng(const ByteSource& source, bool keepAlpha, PngNotes& notes, std::string& error,
                  bool libpngRows = false);

// Reads only the chunks before the pixels: `header` is the header ReadPng's image would have.
bool ReadPngHeader(const ByteSource& source, bool keepAlpha, BitmapInfoHeader& header,
                   std::string& error);

// The bytes of filtered rows deflated as one band: enough to keep deflate's matches and the
// flushes between bands from costing size, few enough that the bands of a large picture keep
// every core busy.
inline constexpr size_t kPngBandBytes = size_t{4} << 20;

// Passes the PNG file of a valid PackedDib to `sink` as it is made, deflated at `level` (0-9) in
// bands of about `bandBytes` (tests make them small to cross many seams). Memory beyond the
// picture: a band's deflated bytes and a few rows per thread. False with `error` set when it
// cannot be made, or when the sink fails (which then says why).
bool WritePng(const DibView& v, int level, const ByteSink& sink, std::string& error,
              size_t bandBytes = kPngBandBytes);
