// imagetool frame: margins painted around the picture, filled or with an outline border.
#include <memory>
#include <mutex>
#include <string>

#include "cli/commands/caption_glyphs.h"
#include "cli/commands/commands.h"
#include "cli/run/command.h"
#include "cli/run/console.h"
#include "dib/dib.h"
#include "frame/caption.h"
#include "frame/frame.h"
#include "frame/margins.h"
#include "resources/text_ids.h"

namespace {

// The display depth the caption's mask is laid out for, as imagetool mask does: both layouts give
// the same pixels.
constexpr uint32_t kDisplayBits = 32;

// The frame engine counts sizes in 16 bits: a framed picture is at most this wide and high.
constexpr uint32_t kMaxFramedSide = 65535;

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
    "them; the picture's own pixels keep theirs. The framed picture may be at most 65535 pixels\n"
    "wide and high.\n"
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
    if (!ParseIntList(args.Value(rgbName), 3, 0, 255, out.rgb)) {
      error = rgbName + " needs R,G,B with each from 0 to 255";
      return false;
    }
  } else if (args.Has(indexName)) {
    out.given = out.byIndex = true;
    if (!ParseInt(args.Value(indexName), 0, 255, out.index)) {
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
  const std::string& value = args.Value("--align");
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

constexpr const char* kFrameValued[] = {"--margins", "--width",      "--height",  "--style",
                                        "--fill",    "--fill-index", "--outline", "--outline-index",
                                        "--caption", "--align",      "--text",    "--text-index",
                                        "--font",    "--font-height"};
constexpr const char* kFrameFlags[] = {"--invert-caption", "--alpha", "--no-color", "--bold",
                                       "--italic"};
constexpr const char* kCaptionOptions[] = {
    "--align",    "--text", "--text-index",  "--invert-caption", "--alpha",
    "--no-color", "--font", "--font-height", "--bold",           "--italic"};

// What the options ask for; colours and a new size are resolved against each picture.
struct FrameRequest {
  std::vector<long long> margins = {0, 0, 0, 0};  // top, bottom, left, right
  long long newSize[2] = {0, 0};                  // width, height; 0 = not given
  FrameSpec params;
  ColorOption fill, outline, text;
  std::shared_ptr<const CaptionGlyphs> glyphs;  // null without --caption
  bool invertCaption = false, alpha = false, color = true;
};

bool ParseGeometry(const Args& args, FrameRequest& r, std::string& error) {
  if (args.Has("--margins") && (args.Has("--width") || args.Has("--height"))) {
    error = "--margins cannot be combined with --width or --height";
    return false;
  }
  if (args.Has("--margins") && !ParseIntList(args.Value("--margins"), 4, 0, 65535, r.margins)) {
    error = "--margins needs T,B,L,R with each from 0 to 65535";
    return false;
  }
  const char* sizeNames[2] = {"--width", "--height"};
  for (int i = 0; i < 2; ++i)
    if (args.Has(sizeNames[i]) && !ParseInt(args.Value(sizeNames[i]), 1, 65535, r.newSize[i])) {
      error = std::string(sizeNames[i]) + " needs a number of pixels from 1 to 65535";
      return false;
    }
  return true;
}

bool ParseStyle(const Args& args, FrameRequest& r, std::string& error) {
  const std::string style = args.Has("--style") ? args.Value("--style") : "filled";
  if (style != "filled" && style != "outline") {
    error = "--style is filled or outline";
    return false;
  }
  r.params.style = style == "filled" ? kFrameFilled : kFrameOutline;
  if (!ParseColor(args, "--fill", "--fill-index", r.fill, error) ||
      !ParseColor(args, "--outline", "--outline-index", r.outline, error))
    return false;
  if (r.outline.given && r.params.style != kFrameOutline) {
    error = "--outline and --outline-index need --style outline";
    return false;
  }
  return true;
}

// The caption is set when the options are read, so that a missing font costs no picture's work.
// A caption the system has no font for fails the step (`failed`) rather than its words.
bool ParseCaption(const Args& args, FrameRequest& r, [[maybe_unused]] bool& failed,
                  std::string& error) {
  if (!args.Has("--caption")) {
    for (const char* name : kCaptionOptions)
      if (args.Has(name)) {
        error = std::string(name) + " needs --caption";
        return false;
      }
    return true;
  }
  const std::string& caption = args.Value("--caption");
  // The dialog reads at most 254 characters and asks for fewer than 255.
  if (caption.size() > 254) {
    error = TextById(IDS_FRAME_CAPTION_TOO_LONG);
    return false;
  }
  if (!ParseAlignment(args, r.params.alignment, error) ||
      !ParseColor(args, "--text", "--text-index", r.text, error))
    return false;
  if (!r.text.given) r.text = {true, false, 0, {192, 192, 192}};
  CaptionFont font;
  if (args.Has("--font")) font.name = args.Value("--font");
  long long height = font.height;
  if (args.Has("--font-height") && !ParseInt(args.Value("--font-height"), 1, 4096, height)) {
    error = "--font-height needs a number of pixels from 1 to 4096";
    return false;
  }
  font.height = static_cast<uint32_t>(height);
  font.bold = args.Has("--bold");
  font.italic = args.Has("--italic");
  auto glyphs = std::make_shared<CaptionGlyphs>();
  if (!SetCaption(caption, font, *glyphs, error)) {
#ifdef IMAGETOOL_HAS_FREETYPE
    failed = true;  // a build without FreeType refuses captions as it refuses PNG files, with 2
#endif
    return false;
  }
  r.glyphs = std::move(glyphs);
  r.invertCaption = args.Has("--invert-caption");
  r.alpha = args.Has("--alpha");
  r.color = !args.Has("--no-color");
  return true;
}

// The frame of one picture: its colours and margins, or false with the reason in `refusal`.
bool ResolveFrame(const FrameRequest& r, const DibView& v, FrameSpec& params,
                  std::string& refusal) {
  params = r.params;
  if (!ResolveColor(r.fill, v, "--fill", params.fill, refusal) ||
      !ResolveColor(r.outline, v, "--outline", params.outline, refusal) ||
      !ResolveColor(r.text, v, "--text", params.text, refusal))
    return false;
  std::vector<long long> margins = r.margins;
  // A new size is split as the dialog splits it; one below the picture's is refused as there.
  const uint32_t size[2] = {v.width, v.height};
  for (int i = 0; i < 2; ++i) {
    if (r.newSize[i] == 0) continue;
    if (r.newSize[i] < size[i]) {
      refusal = std::string(i == 0 ? "--width " : "--height ") + std::to_string(r.newSize[i]) +
                " is less than the " + PictureSize(v) + " picture's " +
                (i == 0 ? "width" : "height");
      return false;
    }
    const MarginSplit split =
        FRM_SplitMargins(static_cast<uint16_t>(size[i]), static_cast<uint16_t>(r.newSize[i]));
    margins[i == 0 ? 2 : 0] = split.first;
    margins[i == 0 ? 3 : 1] = split.second;
  }
  if (FRM_SetMargins(params, v.width, v.height, static_cast<uint32_t>(margins[0]),
                     static_cast<uint32_t>(margins[1]), static_cast<uint32_t>(margins[2]),
                     static_cast<uint32_t>(margins[3])))
    return true;
  refusal = "the framed picture would be " + std::to_string(v.width + margins[2] + margins[3]) +
            " x " + std::to_string(v.height + margins[0] + margins[1]) +
            " pixels; frame makes pictures of at most " + std::to_string(kMaxFramedSide) +
            " pixels each way";
  return false;
}

// Writes the caption into the framed picture, which it takes over. The plug-in keeps the
// uncaptioned frame when the caption fails; a file without the caption that was asked for would be
// a wrong result, so imagetool makes nothing instead.
HostBlock AddCaption(const FrameRequest& r, const FrameSpec& params, HostBlock framed) {
  const DibView v = [&] {
    LockedDib locked(framed);
    return locked.view;
  }();
  const CaptionGlyphs& glyphs = *r.glyphs;
  const CaptionOrigin at =
      FRM_CaptionOrigin(v.width, v.height, glyphs.cx, glyphs.cy, params.alignment);
  const std::lock_guard<std::mutex> guard(MaskColorLock());
  HostBlock captioned = FRM_AddCaption(framed, params.text, r.invertCaption, r.alpha, r.color,
                                       CaptionRenderer(glyphs, at.x, at.y), kDisplayBits);
  if (captioned != framed) return captioned;
  HP_Free(framed);
  return nullptr;
}

HostBlock ApplyFrame(const FrameRequest& r, HostBlock image) {
  FrameSpec params;
  {
    LockedDib locked(image);
    if (!locked.ok) return nullptr;
    std::string refusal;
    if (!ResolveFrame(r, locked.view, params, refusal)) return Refuse(refusal);
  }
  // The margins of 32-bit pictures get a fourth byte 0. That is the frame engine's fixed rule,
  // shared with the plug-in, so imagetool keeps it rather than repainting them opaque as rotate
  // and mask paint theirs; the help says so.
  HostBlock framed = FRM_ComposeFrame(image, params);
  if (!framed || !r.glyphs) return framed;
  return AddCaption(r, params, framed);
}

bool MakeFrameStep(const Args& args, Step& step, std::string& error) {
  FrameRequest r;
  if (!ParseGeometry(args, r, error) || !ParseStyle(args, r, error) ||
      !ParseCaption(args, r, step.failed, error))
    return false;
  step.apply = [r](HostBlock image) { return ApplyFrame(r, image); };
  for (const char* name : {"--fill-index", "--outline-index", "--text-index"})
    if (args.Has(name)) step.tableOption = name;
  return true;
}

}  // namespace

extern const ToolCommand kFrameTool = {
    "frame",     "add margins, filled or with an outline",
    kFrameUsage, kFrameValued,
    kFrameFlags, MakeFrameStep,
    nullptr,     "--margins 10,10,20,20 --style outline --fill 40,40,40 --outline 250,220,40"};
