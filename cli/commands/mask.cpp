// imagetool mask: masks an image with one of the seventeen stock shapes, rendered by the portable
// metafile player from the shape files in resources/masks.
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <iterator>

#include "cli/formats/input_file.h"
#include "cli/commands/commands.h"
#include "dib/block.h"
#include "dib/dib.h"
#include "mask/mask.h"
#include "mask/metafile.h"
#include "mask/shapes.h"
#include "resources/text_ids.h"

namespace {

constexpr char kMaskUsage[] =
    "usage: imagetool mask --shape NAME [--invert] [--no-alpha] [--no-color]\n"
    "                      [--mask-color R,G,B | --mask-index N] INPUT OUTPUT\n"
    "       imagetool mask --list-shapes\n"
    "Masks the image with a stock shape stretched over the whole image: the image survives inside\n"
    "the shape and everything outside takes the mask colour; --invert keeps the outside and fills\n"
    "the shape. NAME is one of the names --list-shapes prints, in any case (quote names with a\n"
    "space: --shape \"up arrow\").\n"
    "  --mask-color R,G,B  the mask colour, 0-255 each (default 192,192,192); palette images take\n"
    "                      the colour-table entry nearest to it\n"
    "  --mask-index N      palette images only: the colour-table entry to use (default 0)\n"
    "  --no-alpha          32-bit images: leave the alpha of masked pixels as it is (default: "
    "255)\n"
    "  --no-color          32-bit images: leave the colour of masked pixels as it is\n"
    "The shapes are read from IMAGE_MASK_FOLDER when that is set, otherwise from resources/masks\n"
    "of the source tree imagetool was built from.\n";

// The display depth imagetool renders for: a true-colour screen, as the plug-in nearly always
// has. It only chooses the mask layout; both layouts give the same pixels.
constexpr uint32_t kDisplayBits = 32;

// Reads and parses the metafile of shape `id`; false with `error` set when that fails.
bool LoadShape(unsigned id, WmfDrawing& drawing, std::string& error) {
  const std::string path = ShapeFolder() + "/" + ShapeFileName(id);
  std::vector<uint8_t> bytes;
  // The stock shapes are a few kilobytes; anything far bigger is not one of them.
  if (!ReadSmallFile(path, 1 << 20, bytes, error)) {
    error = "cannot read the mask shape " + path + ": " + error +
            " (set IMAGE_MASK_FOLDER to the folder holding the .wmf files)";
    return false;
  }
  if (!ParseMetafile(bytes.data(), bytes.size(), drawing, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

int ListShapes() {
  std::vector<std::string> names;
  for (unsigned id = kFirstShapeId; id < kFirstShapeId + kShapeCount; ++id)
    names.push_back(TextById(id));
  std::sort(names.begin(), names.end());  // the order of the Mask dialog's list
  for (const std::string& n : names) std::cout << n << "\n";
  return kExitOk;
}

// The colour-table entry nearest to a colour, by squared distance; the first of equals.
int32_t NearestEntry(const DibView& v, const std::vector<long long>& rgb) {
  int32_t best = 0;
  long long bestDistance = -1;
  for (uint32_t i = 0; i < v.colorCount; ++i) {
    const long long dr = v.colors[i].rgbRed - rgb[0], dg = v.colors[i].rgbGreen - rgb[1],
                    db = v.colors[i].rgbBlue - rgb[2];
    const long long d = dr * dr + dg * dg + db * db;
    if (bestDistance < 0 || d < bestDistance) bestDistance = d, best = static_cast<int32_t>(i);
  }
  return best;
}

int RunMask(const std::vector<std::string>& argv) {
  Args args;
  std::string error;
  if (!ParseArgs(argv, {"--shape", "--mask-color", "--mask-index"},
                 {"--invert", "--no-alpha", "--no-color", "--list-shapes"}, args, error))
    return UsageError(kMaskUsage, error);
  if (args.Has("--list-shapes")) return ListShapes();
  if (!args.Has("--shape")) return UsageError(kMaskUsage, "--shape NAME is required");
  const unsigned id = FindShape(args.options["--shape"]);
  if (!id)
    return UsageError(kMaskUsage, "unknown shape '" + args.options["--shape"] +
                                      "' (imagetool mask --list-shapes lists them)");
  std::vector<long long> rgb = {192, 192, 192};
  long long index = 0;
  const bool byColor = args.Has("--mask-color"), byIndex = args.Has("--mask-index");
  if (byColor && byIndex)
    return UsageError(kMaskUsage, "give --mask-color or --mask-index, not both");
  if (byColor && !ParseIntList(args.options["--mask-color"], 3, 0, 255, rgb))
    return UsageError(kMaskUsage, "--mask-color needs R,G,B with each 0-255");
  if (byIndex && !ParseInt(args.options["--mask-index"], 0, 255, index))
    return UsageError(kMaskUsage, "--mask-index needs a number 0-255");

  WmfDrawing drawing;
  if (!LoadShape(id, drawing, error)) {
    ToolError(error);
    return kExitFailed;
  }
  bool refused = false;  // set when the options do not fit the image read
  const int status = RunImageCommand(args, kMaskUsage, [&](HostBlock image) -> HostBlock {
    {
      BlockLock lock(image);
      DibView v;
      DescribeDib(lock.get(), HP_Size(image), v);
      if (byIndex && v.colorCount == 0) {
        ToolError("--mask-index is for palette images; this one has " + std::to_string(v.bits) +
                  " bits per pixel (use --mask-color)");
        refused = true;
        return nullptr;
      }
      if (byIndex && index >= v.colorCount) {
        ToolError("--mask-index " + std::to_string(index) + " is not an entry of the image's " +
                  std::to_string(v.colorCount) + "-colour table");
        refused = true;
        return nullptr;
      }
      if (byColor && v.colorCount) index = NearestEntry(v, rgb);
    }
    MAS_SetMaskColor(static_cast<int32_t>(index), static_cast<uint8_t>(rgb[0]),
                     static_cast<uint8_t>(rgb[1]), static_cast<uint8_t>(rgb[2]));
    return MAS_ApplyMask(
        image, [&](const MaskRaster& raster) { return RenderMetafile(drawing, raster); },
        args.Has("--invert"), !args.Has("--no-alpha"), !args.Has("--no-color"), kDisplayBits);
  });
  return refused ? kExitBadInput : status;
}

}  // namespace

std::string ShapeFolder() {
  const char* override = std::getenv("IMAGE_MASK_FOLDER");
  return override && *override ? override : IMAGE_SHAPE_FOLDER;
}

extern const ToolCommand kMaskTool = {"mask", "mask with a stock shape", kMaskUsage, RunMask,
                                      "--shape Star"};
