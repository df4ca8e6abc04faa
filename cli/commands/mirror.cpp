// imagetool mirror: reverse left to right, in place.
#include "cli/run/command.h"
#include "dib/transforms.h"

namespace {

constexpr char kMirrorUsage[] =
    "usage: imagetool mirror INPUT OUTPUT\n"
    "Reverses the image left to right.\n";

}  // namespace

extern const ToolCommand kMirrorTool = {"mirror", "reverse left to right", kMirrorUsage, {},
                                        {},       InPlaceStep<MirrorDib>,  nullptr,      ""};
