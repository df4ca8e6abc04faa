// imagetool's command framework: the command table, argument parsing, and the read-run-write
// frame that every image command shares.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "dib/host_port.h"

// Exit statuses.
enum : int {
  kExitOk = 0,
  kExitFailed = 1,    // the operation failed (memory, writing the output)
  kExitBadInput = 2,  // bad usage or an input file that is refused
};

struct Args {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;  // "--width" -> "50%"
  std::set<std::string> flags;                 // "--mirror"

  bool Has(const std::string& name) const { return options.count(name) || flags.count(name); }
};

struct ToolCommand {
  const char* name;
  const char* summary;  // one line in the tool's --help
  const char* usage;    // the command's --help text
  int (*run)(const std::vector<std::string>& argv);
  // Options for the built-in sample run ("" = run with none); null leaves the command out of it.
  const char* sampleOptions;
};

// Every command, in the order --help lists them, ending with null. Each command file defines its
// own ToolCommand; cli/commands.cpp lists them.
extern const ToolCommand* const kToolCommands[];

// Prints "imagetool: message" on stderr.
void ToolError(const std::string& message);

// Splits `argv` (the words after the command name) into options with a value (written
// "--name value" or "--name=value"), flags and positional words. Any other word starting with
// "--" is an error. Returns false and sets `error` on a bad command line.
bool ParseArgs(const std::vector<std::string>& argv, std::initializer_list<const char*> valued,
               std::initializer_list<const char*> flags, Args& out, std::string& error);

// Reads a whole decimal integer in [min, max]; false for anything else.
bool ParseInt(const std::string& text, long long min, long long max, long long& out);
// Reads "a,b,c,..." with exactly `count` integers, each in [min, max].
bool ParseIntList(const std::string& text, size_t count, long long min, long long max,
                  std::vector<long long>& out);

// The frame of an image command: expects exactly INPUT and OUTPUT as positional words, reads
// INPUT, calls `operation` with the image (the frame keeps owning it) and writes what it returns
// to OUTPUT, all or nothing. `operation` returns the same block when it worked in place, a new
// block (then owned by the frame), or null after reporting a failure. Returns the exit status.
int RunImageCommand(const Args& args, const char* usage,
                    const std::function<HostBlock(HostBlock image)>& operation);

// Prints the command's usage and returns kExitBadInput, after `error` when it is not empty.
int UsageError(const char* usage, const std::string& error);

// The folder of the stock mask shapes' .wmf files: IMAGE_MASK_FOLDER when that is set, otherwise
// resources/masks of the source tree imagetool was built from.
std::string ShapeFolder();
