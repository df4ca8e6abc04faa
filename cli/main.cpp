// imagetool: every operation of the plug-in applied to image files, with the same engines.
//
//   imagetool [RUN OPTIONS] COMMAND [OPTIONS] [+ COMMAND [OPTIONS]]... INPUT OUTPUT
//   imagetool --help
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>

#include "cli/commands/commands.h"
#include "cli/run/command_line.h"
#include "cli/run/console.h"
#include "cli/run/folder.h"
#include "dib/row_bands.h"

namespace {

// What was written to stdout must have reached it: a full disk or a closed pipe fails the run.
int Finish(int status) {
  if (std::fflush(stdout) == 0 && (std::cout << std::flush)) return status;
  ToolError(std::string("standard output: ") + std::strerror(errno ? errno : EIO));
  return status == kExitOk ? kExitFailed : status;
}

}  // namespace

int main(int argc, char** argv) {
  // The slow engines' row loops use every core the process may run on (up to kMaxRowWorkers);
  // their bytes do not depend on it.
  SetRowWorkers(UsableCores());
  const Program program{kToolCommands, BuiltWith()};
  try {
    return Finish(RunCommandLine(std::vector<std::string>(argv + 1, argv + argc), program));
  } catch (const std::bad_alloc&) {
    // Memory the host port's blocks did not take (names, tables, libraries' own) ran out.
    ToolError("not enough memory");
    return kExitFailed;
  }
}
