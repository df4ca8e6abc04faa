// imagetool flip: turn upside down, in place.
#include "cli/run/command.h"
#include "dib/transforms.h"

namespace {

constexpr char kFlipUsage[] =
    "usage: imagetool flip INPUT OUTPUT\n"
    "Turns the image upside down.\n";

}  // namespace

extern const ToolCommand kFlipTool = {"flip", "turn upside down",   kFlipUsage, {},
                                      {},     InPlaceStep<FlipDib>, nullptr,    ""};
