// imagetool crop: margins cut off at each edge, or everything outside a rectangle.
#include <string>

#include "cli/run/command.h"
#include "cli/run/console.h"
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

constexpr const char* kMarginNames[4] = {"--left", "--right", "--top", "--bottom"};
constexpr const char* kKeptNames[2] = {"--width", "--height"};
constexpr const char* kCropValued[] = {"--left",  "--right",  "--top", "--bottom",
                                       "--width", "--height", "--rect"};

constexpr long long kMaxSide = 0x7FFFFFFF;

// What the options ask for; the margins are worked out once the picture's size is known.
struct CropRequest {
  long long margins[4] = {0, 0, 0, 0};  // left, right, top, bottom
  long long kept[2] = {0, 0};           // width, height
  bool byKept[2] = {false, false};
  bool byRect = false;
  std::vector<long long> rect;  // X, Y, W, H
  std::string rectText;
};

bool ParseSides(const Args& args, CropRequest& r, std::string& error) {
  for (int i = 0; i < 4; ++i)
    if (args.Has(kMarginNames[i]) &&
        !ParseInt(args.Value(kMarginNames[i]), 0, kMaxSide, r.margins[i])) {
      error = std::string(kMarginNames[i]) + " needs a whole number of pixels, 0 or more";
      return false;
    }
  for (int i = 0; i < 2; ++i) {
    r.byKept[i] = args.Has(kKeptNames[i]);
    if (r.byKept[i] && !ParseInt(args.Value(kKeptNames[i]), 0, kMaxSide, r.kept[i])) {
      error = std::string(kKeptNames[i]) + " needs a whole number of pixels, 0 or more";
      return false;
    }
  }
  if (r.byKept[0] && (args.Has("--left") || args.Has("--right")))
    error = "--width cannot be combined with --left or --right";
  if (r.byKept[1] && (args.Has("--top") || args.Has("--bottom")))
    error = "--height cannot be combined with --top or --bottom";
  return error.empty();
}

bool ParseRect(const Args& args, CropRequest& r, std::string& error) {
  r.byRect = args.Has("--rect");
  if (!r.byRect) return true;
  for (const char* other : {"--left", "--right", "--top", "--bottom", "--width", "--height"})
    if (args.Has(other)) {
      error =
          "--rect cannot be combined with --left, --right, --top, --bottom, --width or --height";
      return false;
    }
  r.rectText = args.Value("--rect");
  if (ParseIntList(r.rectText, 4, 0, kMaxSide, r.rect) && r.rect[2] != 0 && r.rect[3] != 0)
    return true;
  error = "--rect needs X,Y,W,H with W and H at least 1";
  return false;
}

// The margins the request cuts off a picture of `v`'s size; false with the reason in `refusal`
// when the request does not fit the picture.
bool ResolveMargins(const CropRequest& r, const DibView& v, long long (&margins)[4],
                    std::string& refusal) {
  std::copy(std::begin(r.margins), std::end(r.margins), margins);
  if (r.byRect) {
    if (r.rect[0] + r.rect[2] > v.width || r.rect[1] + r.rect[3] > v.height) {
      refusal = "--rect " + r.rectText + " reaches outside the " + PictureSize(v) + " picture";
      return false;
    }
    margins[0] = r.rect[0];
    margins[1] = v.width - r.rect[0] - r.rect[2];
    margins[2] = r.rect[1];
    margins[3] = v.height - r.rect[1] - r.rect[3];
  }
  for (int i = 0; i < 2; ++i) {
    if (!r.byKept[i]) continue;
    const MarginSplit split =
        SplitKeptSize(i == 0 ? v.width : v.height, static_cast<uint32_t>(r.kept[i]));
    // Across, the left margin takes the odd pixel; down, the bottom one.
    margins[2 * i] = i == 0 ? split.halfAndOdd : split.half;
    margins[2 * i + 1] = i == 0 ? split.half : split.halfAndOdd;
  }
  for (int i = 0; i < 2; ++i) {
    if (margins[2 * i] + margins[2 * i + 1] < (i == 0 ? v.width : v.height)) continue;
    const std::string given =
        r.byKept[i]
            ? std::string(kKeptNames[i]) + " " + std::to_string(r.kept[i]) + " leaves"
            : std::string(kMarginNames[2 * i]) + " " + std::to_string(margins[2 * i]) + " and " +
                  kMarginNames[2 * i + 1] + " " + std::to_string(margins[2 * i + 1]) + " leave";
    refusal = given + " nothing of the " + PictureSize(v) + " picture";
    return false;
  }
  return true;
}

HostBlock ApplyCrop(const CropRequest& r, HostBlock image) {
  long long margins[4];
  {
    LockedDib locked(image);
    if (!locked.ok) return nullptr;
    std::string refusal;
    if (!ResolveMargins(r, locked.view, margins, refusal)) return Refuse(refusal);
  }
  return CRP_CropDIB(image, static_cast<uint32_t>(margins[0]), static_cast<uint32_t>(margins[1]),
                     static_cast<uint32_t>(margins[2]), static_cast<uint32_t>(margins[3]));
}

bool MakeCropStep(const Args& args, Step& step, std::string& error) {
  CropRequest r;
  if (!ParseSides(args, r, error) || !ParseRect(args, r, error)) return false;
  step.apply = [r](HostBlock image) { return ApplyCrop(r, image); };
  return true;
}

}  // namespace

extern const ToolCommand kCropTool = {"crop",     "cut margins off, or keep a rectangle",
                                      kCropUsage, kCropValued,
                                      {},         MakeCropStep,
                                      nullptr,    "--rect 10,10,100,80"};
