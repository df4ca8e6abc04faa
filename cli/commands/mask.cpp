// imagetool mask: masks an image with one of the seventeen stock shapes, rendered by the portable
// metafile player from the shape files built into the program.
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <memory>
#include <mutex>

#include "cli/commands/commands.h"
#include "cli/commands/stock_shapes.h"
#include "cli/formats/input_file.h"
#include "cli/run/command.h"
#include "cli/run/console.h"
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
    "The shapes are built into imagetool; when IMAGE_MASK_FOLDER is set, they are read from the\n"
    ".wmf files in that folder instead.\n";

// The display depth imagetool renders for: a true-colour screen, as the plug-in nearly always
// has. It only chooses the mask layout; both layouts give the same pixels.
constexpr uint32_t kDisplayBits = 32;

void ListShapes() {
  std::vector<std::string> names;
  for (unsigned id = kFirstShapeId; id < kFirstShapeId + kShapeCount; ++id)
    names.push_back(TextById(id));
  std::sort(names.begin(), names.end());  // the order of the Mask dialog's list
  for (const std::string& n : names) std::cout << n << "\n";
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

constexpr const char* kMaskValued[] = {"--shape", "--mask-color", "--mask-index"};
constexpr const char* kMaskFlags[] = {"--invert", "--no-alpha", "--no-color", "--list-shapes"};

// The shape's drawing, read when the first picture needs it, so that a missing input is reported
// before a missing shape file; the pictures of a run over many files share it.
struct ShapeDrawing {
  unsigned id = 0;
  std::mutex lock;
  bool read = false;
  WmfDrawing drawing;
  std::string error;  // why it could not be read

  const WmfDrawing* Get(std::string& why) {
    const std::lock_guard<std::mutex> guard(lock);
    if (!read) read = true, LoadShape(id, drawing, error);
    why = error;
    return error.empty() ? &drawing : nullptr;
  }
};

struct MaskRequest {
  std::shared_ptr<ShapeDrawing> shape;
  std::vector<long long> rgb = {192, 192, 192};
  long long index = 0;
  bool byColor = false, byIndex = false;
  bool invert = false, alpha = true, color = true;
};

bool ParseMaskColor(const Args& args, MaskRequest& r, std::string& error) {
  r.byColor = args.Has("--mask-color");
  r.byIndex = args.Has("--mask-index");
  if (r.byColor && r.byIndex)
    error = "give --mask-color or --mask-index, not both";
  else if (r.byColor && !ParseIntList(args.Value("--mask-color"), 3, 0, 255, r.rgb))
    error = "--mask-color needs R,G,B with each 0-255";
  else if (r.byIndex && !ParseInt(args.Value("--mask-index"), 0, 255, r.index))
    error = "--mask-index needs a number 0-255";
  return error.empty();
}

// The colour-table entry the mask colour takes in `v`; false with the reason in `refusal` when the
// options do not fit the picture.
bool ResolveMaskIndex(const MaskRequest& r, const DibView& v, int32_t& index,
                      std::string& refusal) {
  if (r.byIndex && v.colorCount == 0)
    refusal = "--mask-index is for palette images; this one has " + std::to_string(v.bits) +
              " bits per pixel (use --mask-color)";
  else if (r.byIndex && r.index >= v.colorCount)
    refusal = "--mask-index " + std::to_string(r.index) + " is not an entry of the image's " +
              std::to_string(v.colorCount) + "-colour table";
  index = r.byColor && v.colorCount ? NearestEntry(v, r.rgb) : static_cast<int32_t>(r.index);
  return refusal.empty();
}

HostBlock ApplyMask(const MaskRequest& r, HostBlock image) {
  int32_t index = 0;
  {
    LockedDib locked(image);
    if (!locked.ok) return nullptr;
    std::string refusal;
    if (!ResolveMaskIndex(r, locked.view, index, refusal)) return Refuse(refusal);
  }
  std::string error;
  const WmfDrawing* drawing = r.shape->Get(error);
  if (!drawing) {
    ToolError(error);
    return nullptr;
  }
  const std::lock_guard<std::mutex> guard(MaskColorLock());
  MAS_SetMaskColor(index, static_cast<uint8_t>(r.rgb[0]), static_cast<uint8_t>(r.rgb[1]),
                   static_cast<uint8_t>(r.rgb[2]));
  return MAS_ApplyMask(
      image, [drawing](const MaskRaster& raster) { return RenderMetafile(*drawing, raster); },
      r.invert, r.alpha, r.color, kDisplayBits);
}

bool MakeMaskStep(const Args& args, Step& step, std::string& error) {
  if (args.Has("--list-shapes")) {
    step.answer = ListShapes;
    return true;
  }
  if (!args.Has("--shape")) {
    error = "--shape NAME is required";
    return false;
  }
  MaskRequest r;
  r.shape = std::make_shared<ShapeDrawing>();
  r.shape->id = FindShape(args.Value("--shape"));
  if (!r.shape->id) {
    error =
        "unknown shape '" + args.Value("--shape") + "' (imagetool mask --list-shapes lists them)";
    return false;
  }
  if (!ParseMaskColor(args, r, error)) return false;
  r.invert = args.Has("--invert");
  r.alpha = !args.Has("--no-alpha");
  r.color = !args.Has("--no-color");
  step.apply = [r](HostBlock image) { return ApplyMask(r, image); };
  if (r.byIndex) step.tableOption = "--mask-index";
  return true;
}

}  // namespace

bool LoadShape(unsigned id, WmfDrawing& drawing, std::string& error) {
  const std::string name = ShapeFileName(id);
  const char* folder = std::getenv("IMAGE_MASK_FOLDER");
  std::vector<uint8_t> bytes;
  if (folder && *folder) {
    const std::string path = std::string(folder) + "/" + name;
    // The stock shapes are a few kilobytes; anything far bigger is not one of them.
    if (!ReadSmallFile(path, 1 << 20, bytes, error)) {
      error = "cannot read the mask shape " + path + ": " + error + " (IMAGE_MASK_FOLDER)";
      return false;
    }
    if (ParseMetafile(bytes.data(), bytes.size(), drawing, error)) return true;
    error = path + ": " + error;
    return false;
  }
  for (const StockShapeFile& file : StockShapeFiles())
    if (name == file.name)
      return ParseMetafile(file.bytes.data(), file.bytes.size(), drawing, error);
  error = "internal error: no built-in shape " + name;
  return false;
}

std::mutex& MaskColorLock() {
  static std::mutex lock;
  return lock;
}

extern const ToolCommand kMaskTool = {"mask",     "mask with a stock shape",
                                      kMaskUsage, kMaskValued,
                                      kMaskFlags, MakeMaskStep,
                                      nullptr,    "--shape Star"};
