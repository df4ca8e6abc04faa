// Image files of either format: the reader follows the file's signature, the writer the format
// the command chose for its output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/formats/jpeg_io.h"
#include "cli/formats/png_io.h"
#include "dib/dib.h"
#include "dib/host_port.h"

enum class ImageFormat { kBmp, kPng, kJpeg };

// The names --format takes, for help texts ("bmp|png|jpeg").
extern const char kFormatNames[];

// A format by its name ("bmp", "png", "jpeg"); false for anything else.
bool ParseImageFormat(const std::string& name, ImageFormat& format);

// The format's name and the extension its files are given (".bmp").
const char* FormatName(ImageFormat format);
const char* FormatExtension(ImageFormat format);

// The format an output named `path` is written in when no --format is given: its extension
// (.bmp, .png, .jpg or .jpeg, in any case), otherwise `input`, the format of the picture read ("-"
// and other names keep the input's format).
ImageFormat OutputFormatFor(const std::string& path, ImageFormat input);

// `path` renamed for a file of `format`: kept when its extension already is one of the format's,
// otherwise its extension (if any) replaced by the format's.
std::string NameForFormat(const std::string& path, ImageFormat format);

// The page of `imagetool help formats`: what is read and written, and how outputs are written.
std::string FormatsHelp();

// The libraries the formats are read and written with, and their versions.
std::string FormatLibraries();

// Whether this build writes files of `format`; false with the reason in `why`.
bool CanWrite(ImageFormat format, std::string& why);

// Every reader and writer starts its message for a failed allocation with these words, so that the
// run can tell running out of memory (a valid request that failed) from a bad file.
inline constexpr char kNoMemory[] = "not enough memory";
bool IsMemoryError(const std::string& error);

// How a picture is written: its format, the JPEG quality (1-100) and the PNG deflate level (0-9).
struct WriteSettings {
  ImageFormat format = ImageFormat::kBmp;
  int jpegQuality = 90;
  int pngLevel = 6;
};

// What reading found that the user should hear about.
struct ReadNotes {
  PngNotes png;
  int orientation = 1;  // a JPEG's EXIF orientation: 1 as stored, 2-8 turned or mirrored
};

// Reads a BMP, PNG or JPEG file ("-": standard input), told apart by their first bytes.
// `keepAlpha`: a PNG's transparent colour (tRNS) makes the picture 32-bit RGBA instead of being
// ignored. Returns a new block (the caller owns it) and sets `format`, or null with `error` set.
// `notes` gets what reading changed or found that the user should hear.
HostBlock ReadImageFile(const std::string& path, bool keepAlpha, ImageFormat& format,
                        ReadNotes& notes, std::string& error);

// Reads only the headers: `header` is the normalised header that ReadImageFile's image would have
// (with alpha kept); `orientation`, when given, a JPEG's EXIF orientation (1 for the others).
bool ReadImageHeader(const std::string& path, BitmapInfoHeader& header, ImageFormat& format,
                     std::string& error, int* orientation = nullptr);

// True for a 32-bit picture whose every fourth byte is 0, as many programs leave those of a
// 32-bit BMP: as a PNG, whose alpha they become, it is wholly transparent.
bool WhollyTransparent(HostBlock dib);

// Writes a PackedDib as `settings` say, by the rules of WriteOutputFile
// (cli/formats/output_file.h).
bool WriteImageFile(const std::string& path, const WriteSettings& settings, HostBlock dib,
                    std::string& error);
