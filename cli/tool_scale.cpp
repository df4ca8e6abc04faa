// imagetool scale: resizing with the plug-in's engines, or a fast nearest-neighbour resize.
#include <string>

#include "cli/tool.h"
#include "dib/block.h"
#include "dib/dib.h"
#include "resources/text_ids.h"
#include "scale/nearest.h"
#include "scale/resample.h"
#include "scale/target.h"

namespace {

constexpr char kScaleUsage[] =
    "usage: imagetool scale [--width N|P%] [--height N|P%] [--keep-aspect]\n"
    "                       [--quality high|low] [--grey] INPUT OUTPUT\n"
    "Resizes the image to a width and height in pixels (200) or in percent of its size (50%).\n"
    "A side not given keeps the image's size.\n"
    "  --keep-aspect   the larger of the two target sides stays and the other follows the\n"
    "                  image's aspect ratio, rounded up; with one side given, the other follows "
    "it\n"
    "  --quality high  (default) exact area averaging to shrink and squared-distance\n"
    "                  interpolation to enlarge; palette images become 24-bit, 32-bit images\n"
    "                  keep their fourth channel\n"
    "  --quality low   nearest neighbour; the depth and the colour table stay\n"
    "  --grey          high quality only: palette images become 8-bit grey (the red of each\n"
    "                  palette entry is its grey value); ignored for 24- and 32-bit images\n"
    "When the target is the image's own size the image is written as it was read.\n";

struct Side {
  bool given = false;
  bool percent = false;
  uint32_t value = 0;
};

bool ParseSide(const Args& args, const char* name, Side& side, std::string& error) {
  const auto it = args.options.find(name);
  if (it == args.options.end()) return true;
  std::string text = it->second;
  side.given = true;
  side.percent = !text.empty() && text.back() == '%';
  if (side.percent) text.pop_back();
  long long value;
  // Percentages are 16-bit, as in the stored settings.
  if (!ParseInt(text, 1, side.percent ? 65535 : kMaxScaledSide, value)) {
    error = std::string(name) + " takes 1 to " + std::to_string(kMaxScaledSide) +
            " pixels or 1% to 65535%, not '" + it->second + "'";
    return false;
  }
  side.value = static_cast<uint32_t>(value);
  return true;
}

// The target by the host-driven rule. A side that was not given keeps the image's size, or with
// --keep-aspect is left 0 so that the rule derives it from the other side.
void ComputeTarget(const Side& width, const Side& height, bool keepAspect, ScaleTargetState& s) {
  s.KeepAspect = keepAspect;
  auto percentOf = [&](const Side& side) -> uint16_t {
    return side.given ? static_cast<uint16_t>(side.value) : keepAspect ? 0 : 100;
  };
  auto pixelsOf = [&](const Side& side, uint32_t base) -> uint32_t {
    if (!side.given) return keepAspect ? 0 : base;
    return side.percent ? SCL_PixelsFromPercent(base, side.value) : side.value;
  };
  if ((!width.given || width.percent) && (!height.given || height.percent)) {
    s.ScaleUnits = kScaleUnitsPercentage;
    s.PercentWidth = percentOf(width);
    s.PercentHeight = percentOf(height);
  } else {
    s.ScaleUnits = 0;  // pixels
    s.CustomWidth = pixelsOf(width, s.OrigWidth);
    s.CustomHeight = pixelsOf(height, s.OrigHeight);
  }
  SCL_TargetFromSettings(s);
}

int RunScale(const std::vector<std::string>& argv) {
  Args args;
  std::string error;
  if (!ParseArgs(argv, {"--width", "--height", "--quality"}, {"--keep-aspect", "--grey"}, args,
                 error))
    return UsageError(kScaleUsage, error);
  Side width, height;
  if (!ParseSide(args, "--width", width, error) || !ParseSide(args, "--height", height, error))
    return UsageError(kScaleUsage, error);
  if (!width.given && !height.given)
    return UsageError(kScaleUsage, "give --width, --height or both");
  const std::string quality =
      args.options.count("--quality") ? args.options.at("--quality") : "high";
  if (quality != "high" && quality != "low")
    return UsageError(kScaleUsage, "--quality is high or low, not '" + quality + "'");
  const bool keepAspect = args.flags.count("--keep-aspect") != 0;
  const bool grey = args.flags.count("--grey") != 0;

  return RunImageCommand(args, kScaleUsage, [&](HostBlock image) -> HostBlock {
    ScaleTargetState target;
    unsigned bits;
    {
      BlockLock lock(image);
      DibView v;
      DescribeDib(lock.get(), HP_Size(image), v);  // the reader only gives well-formed images
      target.OrigWidth = v.width;
      target.OrigHeight = v.height;
      bits = v.bits;
    }
    ComputeTarget(width, height, keepAspect, target);
    const uint32_t w = target.CustomWidth, h = target.CustomHeight;
    if (w == target.OrigWidth && h == target.OrigHeight) return image;
    if (quality == "high")
      return SCL_ChooseOperation(target.OrigWidth, target.OrigHeight, w, h)(image, w, h, grey,
                                                                            nullptr);
    if (!ScaledImageFits(bits, w, h)) {
      HP_ShowMessage(IDS_IMAGE_TOO_LARGE);
      return nullptr;
    }
    HostBlock result = ResizeNearest(image, w, h);
    if (!result) HP_ShowMessage(IDS_SCALE_LOW_NO_MEMORY);
    return result;
  });
}

}  // namespace

extern const ToolCommand kScaleTool = {"scale", "resize (high or low quality)", kScaleUsage,
                                       RunScale, "--width 75% --height 150%"};
