// The commands of imagetool, for the program's entry point and the tools that reuse them.
#pragma once

#include <mutex>
#include <span>
#include <string>

#include "cli/run/command.h"

// Every command, in the order --help lists them. Each command file defines its own ToolCommand;
// cli/commands/commands.cpp lists them.
extern const std::span<const ToolCommand* const> kToolCommands;

// The folder of the stock mask shapes' .wmf files: IMAGE_MASK_FOLDER when that is set, otherwise
// resources/masks of the source tree imagetool was built from.
std::string ShapeFolder();

// The mask engine's colour is one setting for the whole process: whoever sets it and masks with it
// holds this lock, so that pictures masked at the same time get their own colours.
std::mutex& MaskColorLock();
