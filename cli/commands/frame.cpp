// imagetool frame: margins painted around the picture, filled or with an outline border.
#include <string>

#include "cli/commands/caption_glyphs.h"
#include "cli/run/tool.h"
#include "dib/dib.h"
#include "frame/caption.h"
#include "frame/frame.h"
#include "frame/margins.h"
#include "resources/text_ids.h"

namespace {

// The display depth the caption's mask is laid out for, as imagetool mask does: both layouts give
// the same pixels.
constexpr uint32_t kDisplayBits = 32;

constexpr char kFrameUsage[] =
    "usage: imagetool frame [--margins T,B,L,R | --width W --height H] [--style filled|outline]\n"
    "                       [--fill R,G,B | --fill-index N] [--outline R,G,B | --outline-index N]\n"
    "                       [--caption TEXT [CAPTION OPTIONS]] INPUT OUTPUT\n"
    "Enlarges the picture with margins of T, B, L and R pixels at the top, bottom, left and\n"
    "right, or with as many pixels as make the new picture W wide or H high (either may be given\n"
    "alone), split in two halves with the odd pixel going to the right or the bottom. The margins\n"
    "take the fill colour (grey 128,128,128 by default); --style outline adds a one-pixel border\n"
    "round the whole new picture in the outline colour (grey 160,160,160 by default). In pictures\n"
    "with a colour table R,G,B picks the nearest colour of the table (index 0 by default), and\n"
    "--fill-index and --outline-index name an entry of the table. On 32-bit pictures the\n"
    "margins' fourth byte (the alpha of a PNG) is 0, transparent, as the frame engine paints\n"
    "them; the picture's own pixels keep theirs.\n"
    "Caption options (one line of at most 254 characters written over the framed picture):\n"
    "  --align V,H              top|center|bottom, left|center|right (default top,left)\n"
    "  --text R,G,B             the caption colour (default 192,192,192); --text-index N names\n"
    "                           an entry of the colour table (default 0)\n"
    "  --invert-caption         colour everything but the glyphs, which show the picture\n"
    "  --alpha                  32-bit pictures: coloured pixels become opaque (default: kept)\n"
    "  --no-color               32-bit pictures: coloured pixels keep their own colour\n"
    "  --font NAME              a fontconfig font name (default Arial; fontconfig answers an\n"
    "                           unknown name with its nearest font)\n"
    "  --font-height N          cell height in pixels, 1 to 4096 (default 16)\n"
    "  --bold, --italic\n"
    "Glyphs are drawn without smoothing, so their pixels take exactly the caption colour.\n";

// A colour as given on the command line: R,G,B, or an index into the colour table.
struct ColorOption {
  bool given = false;
  bool byIndex = false;
  long long index = 0;
  std::vector<long long> rgb;
};

bool ParseColor(const Args& args, const std::string& rgbName, const std::string& indexName,
                ColorOption& out, std::string& error) {
  if (args.Has(rgbName) && args.Has(indexName)) {
    error = rgbName + " and " + indexName + " cannot be combined";
    return false;
  }
  if (args.Has(rgbName)) {
    out.given = true;
    if (!ParseIntList(args.options.at(rgbName), 3, 0, 255, out.rgb)) {
      error = rgbName + " needs R,G,B with each from 0 to 255";
      return false;
    }
  } else if (args.Has(indexName)) {
    out.given = out.byIndex = true;
    if (!ParseInt(args.options.at(indexName), 0, 255, out.index)) {
      error = indexName + " needs a colour-table index from 0 to 255";
      return false;
    }
  }
  return true;
}

// Turns a colour option into a frame colour for `image`; false (with `error`) when the image
// cannot take it. Palette images take an index: the named one, or the table entry nearest to
// R,G,B (squared distance, the lowest index on a tie).
bool ResolveColor(const ColorOption& option, const DibView& image, const std::string& name,
                  FrameColor& color, std::string& error) {
  if (!option.given) return true;
  if (option.byIndex) {
    if (image.colorCount == 0) {
      error = name + "-index needs a picture with a colour table; give " + name + " R,G,B";
      return false;
    }
    if (option.index >= image.colorCount) {
      error = name + "-index " + std::to_string(option.index) +
              " is not in the picture's colour table of " + std::to_string(image.colorCount) +
              " colours";
      return false;
    }
    color.index = static_cast<int16_t>(option.index);
    return true;
  }
  color.red = static_cast<uint8_t>(option.rgb[0]);
  color.green = static_cast<uint8_t>(option.rgb[1]);
  color.blue = static_cast<uint8_t>(option.rgb[2]);
  long long best = -1;
  for (uint32_t i = 0; i < image.colorCount; ++i) {
    const RgbQuad& e = image.colors[i];
    const long long dr = e.rgbRed - option.rgb[0], dg = e.rgbGreen - option.rgb[1],
                    db = e.rgbBlue - option.rgb[2];
    const long long d = dr * dr + dg * dg + db * db;
    if (best < 0 || d < best) {
      best = d;
      color.index = static_cast<int16_t>(i);
    }
  }
  return true;
}

// --align V,H into the alignment flags.
bool ParseAlignment(const Args& args, uint16_t& alignment, std::string& error) {
  if (!args.Has("--align")) return true;
  const std::string& value = args.options.at("--align");
  const size_t comma = value.find(',');
  const std::string v = value.substr(0, comma),
                    h = comma == std::string::npos ? "" : value.substr(comma + 1);
  uint16_t flags = 0;
  if (v == "top")
    flags = kAlignTop;
  else if (v == "center")
    flags = kAlignVCenter;
  else if (v == "bottom")
    flags = kAlignBottom;
  if (h == "left")
    flags = static_cast<uint16_t>(flags | kAlignLeft);
  else if (h == "center")
    flags = static_cast<uint16_t>(flags | kAlignHCenter);
  else if (h == "right")
    flags = static_cast<uint16_t>(flags | kAlignRight);
  if (flags < 8 || (flags & 7) == 0) {
    error = "--align needs V,H: top, center or bottom, then left, center or right";
    return false;
  }
  alignment = flags;
  return true;
}

int RunFrame(const std::vector<std::string>& argv) {
  Args args;
  std::string error;
  if (!ParseArgs(argv,
                 {"--margins", "--width", "--height", "--style", "--fill", "--fill-index",
                  "--outline", "--outline-index", "--caption", "--align", "--text", "--text-index",
                  "--font", "--font-height"},
                 {"--invert-caption", "--alpha", "--no-color", "--bold", "--italic"}, args, error))
    return UsageError(kFrameUsage, error);

  std::vector<long long> margins = {0, 0, 0, 0};  // top, bottom, left, right
  if (args.Has("--margins") && (args.Has("--width") || args.Has("--height")))
    return UsageError(kFrameUsage, "--margins cannot be combined with --width or --height");
  if (args.Has("--margins") && !ParseIntList(args.options.at("--margins"), 4, 0, 65535, margins))
    return UsageError(kFrameUsage, "--margins needs T,B,L,R with each from 0 to 65535");
  long long newSize[2] = {0, 0};  // width, height; 0 = not given
  const char* sizeNames[2] = {"--width", "--height"};
  for (int i = 0; i < 2; ++i)
    if (args.Has(sizeNames[i]) && !ParseInt(args.options.at(sizeNames[i]), 1, 65535, newSize[i]))
      return UsageError(kFrameUsage,
                        std::string(sizeNames[i]) + " needs a number of pixels from 1 to 65535");

  FrameSpec params;
  const std::string style = args.Has("--style") ? args.options.at("--style") : "filled";
  if (style == "filled")
    params.style = kFrameFilled;
  else if (style == "outline")
    params.style = kFrameOutline;
  else
    return UsageError(kFrameUsage, "--style is filled or outline");
  ColorOption fill, outline;
  if (!ParseColor(args, "--fill", "--fill-index", fill, error) ||
      !ParseColor(args, "--outline", "--outline-index", outline, error))
    return UsageError(kFrameUsage, error);
  if (outline.given && params.style != kFrameOutline)
    return UsageError(kFrameUsage, "--outline and --outline-index need --style outline");

  // The caption is set before the picture is read, so that a missing font costs no work.
  const bool hasCaption = args.Has("--caption");
  ColorOption text;
  CaptionGlyphs glyphs;
  if (!hasCaption) {
    for (const char* name : {"--align", "--text", "--text-index", "--invert-caption", "--alpha",
                             "--no-color", "--font", "--font-height", "--bold", "--italic"})
      if (args.Has(name)) return UsageError(kFrameUsage, std::string(name) + " needs --caption");
  } else {
    const std::string& caption = args.options.at("--caption");
    // The dialog reads at most 254 characters and asks for fewer than 255.
    if (caption.size() > 254) return UsageError(kFrameUsage, TextById(IDS_FRAME_CAPTION_TOO_LONG));
    if (!ParseAlignment(args, params.alignment, error) ||
        !ParseColor(args, "--text", "--text-index", text, error))
      return UsageError(kFrameUsage, error);
    if (!text.given) text = {true, false, 0, {192, 192, 192}};
    CaptionFont font;
    if (args.Has("--font")) font.name = args.options.at("--font");
    long long height = font.height;
    if (args.Has("--font-height") && !ParseInt(args.options.at("--font-height"), 1, 4096, height))
      return UsageError(kFrameUsage, "--font-height needs a number of pixels from 1 to 4096");
    font.height = static_cast<uint32_t>(height);
    font.bold = args.Has("--bold");
    font.italic = args.Has("--italic");
    if (!SetCaption(caption, font, glyphs, error)) return UsageError(kFrameUsage, error);
  }

  return RunImageCommand(args, kFrameUsage, [&](HostBlock image) -> HostBlock {
    {
      LockedDib locked(image);
      if (!locked.ok) return nullptr;
      const DibView& v = locked.view;
      std::string why;
      if (!ResolveColor(fill, v, "--fill", params.fill, why) ||
          !ResolveColor(outline, v, "--outline", params.outline, why) ||
          !ResolveColor(text, v, "--text", params.text, why)) {
        return Refuse(why);
      }
      // A new size is split as the dialog splits it; one below the picture's is refused as there.
      const uint32_t size[2] = {v.width, v.height};
      for (int i = 0; i < 2; ++i) {
        if (newSize[i] == 0) continue;
        if (newSize[i] < size[i])
          return Refuse(std::string(i == 0 ? "--width " : "--height ") +
                        std::to_string(newSize[i]) + " is less than the " + PictureSize(v) +
                        " picture's " + (i == 0 ? "width" : "height"));
        if (size[i] > 65535) break;  // refused below
        const MarginSplit split =
            FRM_SplitMargins(static_cast<uint16_t>(size[i]), static_cast<uint16_t>(newSize[i]));
        margins[i == 0 ? 2 : 0] = split.first;
        margins[i == 0 ? 3 : 1] = split.second;
      }
      if (!FRM_SetMargins(params, v.width, v.height, static_cast<uint32_t>(margins[0]),
                          static_cast<uint32_t>(margins[1]), static_cast<uint32_t>(margins[2]),
                          static_cast<uint32_t>(margins[3]))) {
        HP_ShowMessage(IDS_IMAGE_TOO_LARGE);
        return nullptr;
      }
    }
    // The margins of 32-bit pictures get a fourth byte 0. That is the frame engine's fixed rule,
    // shared with the plug-in, so imagetool keeps it rather than repainting them opaque as rotate
    // and mask paint theirs; the help says so.
    HostBlock framed = FRM_ComposeFrame(image, params);
    if (!framed || !hasCaption) return framed;
    const BitmapInfoHeader* header = static_cast<const BitmapInfoHeader*>(HP_Lock(framed));
    const uint32_t width = static_cast<uint32_t>(header->biWidth);
    const uint32_t height = static_cast<uint32_t>(header->biHeight);
    HP_Unlock(framed);
    const CaptionOrigin at =
        FRM_CaptionOrigin(width, height, glyphs.cx, glyphs.cy, params.alignment);
    HostBlock captioned =
        FRM_AddCaption(framed, params.text, args.Has("--invert-caption"), args.Has("--alpha"),
                       !args.Has("--no-color"), CaptionRenderer(glyphs, at.x, at.y), kDisplayBits);
    // The plug-in keeps the uncaptioned frame when the caption fails; a file without the caption
    // that was asked for would be a wrong result, so imagetool writes nothing instead.
    if (captioned == framed) {
      HP_Free(framed);
      return nullptr;
    }
    return captioned;
  });
}

}  // namespace

extern const ToolCommand kFrameTool = {
    "frame", "add margins, filled or with an outline", kFrameUsage, RunFrame,
    "--margins 10,10,20,20 --style outline --fill 40,40,40 --outline 250,220,40"};
