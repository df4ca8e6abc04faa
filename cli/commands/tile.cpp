// imagetool tile: copies of the picture across and down, optionally mirrored.
#include <string>

#include "cli/run/command.h"
#include "mask/tile.h"

namespace {

constexpr char kTileUsage[] =
    "usage: imagetool tile [--across N] [--down N] [--mirror] INPUT OUTPUT\n"
    "Repeats the picture N times across and N times down (1 each by default); the result may be\n"
    "at most 32766 pixels wide and high. With --mirror every second copy in a row is reversed\n"
    "left to right and every second row of copies is upside down, the top-left copy upright, so\n"
    "that neighbouring copies join seamlessly.\n";

constexpr const char* kTileValued[] = {"--across", "--down"};
constexpr const char* kTileFlags[] = {"--mirror"};

bool MakeTileStep(const Args& args, Step& step, std::string& error) {
  long long counts[2] = {1, 1};
  for (int i = 0; i < 2; ++i)
    if (args.Has(kTileValued[i]) &&
        !ParseInt(args.Value(kTileValued[i]), 1, kTileMaxSide, counts[i])) {
      error = std::string(kTileValued[i]) + " needs a number of copies from 1 to 32766";
      return false;
    }
  const auto across = static_cast<uint32_t>(counts[0]), down = static_cast<uint32_t>(counts[1]);
  const bool mirror = args.Has("--mirror");
  step.apply = [=](HostBlock image) { return TIL_TileDIB(image, across, down, mirror); };
  return true;
}

}  // namespace

extern const ToolCommand kTileTool = {"tile",     "repeat across and down, optionally mirrored",
                                      kTileUsage, kTileValued,
                                      kTileFlags, MakeTileStep,
                                      nullptr,    "--across 3 --down 2 --mirror"};
