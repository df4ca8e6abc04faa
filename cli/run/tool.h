// imagetool's command framework: the command interface, argument parsing, and the read-run-write
// frame that every image command shares.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "dib/dib.h"
#include "dib/host_port.h"

// Exit statuses, one rule for every command.
enum : int {
  kExitOk = 0,
  kExitFailed = 1,    // a valid request failed (memory, writing the output)
  kExitBadInput = 2,  // anything wrong with the command line, the input file, or the request
                      // for this picture (an index outside its table, a rectangle outside it)
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

// Prints "imagetool: message" on stderr.
void ToolError(const std::string& message);

// Reports a request that does not fit the picture read (exit status kExitBadInput when the
// operation then returns null to RunImageCommand). Returns null.
HostBlock Refuse(const std::string& message);

// "W x H" of the picture, for messages.
std::string PictureSize(const DibView& v);

// Splits `argv` (the words after the command name) into options with a value (written
// "--name value" or "--name=value"; the value is the next word whatever it looks like), flags and
// positional words ("-" among them). "--" ends the options. An unknown or repeated option is an
// error. Returns false and sets `error` on a bad command line; also false, with `error` empty,
// for --help or -h, which UsageError then answers with the usage on stdout and status 0.
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

// Prints the command's usage and returns kExitBadInput, after `error` when it is not empty; or,
// when the options asked for help, prints the usage on stdout and returns kExitOk.
int UsageError(const char* usage, const std::string& error);
