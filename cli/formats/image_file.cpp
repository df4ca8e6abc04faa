#include "cli/formats/image_file.h"

#include <algorithm>
#include <cctype>

#include "cli/formats/bmp_io.h"
#include "cli/formats/input_file.h"
#include "cli/formats/output_file.h"
#include "cli/formats/png_io.h"
#include "dib/block.h"

namespace {

// Every format imagetool reads and writes: the name --format takes, then the extensions that choose
// it for an output, the first one being what its files are given.
struct FormatEntry {
  ImageFormat format;
  const char* name;
  const char* extensions[2];
};
constexpr FormatEntry kFormats[] = {
    {ImageFormat::kBmp, "bmp", {".bmp"}},
    {ImageFormat::kPng, "png", {".png"}},
    {ImageFormat::kJpeg, "jpeg", {".jpg", ".jpeg"}},
};

const FormatEntry& Entry(ImageFormat format) {
  for (const FormatEntry& entry : kFormats)
    if (entry.format == format) return entry;
  return kFormats[0];
}

// The extension of the last name in `path` with its dot (".png"), or "" when it has none.
std::string Extension(const std::string& path) {
  const size_t dot = path.find_last_of("./");
  return dot == std::string::npos || path[dot] != '.' ? std::string() : path.substr(dot);
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Tells the formats apart by their first bytes; false with `error` set for anything else.
bool SniffFormat(const ByteSource& source, ImageFormat& format, std::string& error) {
  uint8_t head[8] = {};
  size_t size = 0;
  if (!ReadHead(source, head, sizeof head, size)) {
    error = "read error";
    return false;
  }
  if (IsPngSignature(head, size)) {
    format = ImageFormat::kPng;
    return true;
  }
  if (IsJpegSignature(head, size)) {
    format = ImageFormat::kJpeg;
    return true;
  }
  if (size >= 2 && head[0] == 'B' && head[1] == 'M') {
    format = ImageFormat::kBmp;
    return true;
  }
  error = size == 0 ? "empty file" : "not a BMP, PNG or JPEG file";
  return false;
}

}  // namespace

const char kFormatNames[] = "bmp|png|jpeg";

bool ParseImageFormat(const std::string& name, ImageFormat& format) {
  for (const FormatEntry& entry : kFormats)
    if (name == entry.name) {
      format = entry.format;
      return true;
    }
  return false;
}

const char* FormatName(ImageFormat format) { return Entry(format).name; }
const char* FormatExtension(ImageFormat format) { return Entry(format).extensions[0]; }

ImageFormat OutputFormatFor(const std::string& path, ImageFormat input) {
  const std::string extension = Lower(Extension(path));
  for (const FormatEntry& entry : kFormats)
    for (const char* known : entry.extensions)
      if (known && extension == known) return entry.format;
  return input;
}

std::string NameForFormat(const std::string& path, ImageFormat format) {
  const std::string extension = Extension(path);
  for (const char* known : Entry(format).extensions)
    if (known && Lower(extension) == known) return path;
  return path.substr(0, path.size() - extension.size()) + FormatExtension(format);
}

std::string FormatsHelp() {
  return std::string(
             "Reads uncompressed BMP files of 1, 4, 8, 24 and 32 bits (40-byte, V4 and V5\n"
             "headers, either row order), PNG and JPEG files, told apart by their first bytes.\n"
             "The output's format is the one --format bmp|png|jpeg names; without it, OUTPUT's\n"
             "extension (.bmp, .png, .jpg or .jpeg, in any case) decides, and otherwise (\"-\"\n"
             "among them) the input's format.\n"
             "\n"
             "PNG files of every kind are read: palette pictures of 1, 4 and 8 bits keep their\n"
             "depth and table (2 bits become 4), grey ones become palette pictures with a grey\n"
             "table (2 bits as 4, 16 bits as 8), RGB becomes 24 bits, RGBA and grey with alpha 32\n"
             "bits; 16-bit channels are rounded to 8 bits (with a note). A transparent colour\n"
             "(tRNS) makes the picture 32-bit RGBA, except for options that work on the colour\n"
             "table (--fill-index, --outline-index, --text-index, --mask-index, --grey): for them\n"
             "it is ignored (with a note). Palette pictures are written as palette PNGs of their\n"
             "depth with their table, 24 bits as RGB and 32 bits as RGBA, deflated at --png-level\n"
             "(0-9, default 6).\n") +
         (kPngSupported
              ? ""
              : "This build of imagetool was made without libpng: it refuses PNG files.\n") +
         "\n"
         "JPEG files, baseline or progressive, are read as libjpeg-turbo's own decoder writes\n"
         "them (accurate DCT, smooth upsampling): colour ones become 24 bits, grey ones 8 bits\n"
         "with a grey table. CMYK and YCCK files are refused: their colours need the printing\n"
         "profile they were made for. A damaged or cut file is refused, never read in part. An\n"
         "EXIF orientation is noted; --auto-orient turns or mirrors the picture as it says\n"
         "before the first step. JPEG files are written at --jpeg-quality (1-100, default 90)\n"
         "with optimised Huffman tables: palette pictures whose table is grey as greyscale,\n"
         "others in colour; 32-bit pictures lose their fourth byte (with a note).\n" +
         (kJpegSupported ? ""
                         : "This build of imagetool was made without libjpeg-turbo: it refuses "
                           "JPEG files.\n") +
         "\n"
         "The fourth byte of 32-bit pixels is the PNG's alpha (255 opaque, 0 transparent). Every\n"
         "command keeps it on the pixels it moves or copies, and scale and rotate at high quality\n"
         "average it with the colours. Pixels a command paints get: frame margins 0 (the frame\n"
         "engine's own rule: transparent in a PNG); rotate's uncovered corners 255; pixels mask\n"
         "colours 255 (--no-alpha: their own); frame --caption --alpha 255 on the caption's\n"
         "coloured pixels (without it, their own).\n"
         "\n"
         "The output is written as cp would write it, but whole or not at all: a new or an\n"
         "existing plain file is replaced in one step, keeping the old file's mode; a symbolic\n"
         "link is followed; a device or a FIFO is written to directly; a file with several hard\n"
         "links is overwritten in place, so that all of them see the result, after room is set\n"
         "aside for it (a full disk leaves the file as it was; an error while writing can\n"
         "leave it damaged).\n";
}

std::string FormatLibraries() { return PngLibraries() + ", " + JpegLibraries(); }

bool CanWrite(ImageFormat format, std::string& why) {
  if (format == ImageFormat::kPng && !kPngSupported) {
    why = kPngUnsupported;
    return false;
  }
  if (format == ImageFormat::kJpeg && !kJpegSupported) {
    why = kJpegUnsupported;
    return false;
  }
  return true;
}

bool IsMemoryError(const std::string& error) { return error.starts_with(kNoMemory); }

HostBlock ReadImageFile(const std::string& path, bool keepAlpha, ImageFormat& format,
                        ReadNotes& notes, std::string& error) {
  HostBlock block = nullptr;
  WithInputSource(path, error, [&](const ByteSource& source) {
    if (!SniffFormat(source, format, error)) return false;
    if (format == ImageFormat::kBmp) {
      block = ReadBmp(source, error);
      return block != nullptr;
    }
    if (format == ImageFormat::kPng) {
      block = ReadPng(source, keepAlpha, notes.png, error);
      return block != nullptr;
    }
    block = ReadJpeg(source, notes.orientation, error);
    return block != nullptr;
  });
  return block;
}

bool ReadImageHeader(const std::string& path, BitmapInfoHeader& header, ImageFormat& format,
                     std::string& error, int* orientation) {
  int jpegOrientation = 1;
  const bool read = WithInputSource(path, error, [&](const ByteSource& source) {
    if (!SniffFormat(source, format, error)) return false;
    return format == ImageFormat::kBmp   ? ReadBmpHeader(source, header, error)
           : format == ImageFormat::kPng ? ReadPngHeader(source, true, header, error)
                                         : ReadJpegHeader(source, header, jpegOrientation, error);
  });
  if (orientation) *orientation = jpegOrientation;
  return read;
}

bool WhollyTransparent(HostBlock dib) {
  BlockLock lock(dib);
  DibView v;
  if (!lock || !DescribeDib(lock.get(), HP_Size(dib), v) || v.bits != 32) return false;
  for (uint32_t y = 0; y < v.height; ++y)
    for (uint32_t x = 0; x < v.width; ++x)
      if (v.Row(y)[4 * size_t{x} + 3] != 0) return false;
  return true;
}

bool WriteImageFile(const std::string& path, const WriteSettings& settings, HostBlock dib,
                    std::string& error) {
  if (settings.format == ImageFormat::kBmp) return WriteBmpFile(path, dib, error);
  BlockLock lock(dib);
  DibView v;
  if (!lock || !DescribeDib(lock.get(), HP_Size(dib), v)) {
    error = "internal error: the result is not a valid image";
    return false;
  }
  return WriteOutputFile(
      path,
      [&](const ByteSink& sink, std::string& e) {
        return settings.format == ImageFormat::kJpeg ? EncodeJpeg(v, settings.jpegQuality, sink, e)
                                                     : WritePng(v, settings.pngLevel, sink, e);
      },
      error);
}
