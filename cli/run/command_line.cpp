#include "cli/run/command_line.h"

#include <iostream>

#include "cli/run/console.h"
#include "cli/run/folder.h"
#include "cli/run/help.h"
#include "cli/run/run_options.h"
#include "cli/run/steps.h"

namespace {

bool IsIn(std::span<const char* const> names, const std::string& name) {
  for (const char* n : names)
    if (name == n) return true;
  return false;
}

// Sets the run option `option` from `word` ("--name" or "--name=value") and, when it takes a value
// and none is attached, the word after it (`at` then moves past it).
bool SetRunOption(const RunOptionRow& option, const std::vector<std::string>& words, size_t& at,
                  RunOptions& run, std::string& error) {
  const std::string& word = words[at];
  const size_t eq = word.find('=');
  if (!run.given.insert(option.name).second) {
    error = std::string("option ") + option.name + " is given more than once";
    return false;
  }
  if (!option.value) {
    if (eq == std::string::npos) return option.set("", run, error);
    error = std::string(option.name) + " takes no value";
    return false;
  }
  if (eq != std::string::npos) return option.set(word.substr(eq + 1), run, error);
  if (at + 1 >= words.size()) {
    error = std::string("option ") + option.name + " needs a value";
    return false;
  }
  return option.set(words[++at], run, error);
}

// How the words of one command ended.
enum class Parsed { kOk, kHelp, kError };

// Reads the words of `command` from `at` into `args` and `run`, up to a standalone "+" (left at
// `at`) or the end. Options take the next word as their value whatever it looks like ("--angle
// -h" is a bad angle, "--caption +" a caption); "--" makes every later word a file name.
Parsed ParseArgs(const std::vector<std::string>& words, size_t& at, const ToolCommand& command,
                 Args& args, RunOptions& run, std::string& error) {
  bool optionsEnded = false;
  for (; at < words.size(); ++at) {
    const std::string& word = words[at];
    if (optionsEnded || word == "+" || (word != "-h" && !word.starts_with("--"))) {
      if (!optionsEnded && word == "+") return Parsed::kOk;
      args.positional.push_back(word);
      continue;
    }
    if (word == "--help" || word == "-h") return Parsed::kHelp;
    if (word == "--") {
      optionsEnded = true;
      continue;
    }
    const std::string name = word.substr(0, word.find('='));
    if (const RunOptionRow* option = FindRunOption(name)) {
      if (!SetRunOption(*option, words, at, run, error)) return Parsed::kError;
      continue;
    }
    if (args.Has(name)) {
      error = "option " + name + " is given more than once";
      return Parsed::kError;
    }
    if (IsIn(command.flags, name) && name == word) {
      args.flags.insert(name);
    } else if (IsIn(command.valued, name)) {
      if (name != word) {
        args.options[name] = word.substr(name.size() + 1);
      } else if (at + 1 < words.size()) {
        args.options[name] = words[++at];
      } else {
        error = "option " + name + " needs a value";
        return Parsed::kError;
      }
    } else {
      error = "unknown option " + word;
      return Parsed::kError;
    }
  }
  return Parsed::kOk;
}

const ToolCommand* FindCommand(const Program& program, const std::string& name) {
  for (const ToolCommand* command : program.commands)
    if (name == command->name) return command;
  return nullptr;
}

// imagetool help [COMMAND | formats], and imagetool --help COMMAND as well.
int RunHelp(const std::vector<std::string>& words, size_t at, const Program& program) {
  if (at + 1 >= words.size()) return PrintHelp(program.commands), kExitOk;
  const std::string& topic = words[at + 1];
  if (at + 2 < words.size()) {
    ToolError("help takes one topic, not '" + topic + " " + words[at + 2] + "'");
    return kExitBadInput;
  }
  if (topic == "formats") return PrintFormatsHelp(), kExitOk;
  if (const ToolCommand* command = FindCommand(program, topic))
    return PrintCommandHelp(*command, std::cout), kExitOk;
  ToolError("no help on '" + topic + "': imagetool help COMMAND, or imagetool help formats");
  return kExitBadInput;
}

// The run options before the first command, from `at`; `at` is left at the command's name.
// Returns -1 to go on, or the exit status when they answered the call (--help, --version) or were
// wrong.
int LeadingRunOptions(const std::vector<std::string>& words, size_t& at, const Program& program,
                      RunOptions& run) {
  for (; at < words.size() && words[at].starts_with("-"); ++at) {
    const std::string& word = words[at];
    if ((word == "--help" || word == "-h") && (at + 1 == words.size() || words[at + 1][0] == '-'))
      return PrintHelp(program.commands), kExitOk;
    if (word == "--help" || word == "-h") return RunHelp(words, at, program);
    if (word == "--version") return PrintVersion(program.libraries), kExitOk;
    const RunOptionRow* option = FindRunOption(word.substr(0, word.find('=')));
    std::string error = option ? "" : "unknown option " + word + " (imagetool --help lists them)";
    if (!option || !SetRunOption(*option, words, at, run, error)) {
      ToolError(error);
      return kExitBadInput;
    }
  }
  if (at < words.size()) return -1;
  ToolError("a command is missing (imagetool --help lists them)");
  return kExitBadInput;
}

// The files of a run of steps: INPUT and OUTPUT, or with --out-dir any number of inputs; an empty
// name is a mistake on the command line, not a file that is missing.
int RunOnFiles(const std::vector<NamedStep>& steps, const RunOptions& run,
               const std::vector<std::string>& files) {
  const ToolCommand& last = *steps.back().command;
  if (!run.outDir.empty()) {
    if (files.empty()) return UsageError(last, "--out-dir needs at least one INPUT file");
    for (const std::string& file : files)
      if (file.empty()) return UsageError(last, "an INPUT name is empty");
    return RunFolder(steps, run, files);
  }
  if (run.given.count("--jobs")) return UsageError(last, "--jobs needs --out-dir");
  if (files.size() != 2) {
    // A mistyped option (-q) reads as a file name; naming it says more than the count.
    for (const std::string& file : files)
      if (file.size() > 1 && file[0] == '-') return UsageError(last, "unknown option " + file);
    return UsageError(last, "expected INPUT and OUTPUT files");
  }
  if (files[0].empty()) return UsageError(last, "the INPUT name is empty");
  if (files[1].empty()) return UsageError(last, "the OUTPUT name is empty");
  return RunSteps(steps, run, files[0], files[1]);
}

// "step 2 (scale): " for the step after `steps` when the run has several (it has when a step came
// before or a "+" follows).
std::string StepName(const std::vector<NamedStep>& steps, const std::string& name, bool joined) {
  if (steps.empty() && !joined) return "";
  return "step " + std::to_string(steps.size() + 1) + " (" + name + "): ";
}

// Reads the step whose command name is at `at` into `steps`, leaving `at` at the "+" after it or
// the end, and the positional words in `files`. Returns -1 to go on, or the exit status when it
// answered the call (--help) or was wrong.
int ParseStep(const std::vector<std::string>& words, size_t& at, const Program& program,
              RunOptions& run, std::vector<NamedStep>& steps, std::vector<std::string>& files) {
  const ToolCommand* command = FindCommand(program, words[at]);
  const MessageContext context(StepName(steps, words[at], false));
  if (!command) {
    ToolError("unknown command '" + words[at] + "' (imagetool --help lists them)");
    return kExitBadInput;
  }
  if (!command->makeStep) {
    ToolError(words[at] + " cannot be a step: it makes no picture");
    return kExitBadInput;
  }
  Args args;
  std::string error;
  const Parsed parsed = ParseArgs(words, ++at, *command, args, run, error);
  if (parsed == Parsed::kHelp) return PrintCommandHelp(*command, std::cout), kExitOk;
  if (parsed == Parsed::kError) return UsageError(*command, error);
  const bool joined = at < words.size();
  const MessageContext named(joined && steps.empty() ? StepName(steps, command->name, true) : "");
  if (joined && !args.positional.empty())
    return UsageError(*command,
                      "'" + args.positional.front() + "': the files come after the last step");
  files = std::move(args.positional);
  args.positional.clear();
  NamedStep step{command, {}};
  if (!command->makeStep(args, step.step, error))
    return step.step.failed ? (ToolError(error), kExitFailed) : UsageError(*command, error);
  if (step.step.answer)
    return joined || !steps.empty() || !files.empty()
               ? UsageError(*command, "these options take no files and no other steps")
               : (step.step.answer(), kExitOk);
  steps.push_back(std::move(step));
  return -1;
}

// The commands from `at` on, as steps joined by "+", then their files.
int RunChain(const std::vector<std::string>& words, size_t at, const Program& program,
             RunOptions& run) {
  std::vector<NamedStep> steps;
  std::vector<std::string> files;
  while (true) {
    if (const int status = ParseStep(words, at, program, run, steps, files); status >= 0)
      return status;
    if (at >= words.size()) break;
    if (++at >= words.size()) {
      ToolError("a command is missing after the last +");
      return kExitBadInput;
    }
  }
  SetQuiet(run.quiet);
  return RunOnFiles(steps, run, files);
}

}  // namespace

int UsageError(const ToolCommand& command, const std::string& error) {
  if (!error.empty()) ToolError(error);
  PrintCommandHelp(command, std::cerr);
  return kExitBadInput;
}

int RunCommandLine(const std::vector<std::string>& words, const Program& program) {
  if (words.empty()) return PrintShortUsage(), kExitBadInput;
  RunOptions run;
  size_t at = 0;
  if (const int status = LeadingRunOptions(words, at, program, run); status >= 0) return status;
  if (words[at] == "help") return RunHelp(words, at, program);
  const ToolCommand* command = FindCommand(program, words[at]);
  if (!command || command->makeStep) return RunChain(words, at, program, run);
  // A command of its own (info, sample): its words, and nothing joined to it.
  Args args;
  std::string error;
  const Parsed parsed = ParseArgs(words, ++at, *command, args, run, error);
  if (parsed == Parsed::kHelp) return PrintCommandHelp(*command, std::cout), kExitOk;
  if (parsed == Parsed::kError) return UsageError(*command, error);
  if (at < words.size()) return UsageError(*command, "info and sample cannot be joined to steps");
  SetQuiet(run.quiet);
  return command->run(args, run);
}
