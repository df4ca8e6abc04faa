// What an imagetool command is: its options, and the step it makes of them for the run to apply to
// each picture.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "dib/dib.h"
#include "dib/host_port.h"

struct RunOptions;

// Exit statuses, one rule for every command.
enum : int {
  kExitOk = 0,
  kExitFailed = 1,    // a valid request failed (memory, writing the output)
  kExitBadInput = 2,  // anything wrong with the command line, the input file, or the request
                      // for this picture (an index outside its table, a rectangle outside it)
};

// A command's words, split: options with a value, flags, and the other (positional) words.
struct Args {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;  // "--width" -> "50%"
  std::set<std::string> flags;                 // "--mirror"

  bool Has(const std::string& name) const { return options.count(name) || flags.count(name); }
  const std::string& Value(const std::string& name) const { return options.at(name); }
};

// What a command's options asked for, ready for any picture.
struct Step {
  // Applies the step to `image`, which the caller keeps owning: returns `image` when it worked in
  // place, a new block (then the caller's), or null after reporting why through Refuse (the
  // request does not fit this picture) or ToolError (it failed). May run on several threads at
  // once, one picture each.
  std::function<HostBlock(HostBlock image)> apply;
  // The option that works on the picture's colour table, if any: a PNG's transparent colour is then
  // dropped rather than turning the picture into 32-bit RGBA.
  const char* tableOption = nullptr;
  // Set instead of `apply` when the options ask for an answer on stdout (mask --list-shapes): the
  // run then takes no files, and it is printed only when there are none.
  std::function<void()> answer;
  // Set with a false return when the words were right but the system cannot serve them (no font
  // for a caption): the run then fails with status 1, without the usage.
  bool failed = false;
};

struct ToolCommand {
  const char* name;
  const char* summary;                  // one line in the tool's --help
  const char* usage;                    // the command's --help text
  std::span<const char* const> valued;  // its options that take a value
  std::span<const char* const> flags;   // its options without one
  // An image command: makes a step of its options (`args` holds no positional words), or returns
  // false with `error` set.
  bool (*makeStep)(const Args& args, Step& step, std::string& error);
  // A command that is not a step (info, sample): runs with its words. Returns the exit status.
  int (*run)(const Args& args, const RunOptions& options);
  // Options for the built-in sample run ("" = run with none); null leaves the command out of it.
  const char* sampleOptions;
};

// The step of a command without options whose engine works in place and reports its own failures
// (flip, mirror, invert).
template <bool (*Engine)(HostBlock)>
bool InPlaceStep(const Args&, Step& step, std::string&) {
  step.apply = [](HostBlock image) { return Engine(image) ? image : nullptr; };
  return true;
}

// "W x H" of the picture, for messages.
std::string PictureSize(const DibView& v);

// Reads a whole decimal integer in [min, max]; false for anything else.
bool ParseInt(const std::string& text, long long min, long long max, long long& out);
// Reads "a,b,c,..." with exactly `count` integers, each in [min, max].
bool ParseIntList(const std::string& text, size_t count, long long min, long long max,
                  std::vector<long long>& out);
