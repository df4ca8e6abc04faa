// JPEG files in and out of PackedDib blocks, with libjpeg-turbo. A build without it (the Windows
// imagetool) has the same entry points; they refuse every JPEG and say why.
//
// Reading takes baseline, progressive and arithmetic-coded files with the library's default
// decoding (accurate integer DCT, smooth upsampling): YCbCr and RGB become 24-bit pictures,
// greyscale an 8-bit picture with a grey table. CMYK and YCCK files are refused: their colours
// mean something only with the printing profile they were made for. The JFIF density, or else
// the EXIF resolution, becomes the picture's resolution. Any sign of corrupt or missing data
// refuses the file: there are no half pictures.
//
// Writing: 24-bit pictures as YCbCr, 32-bit ones without their fourth byte, palette pictures whose
// table is all grey as greyscale and other palette pictures expanded to colour; the library's
// defaults (4:2:0 for colour) with optimised Huffman tables; the resolution goes into the JFIF
// density in dots per inch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "cli/formats/input_file.h"
#include "cli/formats/output_file.h"
#include "dib/dib.h"
#include "dib/host_port.h"

// Whether this build reads and writes JPEG files.
extern const bool kJpegSupported;
// Why a build without libjpeg-turbo refuses JPEG files.
extern const char kJpegUnsupported[];

// The JPEG library this build uses and its version, for --version.
std::string JpegLibraries();

// True when `head` (`size` bytes) starts as every JPEG file does (FF D8 FF).
bool IsJpegSignature(const uint8_t* head, size_t size);

// Reads a JPEG file from `source`. Returns a new block (the caller owns it), or null with `error`
// set to a one-line reason. `orientation` gets the EXIF orientation (1-8; 1 when there is none).
HostBlock ReadJpeg(const ByteSource& source, int& orientation, std::string& error);

// Reads only the markers before the first scan: `header` is the header ReadJpeg's image would
// have.
bool ReadJpegHeader(const ByteSource& source, BitmapInfoHeader& header, int& orientation,
                    std::string& error);

// Passes the JPEG file of a valid PackedDib at `quality` (1-100) to `sink` as it is made; false
// with `error` set when it cannot be made, or when the sink fails (which then says why).
bool EncodeJpeg(const DibView& v, int quality, const ByteSink& sink, std::string& error);
