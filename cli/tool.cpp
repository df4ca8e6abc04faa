#include "cli/tool.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "cli/bmp_io.h"
#include "dib/block.h"

namespace {

// What the running command has learnt about its request.
struct RunState {
  bool helpAsked = false;  // --help or -h among the options
  bool refused = false;    // the request does not fit the picture
} g_run;

}  // namespace

void ToolError(const std::string& message) { std::cerr << "imagetool: " << message << "\n"; }

HostBlock Refuse(const std::string& message) {
  ToolError(message);
  g_run.refused = true;
  return nullptr;
}

std::string PictureSize(const DibView& v) {
  return std::to_string(v.width) + " x " + std::to_string(v.height);
}

int UsageError(const char* usage, const std::string& error) {
  if (g_run.helpAsked) {
    g_run.helpAsked = false;
    std::cout << usage;
    return kExitOk;
  }
  if (!error.empty()) ToolError(error);
  std::cerr << usage;
  return kExitBadInput;
}

bool ParseArgs(const std::vector<std::string>& argv, std::initializer_list<const char*> valued,
               std::initializer_list<const char*> flags, Args& out, std::string& error) {
  auto isIn = [](std::initializer_list<const char*> list, const std::string& name) {
    for (const char* n : list)
      if (name == n) return true;
    return false;
  };
  bool optionsEnded = false;
  for (size_t i = 0; i < argv.size(); ++i) {
    const std::string& word = argv[i];
    if (!optionsEnded && (word == "--help" || word == "-h")) {
      g_run.helpAsked = true;
      error.clear();
      return false;
    }
    if (!optionsEnded && word == "--") {
      optionsEnded = true;
      continue;
    }
    if (optionsEnded || word.size() < 2 || word.compare(0, 2, "--") != 0) {
      out.positional.push_back(word);
      continue;
    }
    const size_t eq = word.find('=');
    const std::string name = word.substr(0, eq);
    if (out.Has(name)) {
      error = "option " + name + " is given more than once";
      return false;
    }
    if (isIn(flags, name) && eq == std::string::npos) {
      out.flags.insert(name);
    } else if (isIn(valued, name)) {
      // The next word is the value whatever it looks like ("--angle -h" is a bad angle).
      if (eq != std::string::npos) {
        out.options[name] = word.substr(eq + 1);
      } else if (i + 1 < argv.size()) {
        out.options[name] = argv[++i];
      } else {
        error = "option " + name + " needs a value";
        return false;
      }
    } else {
      error = "unknown option " + word;
      return false;
    }
  }
  return true;
}

bool ParseInt(const std::string& text, long long min, long long max, long long& out) {
  if (text.empty() || text.size() > 19) return false;
  size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
  if (i == text.size()) return false;
  for (size_t j = i; j < text.size(); ++j)
    if (text[j] < '0' || text[j] > '9') return false;
  errno = 0;
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  if (errno != 0 || value < min || value > max) return false;
  out = value;
  return true;
}

bool ParseIntList(const std::string& text, size_t count, long long min, long long max,
                  std::vector<long long>& out) {
  out.clear();
  size_t start = 0;
  while (true) {
    const size_t comma = text.find(',', start);
    long long value;
    if (!ParseInt(text.substr(start, comma - start), min, max, value)) return false;
    out.push_back(value);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return out.size() == count;
}

int RunImageCommand(const Args& args, const char* usage,
                    const std::function<HostBlock(HostBlock image)>& operation) {
  if (args.positional.size() != 2) return UsageError(usage, "expected INPUT and OUTPUT files");
  std::string error;
  OwnedBlock image(ReadBmpFile(args.positional[0], error));
  if (!image) {
    ToolError(args.positional[0] + ": " + error);
    return kExitBadInput;
  }
  g_run.refused = false;
  HostBlock result = operation(image.get());
  if (!result) return g_run.refused ? kExitBadInput : kExitFailed;
  OwnedBlock owned(result == image.get() ? image.release() : result);
  if (!WriteBmpFile(args.positional[1], owned.get(), error)) {
    ToolError(args.positional[1] + ": " + error);
    return kExitFailed;
  }
  return kExitOk;
}
