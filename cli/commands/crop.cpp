// imagetool crop: margins cut off at each edge, or everything outside a rectangle.
#include <string>

#include "cli/run/tool.h"
#include "crop/crop.h"
#include "crop/crop_marks.h"
#include "dib/dib.h"

namespace {

constexpr char kCropUsage[] =
    "usage: imagetool crop [--left N] [--right N] [--top N] [--bottom N] INPUT OUTPUT\n"
    "       imagetool crop [--width N] [--height N] INPUT OUTPUT\n"
    "       imagetool crop --rect X,Y,W,H INPUT OUTPUT\n"
    "Cuts N columns or rows off the edges of the picture as it is shown (each 0 by default), or\n"
    "keeps only the W x H rectangle whose top-left pixel is column X of row Y, counted from the\n"
    "top-left corner. --width and --height keep N columns or rows in the middle, as the Crop\n"
    "dialog does (the left and the bottom margin take the odd pixel); N larger than the picture\n"
    "keeps that direction whole. --width replaces --left and --right, --height --top and\n"
    "--bottom. The depth, the colour table and every kept pixel stay exactly as they were.\n";

constexpr long long kMaxSide = 0x7FFFFFFF;

int RunCrop(const std::vector<std::string>& argv) {
  Args args;
  std::string error;
  if (!ParseArgs(argv, {"--left", "--right", "--top", "--bottom", "--rect", "--width", "--height"},
                 {}, args, error))
    return UsageError(kCropUsage, error);
  long long margins[4] = {0, 0, 0, 0};  // left, right, top, bottom
  const char* names[4] = {"--left", "--right", "--top", "--bottom"};
  for (int i = 0; i < 4; ++i)
    if (args.Has(names[i]) && !ParseInt(args.options.at(names[i]), 0, kMaxSide, margins[i]))
      return UsageError(kCropUsage,
                        std::string(names[i]) + " needs a whole number of pixels, 0 or more");

  long long kept[2] = {0, 0};  // width, height
  const char* keptNames[2] = {"--width", "--height"};
  for (int i = 0; i < 2; ++i)
    if (args.Has(keptNames[i]) && !ParseInt(args.options.at(keptNames[i]), 0, kMaxSide, kept[i]))
      return UsageError(kCropUsage,
                        std::string(keptNames[i]) + " needs a whole number of pixels, 0 or more");
  const bool byWidth = args.Has("--width"), byHeight = args.Has("--height");
  if (byWidth && (args.Has("--left") || args.Has("--right")))
    return UsageError(kCropUsage, "--width cannot be combined with --left or --right");
  if (byHeight && (args.Has("--top") || args.Has("--bottom")))
    return UsageError(kCropUsage, "--height cannot be combined with --top or --bottom");

  std::vector<long long> rect;
  const bool byRect = args.Has("--rect");
  if (byRect) {
    if (args.Has("--left") || args.Has("--right") || args.Has("--top") || args.Has("--bottom") ||
        byWidth || byHeight)
      return UsageError(
          kCropUsage,
          "--rect cannot be combined with --left, --right, --top, --bottom, --width or --height");
    if (!ParseIntList(args.options.at("--rect"), 4, 0, kMaxSide, rect) || rect[2] == 0 ||
        rect[3] == 0)
      return UsageError(kCropUsage, "--rect needs X,Y,W,H with W and H at least 1");
  }
  return RunImageCommand(args, kCropUsage, [&](HostBlock image) -> HostBlock {
    {
      LockedDib locked(image);
      if (!locked.ok) return nullptr;
      const DibView& v = locked.view;
      if (byRect) {
        if (rect[0] + rect[2] > v.width || rect[1] + rect[3] > v.height)
          return Refuse("--rect " + args.options.at("--rect") + " reaches outside the " +
                        PictureSize(v) + " picture");
        margins[0] = rect[0];
        margins[1] = v.width - rect[0] - rect[2];
        margins[2] = rect[1];
        margins[3] = v.height - rect[1] - rect[3];
      }
      if (byWidth) {
        const MarginSplit split = SplitKeptSize(v.width, static_cast<uint32_t>(kept[0]));
        margins[0] = split.halfAndOdd;
        margins[1] = split.half;
      }
      if (byHeight) {
        const MarginSplit split = SplitKeptSize(v.height, static_cast<uint32_t>(kept[1]));
        margins[2] = split.half;
        margins[3] = split.halfAndOdd;
      }
      for (int i = 0; i < 4; i += 2) {
        if (margins[i] + margins[i + 1] < (i == 0 ? v.width : v.height)) continue;
        const std::string given =
            (i == 0 ? byWidth : byHeight)
                ? std::string(keptNames[i / 2]) + " " + std::to_string(kept[i / 2]) + " leaves"
                : std::string(names[i]) + " " + std::to_string(margins[i]) + " and " +
                      names[i + 1] + " " + std::to_string(margins[i + 1]) + " leave";
        return Refuse(given + " nothing of the " + PictureSize(v) + " picture");
      }
    }
    return CRP_CropDIB(image, static_cast<uint32_t>(margins[0]), static_cast<uint32_t>(margins[1]),
                       static_cast<uint32_t>(margins[2]), static_cast<uint32_t>(margins[3]));
  });
}

}  // namespace

extern const ToolCommand kCropTool = {"crop", "cut margins off, or keep a rectangle", kCropUsage,
                                      RunCrop, "--rect 10,10,100,80"};
