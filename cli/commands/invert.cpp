// imagetool invert: invert the colours, in place.
#include "cli/run/command.h"
#include "dib/transforms.h"

namespace {

constexpr char kInvertUsage[] =
    "usage: imagetool invert INPUT OUTPUT\n"
    "Inverts the colours: the colour table of 4- and 8-bit images, the pixels of 1-, 24- and\n"
    "32-bit images (the fourth byte of 32-bit pixels is kept).\n";

// Without a progress owner: imagetool's meter needs none.
bool Invert(HostBlock image) { return InvertDib(image, nullptr); }

}  // namespace

extern const ToolCommand kInvertTool = {"invert", "invert the colours", kInvertUsage, {},
                                        {},       InPlaceStep<Invert>,  nullptr,      ""};
