// imagetool's command line: run options, then one command, or several joined by a standalone "+",
// then the files.
//
//   imagetool [RUN OPTIONS] COMMAND [OPTIONS] [+ COMMAND [OPTIONS]]... INPUT OUTPUT
//   imagetool [RUN OPTIONS] --out-dir DIR COMMAND [OPTIONS] [+ ...] INPUT...
#pragma once

#include <span>
#include <string>
#include <vector>

#include "cli/run/command.h"

// What a program built on the run machinery offers: its commands, in the order its help lists
// them, and the line --version prints after imagetool's own version (the libraries it was built
// with).
struct Program {
  std::span<const ToolCommand* const> commands;
  std::string libraries;
};

// Runs the command line `words` (without the program's name). Returns the exit status.
int RunCommandLine(const std::vector<std::string>& words, const Program& program);

// Prints the command's usage on stderr after `error` and returns kExitBadInput.
int UsageError(const ToolCommand& command, const std::string& error);
