// imagetool info: what a file holds, from its headers alone.
#include <cctype>
#include <iostream>

#include "cli/formats/image_file.h"
#include "cli/run/command.h"
#include "cli/run/command_line.h"
#include "cli/run/console.h"
#include "cli/run/orientation.h"
#include "cli/run/run_options.h"
#include "dib/dib.h"

namespace {

constexpr char kInfoUsage[] =
    "usage: imagetool info FILE\n"
    "Prints the format, size, depth and colour count of a BMP, PNG or JPEG file as imagetool\n"
    "reads it (a PNG with a transparent colour as 32 bits), and a JPEG's EXIF orientation.\n";

int RunInfo(const Args& args, const RunOptions& options);

}  // namespace

extern const ToolCommand kInfoTool = {
    "info", "describe a BMP, PNG or JPEG file", kInfoUsage, {}, {}, nullptr, RunInfo, nullptr};

namespace {

int RunInfo(const Args& args, const RunOptions& options) {
  if (args.positional.size() != 1) return UsageError(kInfoTool, "expected one FILE");
  for (const std::string& name : options.given)
    if (name != "--quiet") return UsageError(kInfoTool, "info writes no file: no " + name);
  const std::string& file = args.positional[0];
  if (file.empty()) return UsageError(kInfoTool, "the FILE name is empty");
  BitmapInfoHeader h;
  ImageFormat format;
  std::string error;
  int orientation = 1;
  if (!ReadImageHeader(file, h, format, error, &orientation)) {
    ToolError(file + ": " + error);
    return IsMemoryError(error) ? kExitFailed : kExitBadInput;
  }
  const uint32_t width = static_cast<uint32_t>(h.biWidth);
  std::string name = FormatName(format);
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::cout << file << ": " << name << ", " << width << " x " << h.biHeight << ", " << h.biBitCount
            << (h.biBitCount == 1 ? " bit" : " bits") << " per pixel, " << h.biClrUsed
            << (h.biClrUsed == 1 ? " colour" : " colours") << ", row stride "
            << RowStride(h.biBitCount, width) << " bytes, " << h.biSizeImage << " bytes of pixels";
  if (const char* shown = OrientationText(orientation))
    std::cout << ", EXIF orientation " << orientation << " (shown " << shown << ")";
  std::cout << "\n";
  return kExitOk;
}

}  // namespace
