// Image files of either format: the reader follows the file's signature, the writer the format
// the command chose for its output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/formats/png_io.h"
#include "dib/dib.h"
#include "dib/host_port.h"

enum class ImageFormat { kBmp, kPng };

// "bmp" or "png" into a format; false for anything else.
bool ParseImageFormat(const std::string& name, ImageFormat& format);

// The format an output named `path` is written in when no --format is given: its extension
// (.bmp or .png, in any case), otherwise `input`, the format of the picture read ("-" and other
// names keep the input's format).
ImageFormat OutputFormatFor(const std::string& path, ImageFormat input);

// Reads a BMP or a PNG file ("-": standard input), told apart by their first bytes. `keepAlpha`:
// a PNG's transparent colour (tRNS) makes the picture 32-bit RGBA instead of being ignored.
// Returns a new block (the caller owns it) and sets `format`, or null with `error` set. `notes`
// gets what reading a PNG changed that the user should hear.
HostBlock ReadImageFile(const std::string& path, bool keepAlpha, ImageFormat& format,
                        PngNotes& notes, std::string& error);

// Reads only the headers: `header` is the normalised header that ReadImageFile's image would have
// (with alpha kept).
bool ReadImageHeader(const std::string& path, BitmapInfoHeader& header, ImageFormat& format,
                     std::string& error);

// True for a 32-bit picture whose every fourth byte is 0, as many programs leave those of a
// 32-bit BMP: as a PNG, whose alpha they become, it is wholly transparent.
bool WhollyTransparent(HostBlock dib);

// Writes a PackedDib in `format` by the rules of WriteOutputFile (cli/formats/output_file.h).
bool WriteImageFile(const std::string& path, ImageFormat format, HostBlock dib, std::string& error);
