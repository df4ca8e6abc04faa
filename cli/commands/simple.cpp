// The commands without parameters: info, invert, flip, mirror.
#include <cstdio>
#include <iostream>

#include "cli/formats/image_file.h"
#include "cli/run/tool.h"
#include "dib/block.h"
#include "dib/dib.h"
#include "dib/transforms.h"

namespace {

constexpr char kInfoUsage[] =
    "usage: imagetool info FILE\n"
    "Prints the format, size, depth and colour count of a BMP or PNG file as imagetool reads it\n"
    "(a PNG with a transparent colour as 32 bits).\n";

int RunInfo(const std::vector<std::string>& argv) {
  Args args;
  std::string error;
  if (!ParseArgs(argv, {}, {}, args, error)) return UsageError(kInfoUsage, error);
  if (args.positional.size() != 1) return UsageError(kInfoUsage, "expected one FILE");
  if (args.Has("--format")) return UsageError(kInfoUsage, "info writes no file: no --format");
  BitmapInfoHeader h;
  ImageFormat format;
  if (!ReadImageHeader(args.positional[0], h, format, error)) {
    ToolError(args.positional[0] + ": " + error);
    return kExitBadInput;
  }
  const uint32_t width = static_cast<uint32_t>(h.biWidth);
  std::cout << args.positional[0] << ": " << (format == ImageFormat::kPng ? "PNG, " : "BMP, ")
            << width << " x " << h.biHeight << ", " << h.biBitCount << " bits per pixel, "
            << h.biClrUsed << " colours, row stride " << RowStride(h.biBitCount, width)
            << " bytes, " << h.biSizeImage << " bytes of pixels\n";
  return kExitOk;
}

constexpr char kInvertUsage[] =
    "usage: imagetool invert INPUT OUTPUT\n"
    "Inverts the colours: the colour table of 4- and 8-bit images, the pixels of 1-, 24- and\n"
    "32-bit images (the fourth byte of 32-bit pixels is kept).\n";
constexpr char kFlipUsage[] =
    "usage: imagetool flip INPUT OUTPUT\n"
    "Turns the image upside down.\n";
constexpr char kMirrorUsage[] =
    "usage: imagetool mirror INPUT OUTPUT\n"
    "Reverses the image left to right.\n";

template <const char* Usage, bool (*Engine)(HostBlock)>
int RunInPlace(const std::vector<std::string>& argv) {
  Args args;
  std::string error;
  if (!ParseArgs(argv, {}, {}, args, error)) return UsageError(Usage, error);
  return RunImageCommand(args, Usage,
                         [](HostBlock image) { return Engine(image) ? image : nullptr; });
}

bool Invert(HostBlock image) { return InvertDib(image, nullptr); }

}  // namespace

extern const ToolCommand kInfoTool = {"info", "describe a BMP or PNG file", kInfoUsage, RunInfo,
                                      nullptr};
extern const ToolCommand kInvertTool = {"invert", "invert the colours", kInvertUsage,
                                        RunInPlace<kInvertUsage, Invert>, ""};
extern const ToolCommand kFlipTool = {"flip", "turn upside down", kFlipUsage,
                                      RunInPlace<kFlipUsage, FlipDib>, ""};
extern const ToolCommand kMirrorTool = {"mirror", "reverse left to right", kMirrorUsage,
                                        RunInPlace<kMirrorUsage, MirrorDib>, ""};
