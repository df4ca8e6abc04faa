// imagetool's help texts, from the command and run-option tables.
#pragma once

#include <ostream>
#include <span>
#include <string>

#include "cli/run/command.h"

// The usage forms alone, on stderr: what a bare call prints.
void PrintShortUsage();

// The top-level --help on stdout: usage forms, one line per command, the run options, the exit
// statuses and where the details are.
void PrintHelp(std::span<const ToolCommand* const> commands);

// A command's --help: its usage, then a line on the run options it also takes.
void PrintCommandHelp(const ToolCommand& command, std::ostream& out);

// `imagetool help formats` on stdout.
void PrintFormatsHelp();

// "imagetool VERSION" and `libraries` on stdout.
void PrintVersion(const std::string& libraries);
