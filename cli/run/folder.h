// Runs over many files: --out-dir DIR takes every file word as an input and writes each result to
// DIR under the input's name, several files at once.
#pragma once

#include <string>
#include <vector>

#include "cli/run/steps.h"

// Applies `steps` to each of `inputs`, writing the results into options.outDir (made when it is
// missing): each under its input's name, the extension changed when --format names another
// format. Outputs that would replace an input, or one another, are refused before anything is
// written. options.jobs files at a time (default: the cores the process may use, at most 8), the
// row workers of the engines cut so that both together do not exceed the cores. A file that fails
// is reported and the others go on. On a terminal a progress line shows the files done. Returns
// the worst exit status of all.
int RunFolder(const std::vector<NamedStep>& steps, const RunOptions& options,
              const std::vector<std::string>& inputs);

// The number of cores this process may run on (at least 1).
unsigned UsableCores();
