// The rotate command: turns an image by whole degrees.
#include <string>

#include "cli/run/command.h"
#include "cli/run/console.h"
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

constexpr const char* kRotateValued[] = {"--angle", "--quality", "--fill", "--fill-index"};

struct RotateRequest {
  int32_t degrees = 0;
  uint16_t quality = kQualityHigh;
  RotateFill fillColor;  // 192,192,192 and index 0 unless given
  FillChoice fill;
};

bool ParseAngleAndQuality(const Args& args, RotateRequest& r, std::string& error) {
  long long angle = 0;
  if (!args.Has("--angle"))
    error = "--angle is required";
  else if (!ParseInt(args.Value("--angle"), -360, 360, angle))
    error = "--angle must be a whole number of degrees from -360 to 360";
  r.degrees = static_cast<int32_t>(angle % 360);
  if (error.empty() && args.Has("--quality")) {
    const std::string& name = args.Value("--quality");
    if (name != "low" && name != "high") error = "--quality must be low or high";
    r.quality = name == "low" ? kQualityLow : kQualityHigh;
  }
  return error.empty();
}

bool ParseFill(const Args& args, RotateRequest& r, std::string& error) {
  if (args.Has("--fill")) {
    std::vector<long long> rgb;
    if (!ParseIntList(args.Value("--fill"), 3, 0, 255, rgb)) {
      error = "--fill must be R,G,B with each value from 0 to 255";
      return false;
    }
    r.fill.rgbGiven = true;
    r.fillColor.red = static_cast<uint8_t>(rgb[0]);
    r.fillColor.green = static_cast<uint8_t>(rgb[1]);
    r.fillColor.blue = static_cast<uint8_t>(rgb[2]);
  }
  if (args.Has("--fill-index")) {
    if (!ParseInt(args.Value("--fill-index"), 0, 255, r.fill.index)) {
      error = "--fill-index must be a colour-table index from 0 to 255";
      return false;
    }
    r.fill.indexGiven = true;
    r.fillColor.index = static_cast<int32_t>(r.fill.index);
  }
  return true;
}

HostBlock ApplyRotate(const RotateRequest& r, HostBlock image) {
  {
    LockedDib locked(image);
    if (!locked.ok) return nullptr;
    const std::string mismatch = FillMismatch(r.fill, locked.view);
    if (!mismatch.empty()) return Refuse(mismatch);
  }
  // A full turn leaves the picture as it is; the engine makes no new image for it.
  if (r.degrees == 0) return image;
  return ROT_RotateDIB(image, r.quality, r.degrees, r.fillColor, nullptr);
}

bool MakeRotateStep(const Args& args, Step& step, std::string& error) {
  RotateRequest r;
  if (!ParseAngleAndQuality(args, r, error) || !ParseFill(args, r, error)) return false;
  step.apply = [r](HostBlock image) { return ApplyRotate(r, image); };
  if (r.fill.indexGiven) step.tableOption = "--fill-index";
  return true;
}

}  // namespace

extern const ToolCommand kRotateTool = {
    "rotate", "turn by whole degrees", kRotateUsage, kRotateValued,
    {},       MakeRotateStep,          nullptr,      "--angle 30"};
