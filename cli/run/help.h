// imagetool's help texts, from the command and run-option tables.
#pragma once

#include <ostream>
#include <span>
#include <string>
#include <vector>

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

// The manual page imagetool(1), in roff, made from the same texts and tables as the help.
// `libraries` is the line --version prints.
void PrintManPage(std::ostream& out, std::span<const ToolCommand* const> commands,
                  const std::string& libraries);

// A bash completion for imagetool: commands, their options and the run options, "+", and file
// names; `choices` lists the values an option takes ({"--shape", {"Circle", ...}}).
struct OptionChoices {
  const char* option;
  std::vector<std::string> values;
};
void PrintCompletion(std::ostream& out, std::span<const ToolCommand* const> commands,
                     std::span<const OptionChoices> choices);
