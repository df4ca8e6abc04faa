// The commands of imagetool, for the program's entry point and the tools that reuse them.
#pragma once

#include <mutex>
#include <span>
#include <string>

#include "cli/run/command.h"
#include "mask/metafile.h"

// Every command, in the order --help lists them. Each command file defines its own ToolCommand;
// cli/commands/commands.cpp lists them.
extern const std::span<const ToolCommand* const> kToolCommands;

// "built with libpng 1.6.39, zlib 1.2.13, FreeType 2.12.1, fontconfig 2.14.1": the libraries of
// this build, for --version and the manual page.
std::string BuiltWith();

// Reads the metafile of stock shape `id` into `drawing`: the one built into the program, or the
// .wmf file in the folder IMAGE_MASK_FOLDER names when that is set. False with `error` set when
// that fails.
bool LoadShape(unsigned id, WmfDrawing& drawing, std::string& error);

// The mask engine's colour is one setting for the whole process: whoever sets it and masks with it
// holds this lock, so that pictures masked at the same time get their own colours.
std::mutex& MaskColorLock();
