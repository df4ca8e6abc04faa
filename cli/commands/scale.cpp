// imagetool scale: resizing with the plug-in's engines, or a fast nearest-neighbour resize.
#include <string>

#include "cli/run/command.h"
#include "dib/block.h"
#include "dib/dib.h"
#include "resources/text_ids.h"
#include "scale/nearest.h"
#include "scale/resample.h"
#include "scale/scale_units.h"
#include "scale/target.h"

namespace {

constexpr char kScaleUsage[] =
    "usage: imagetool scale [--width SIZE] [--height SIZE] [--keep-aspect]\n"
    "                       [--resolution X[,Y]] [--quality high|low] [--grey] INPUT OUTPUT\n"
    "Resizes the image to a width and height, each in pixels (200), in percent of the image's\n"
    "size (50%), in inches (2.5in) or in centimetres (6.35cm). A side not given keeps the\n"
    "image's size.\n"
    "  --keep-aspect   the larger of the two target sides stays and the other follows the\n"
    "                  image's aspect ratio, rounded up; with one side given, the other follows\n"
    "                  it\n"
    "  --resolution    dots per inch across and down for inches and centimetres, 1 to 65535\n"
    "                  (default 96,96, the usual screen; 300 is the printer's); lengths become\n"
    "                  whole pixels by truncation, as in the plug-in's Scale Image dialog\n"
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

// A length with its unit suffix ("2.5in", "6.35cm") as ScaleUnits and the number; false when
// `text` is not one.
bool ParseLength(const std::string& text, uint16_t& units, double& length) {
  if (text.size() < 3) return false;
  const std::string suffix = text.substr(text.size() - 2);
  if (suffix != "in" && suffix != "cm") return false;
  units = suffix == "in" ? kScaleUnitsInches : kScaleUnitsCentimeters;
  size_t used;
  length = SCL_ReadDecimal(text, &used);
  return used == text.size() - 2 && text[0] != ' ';
}

// Reads --width or --height; lengths become pixels at `dpi` as the dialog converts them.
bool ParseSide(const Args& args, const char* name, uint32_t dpi, Side& side, std::string& error) {
  const auto it = args.options.find(name);
  if (it == args.options.end()) return true;
  std::string text = it->second;
  side.given = true;
  uint16_t units;
  double length;
  if (ParseLength(text, units, length)) {
    side.value = SCL_PixelsFromLength(length, units, dpi);
    if (side.value >= 1 && side.value <= kMaxScaledSide) return true;
    error = std::string(name) + " " + text + " is " + std::to_string(side.value) + " pixels at " +
            std::to_string(dpi) + " dots per inch; give 1 to " + std::to_string(kMaxScaledSide);
    return false;
  }
  side.percent = !text.empty() && text.back() == '%';
  if (side.percent) text.pop_back();
  long long value;
  // Percentages are 16-bit, as in the stored settings.
  if (!ParseInt(text, 1, side.percent ? kMaxPercent : kMaxScaledSide, value)) {
    error = std::string(name) + " takes 1 to " + std::to_string(kMaxScaledSide) +
            " pixels, 1% to 65535%, or inches (2.5in) or centimetres (6.35cm), not '" + it->second +
            "'";
    return false;
  }
  side.value = static_cast<uint32_t>(value);
  return true;
}

// --resolution X[,Y]: Y defaults to X.
bool ParseResolution(const Args& args, ScaleDpi& dpi, std::string& error) {
  const auto it = args.options.find("--resolution");
  if (it == args.options.end()) return true;
  std::vector<long long> values;
  if (ParseIntList(it->second, 2, 1, kMaxDpi, values) ||
      ParseIntList(it->second, 1, 1, kMaxDpi, values)) {
    dpi.x = static_cast<uint32_t>(values.front());
    dpi.y = static_cast<uint32_t>(values.back());
    return true;
  }
  error = "--resolution takes X or X,Y dots per inch, each 1 to 65535, not '" + it->second + "'";
  return false;
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

constexpr const char* kScaleValued[] = {"--width", "--height", "--quality", "--resolution"};
constexpr const char* kScaleFlags[] = {"--keep-aspect", "--grey"};

struct ScaleRequest {
  Side width, height;
  bool keepAspect = false, grey = false, high = true;
};

HostBlock ApplyScale(const ScaleRequest& r, HostBlock image) {
  ScaleTargetState target;
  unsigned bits;
  {
    LockedDib locked(image);
    if (!locked.ok) return nullptr;
    target.OrigWidth = locked.view.width;
    target.OrigHeight = locked.view.height;
    bits = locked.view.bits;
  }
  ComputeTarget(r.width, r.height, r.keepAspect, target);
  const uint32_t w = target.CustomWidth, h = target.CustomHeight;
  if (w == target.OrigWidth && h == target.OrigHeight) return image;
  if (r.high)
    return SCL_ChooseOperation(target.OrigWidth, target.OrigHeight, w, h)(image, w, h, r.grey,
                                                                          nullptr);
  if (!ScaledImageFits(bits, w, h)) {
    HP_ShowMessage(IDS_IMAGE_TOO_LARGE);
    return nullptr;
  }
  HostBlock result = ResizeNearest(image, w, h);
  if (!result) HP_ShowMessage(IDS_SCALE_LOW_NO_MEMORY);
  return result;
}

bool MakeScaleStep(const Args& args, Step& step, std::string& error) {
  ScaleDpi dpi;
  ScaleRequest r;
  if (!ParseResolution(args, dpi, error) || !ParseSide(args, "--width", dpi.x, r.width, error) ||
      !ParseSide(args, "--height", dpi.y, r.height, error))
    return false;
  if (!r.width.given && !r.height.given) {
    error = "give --width, --height or both";
    return false;
  }
  const std::string quality = args.Has("--quality") ? args.Value("--quality") : "high";
  if (quality != "high" && quality != "low") {
    error = "--quality is high or low, not '" + quality + "'";
    return false;
  }
  r.high = quality == "high";
  r.keepAspect = args.Has("--keep-aspect");
  r.grey = args.Has("--grey");
  // Nearest neighbour keeps the colour table, so --grey would do nothing but cost a PNG its
  // transparency.
  if (r.grey && !r.high) {
    error = "--grey needs --quality high";
    return false;
  }
  step.apply = [r](HostBlock image) { return ApplyScale(r, image); };
  if (r.grey) step.tableOption = "--grey";
  return true;
}

}  // namespace

extern const ToolCommand kScaleTool = {
    "scale", "resize (high or low quality)", kScaleUsage, kScaleValued, kScaleFlags, MakeScaleStep,
    nullptr, "--width 75% --height 150%"};
