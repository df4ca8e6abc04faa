#include "cli/formats/image_file.h"

#include <algorithm>
#include <cctype>

#include "cli/formats/bmp_io.h"
#include "cli/formats/input_file.h"
#include "cli/formats/output_file.h"
#include "cli/formats/png_io.h"
#include "dib/block.h"

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Tells the formats apart by their first bytes; false with `error` set for anything else.
bool SniffFormat(const ByteSource& source, ImageFormat& format, std::string& error) {
  uint8_t head[8] = {};
  const size_t size = static_cast<size_t>(std::min<uint64_t>(sizeof head, source.size));
  if (!source.read(0, head, size)) {
    error = "read error";
    return false;
  }
  if (IsPngSignature(head, size)) {
    format = ImageFormat::kPng;
    return true;
  }
  if (size >= 2 && head[0] == 'B' && head[1] == 'M') {
    format = ImageFormat::kBmp;
    return true;
  }
  error = size == 0 ? "empty file" : "not a BMP or PNG file";
  return false;
}

}  // namespace

bool ParseImageFormat(const std::string& name, ImageFormat& format) {
  if (name == "bmp" || name == "png") {
    format = name == "bmp" ? ImageFormat::kBmp : ImageFormat::kPng;
    return true;
  }
  return false;
}

ImageFormat OutputFormatFor(const std::string& path, ImageFormat input) {
  const size_t dot = path.find_last_of("./");
  if (dot == std::string::npos || path[dot] != '.') return input;
  const std::string extension = Lower(path.substr(dot + 1));
  return extension == "png" ? ImageFormat::kPng : extension == "bmp" ? ImageFormat::kBmp : input;
}

HostBlock ReadImageFile(const std::string& path, bool keepAlpha, ImageFormat& format,
                        PngNotes& notes, std::string& error) {
  HostBlock block = nullptr;
  WithInputSource(path, error, [&](const ByteSource& source) {
    if (!SniffFormat(source, format, error)) return false;
    if (format == ImageFormat::kBmp) {
      block = ReadBmp(source, error);
      return block != nullptr;
    }
    block = ReadPng(source, keepAlpha, notes, error);
    return block != nullptr;
  });
  return block;
}

bool ReadImageHeader(const std::string& path, BitmapInfoHeader& header, ImageFormat& format,
                     std::string& error) {
  return WithInputSource(path, error, [&](const ByteSource& source) {
    if (!SniffFormat(source, format, error)) return false;
    return format == ImageFormat::kBmp ? ReadBmpHeader(source, header, error)
                                       : ReadPngHeader(source, true, header, error);
  });
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

bool WriteImageFile(const std::string& path, ImageFormat format, HostBlock dib,
                    std::string& error) {
  if (format == ImageFormat::kBmp) return WriteBmpFile(path, dib, error);
  BlockLock lock(dib);
  DibView v;
  if (!lock || !DescribeDib(lock.get(), HP_Size(dib), v)) {
    error = "internal error: the result is not a valid image";
    return false;
  }
  std::vector<uint8_t> file;
  if (!EncodePng(v, file, error)) return false;
  const OutputPiece piece{file.data(), file.size()};
  return WriteOutputFile(path, {&piece, 1}, error);
}
