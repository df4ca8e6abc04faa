// imagetool tile: copies of the picture across and down, optionally mirrored.
#include <string>

#include "cli/run/tool.h"
#include "mask/tile.h"

namespace {

constexpr char kTileUsage[] =
    "usage: imagetool tile [--across N] [--down N] [--mirror] INPUT OUTPUT\n"
    "Repeats the picture N times across and N times down (1 each by default); the result may be\n"
    "at most 32766 pixels wide and high. With --mirror every second copy in a row is reversed\n"
    "left to right and every second row of copies is upside down, the top-left copy upright, so\n"
    "that neighbouring copies join seamlessly.\n";

int RunTile(const std::vector<std::string>& argv) {
  Args args;
  std::string error;
  if (!ParseArgs(argv, {"--across", "--down"}, {"--mirror"}, args, error))
    return UsageError(kTileUsage, error);
  long long counts[2] = {1, 1};
  const char* names[2] = {"--across", "--down"};
  for (int i = 0; i < 2; ++i)
    if (args.Has(names[i]) && !ParseInt(args.options.at(names[i]), 1, kTileMaxSide, counts[i]))
      return UsageError(kTileUsage,
                        std::string(names[i]) + " needs a number of copies from 1 to 32766");
  const bool mirror = args.Has("--mirror");
  return RunImageCommand(args, kTileUsage, [&](HostBlock image) {
    return TIL_TileDIB(image, static_cast<uint32_t>(counts[0]), static_cast<uint32_t>(counts[1]),
                       mirror);
  });
}

}  // namespace

extern const ToolCommand kTileTool = {"tile", "repeat across and down, optionally mirrored",
                                      kTileUsage, RunTile, "--across 3 --down 2 --mirror"};
