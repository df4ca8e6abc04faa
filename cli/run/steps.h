// Steps applied to one picture: read once, each step on the result of the one before, written
// once.
#pragma once

#include <string>
#include <vector>

#include "cli/run/command.h"
#include "cli/run/run_options.h"

// A step with the command that made it, for messages ("step 2 (scale): ").
struct NamedStep {
  const ToolCommand* command = nullptr;
  Step step;
};

// Reads `input` ("-": standard input), applies `steps` in order and writes the result to `output`
// ("-": standard output), all or nothing. Between steps the picture stays in memory, and the result
// is the one the steps give run one by one through BMP files; only a step's input and its result
// are alive at a time. Messages name the step when
// there are several, and with `nameInput` the input file too (one of many). Returns the exit
// status.
int RunSteps(const std::vector<NamedStep>& steps, const RunOptions& options,
             const std::string& input, const std::string& output, bool nameInput = false);
