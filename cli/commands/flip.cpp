// imagetool flip: turn upside down, in place.
#include "cli/run/command.h"
#include "dib/transforms.h"

namespace {

constexpr char kFlipUsage[] =
    "usage: imagetool flip INPUT OUTPUT\n"
    "Turns the image upside down.\n";

bool MakeFlipStep(const Args&, Step& step, std::string&) {
  step.apply = [](HostBlock image) { return FlipDib(image) ? image : nullptr; };
  return true;
}

}  // namespace

extern const ToolCommand kFlipTool = {"flip", "turn upside down", kFlipUsage, {},
                                      {},     MakeFlipStep,       nullptr,    ""};
