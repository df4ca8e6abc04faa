// The rotate command: turns an image by whole degrees.
#include <string>

#include "cli/run/tool.h"
#include "dib/block.h"
#include "dib/dib.h"
#include "rotate/rotate.h"

namespace {

constexpr char kRotateUsage[] =
    "usage: imagetool rotate --angle DEGREES [--quality low|high] [--fill R,G,B | --fill-index N]\n"
    "                        INPUT OUTPUT\n"
    "Turns the image by a whole number of degrees from -360 to 360, clockwise for positive\n"
    "angles. Multiples of 90 move the pixels exactly; a multiple of 360 writes the image\n"
    "unchanged. Any other angle is sampled onto a new canvas: the corners at half the width and\n"
    "half the height (each rounded down) are turned, their offsets truncated toward the centre,\n"
    "and the canvas is twice the largest offset plus one pixel each way, so it can cut the\n"
    "picture (3 x 1 turned by 30 degrees gives 1 x 1). Uncovered pixels take the fill colour; on\n"
    "32-bit images their fourth byte is 255.\n"
    "  --quality high   four samples per pixel averaged (the default); palette images become\n"
    "                   8-bit grey when their colours are all grey, 24-bit otherwise\n"
    "  --quality low    one sample per pixel; depth and colour table stay\n"
    "  --fill R,G,B     colour of the uncovered corners of 24- and 32-bit images (0-255 each,\n"
    "                   default 192,192,192)\n"
    "  --fill-index N   colour-table entry filling the corners of palette images (default 0)\n";

// What the fill options ask for, checked against the image once it is read.
struct FillChoice {
  bool rgbGiven = false;
  bool indexGiven = false;
  long long index = 0;
};

// An error for a fill option that does not fit `v`, or "" when the options fit.
std::string FillMismatch(const FillChoice& fill, const DibView& v) {
  if (v.bits <= 8 && fill.rgbGiven)
    return "--fill is for 24- and 32-bit images; this image has a colour table, use --fill-index";
  if (v.bits > 8 && fill.indexGiven)
    return "--fill-index is for palette images; this is a " + std::to_string(v.bits) +
           "-bit image, use --fill";
  if (fill.indexGiven && fill.index >= v.colorCount)
    return "--fill-index " + std::to_string(fill.index) + " is not an entry of this image's " +
           std::to_string(v.colorCount) + "-colour table";
  return "";
}

int RunRotate(const std::vector<std::string>& argv) {
  Args args;
  std::string error;
  if (!ParseArgs(argv, {"--angle", "--quality", "--fill", "--fill-index"}, {}, args, error))
    return UsageError(kRotateUsage, error);

  long long angle = 0;
  if (!args.options.count("--angle")) return UsageError(kRotateUsage, "--angle is required");
  if (!ParseInt(args.options["--angle"], -360, 360, angle))
    return UsageError(kRotateUsage, "--angle must be a whole number of degrees from -360 to 360");

  const auto degrees = static_cast<int32_t>(angle % 360);
  uint16_t quality = kQualityHigh;
  RotateFill fillColor;  // 192,192,192 and index 0 unless given
  if (args.options.count("--quality")) {
    const std::string& name = args.options["--quality"];
    if (name != "low" && name != "high")
      return UsageError(kRotateUsage, "--quality must be low or high");
    quality = name == "low" ? kQualityLow : kQualityHigh;
  }

  FillChoice fill;
  if (args.options.count("--fill")) {
    std::vector<long long> rgb;
    if (!ParseIntList(args.options["--fill"], 3, 0, 255, rgb))
      return UsageError(kRotateUsage, "--fill must be R,G,B with each value from 0 to 255");
    fill.rgbGiven = true;
    fillColor.red = static_cast<uint8_t>(rgb[0]);
    fillColor.green = static_cast<uint8_t>(rgb[1]);
    fillColor.blue = static_cast<uint8_t>(rgb[2]);
  }
  if (args.options.count("--fill-index")) {
    if (!ParseInt(args.options["--fill-index"], 0, 255, fill.index))
      return UsageError(kRotateUsage, "--fill-index must be a colour-table index from 0 to 255");
    fill.indexGiven = true;
    fillColor.index = static_cast<int32_t>(fill.index);
  }

  bool refused = false;
  const int status = RunImageCommand(args, kRotateUsage, [&](HostBlock image) -> HostBlock {
    {
      BlockLock lock(image);
      DibView v;
      DescribeDib(lock.get(), HP_Size(image), v);
      const std::string mismatch = FillMismatch(fill, v);
      if (!mismatch.empty()) {
        ToolError(args.positional[0] + ": " + mismatch);
        refused = true;
        return nullptr;
      }
    }
    // A full turn leaves the picture as it is; the engine makes no new image for it.
    if (degrees == 0) return image;
    return ROT_RotateDIB(image, quality, degrees, fillColor, nullptr);
  });
  return refused ? kExitBadInput : status;
}

}  // namespace

extern const ToolCommand kRotateTool = {"rotate", "turn by whole degrees", kRotateUsage, RunRotate,
                                        "--angle 30"};
