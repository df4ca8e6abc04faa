// imagetool mirror: reverse left to right, in place.
#include "cli/run/command.h"
#include "dib/transforms.h"

namespace {

constexpr char kMirrorUsage[] =
    "usage: imagetool mirror INPUT OUTPUT\n"
    "Reverses the image left to right.\n";

bool MakeMirrorStep(const Args&, Step& step, std::string&) {
  step.apply = [](HostBlock image) { return MirrorDib(image) ? image : nullptr; };
  return true;
}

}  // namespace

extern const ToolCommand kMirrorTool = {"mirror", "reverse left to right", kMirrorUsage, {},
                                        {},       MakeMirrorStep,          nullptr,      ""};
