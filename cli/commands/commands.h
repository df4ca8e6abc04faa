// The commands of imagetool, for the program's entry point and the tools that reuse them.
#pragma once

#include <string>

#include "cli/run/tool.h"

// Every command, in the order --help lists them, ending with null. Each command file defines its
// own ToolCommand; cli/commands/commands.cpp lists them.
extern const ToolCommand* const kToolCommands[];

// The folder of the stock mask shapes' .wmf files: IMAGE_MASK_FOLDER when that is set, otherwise
// resources/masks of the source tree imagetool was built from.
std::string ShapeFolder();
