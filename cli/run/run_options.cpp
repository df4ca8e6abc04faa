#include "cli/run/run_options.h"

#include <iterator>

#include "cli/run/command.h"

namespace {

// Reads a whole number in [min, max] into `out`; otherwise says what `name` takes.
bool SetCount(const std::string& value, long long min, long long max, const char* name,
              unsigned& out, std::string& error) {
  long long n = 0;
  if (!ParseInt(value, min, max, n)) {
    error = std::string(name) + " takes a whole number from " + std::to_string(min) + " to " +
            std::to_string(max) + ", not '" + value + "'";
    return false;
  }
  out = static_cast<unsigned>(n);
  return true;
}

bool SetLevel(const std::string& value, long long min, long long max, const char* name, int& out,
              std::string& error) {
  unsigned n = 0;
  if (!SetCount(value, min, max, name, n, error)) return false;
  out = static_cast<int>(n);
  return true;
}

bool SetFormat(const std::string& value, RunOptions& options, std::string& error) {
  ImageFormat format;
  if (!ParseImageFormat(value, format)) {
    error = std::string("--format is ") + kFormatNames + ", not '" + value + "'";
    return false;
  }
  options.format = format;
  return true;
}

bool SetOutDir(const std::string& value, RunOptions& options, std::string& error) {
  if (value.empty()) error = "--out-dir needs a folder name";
  options.outDir = value;
  return !value.empty();
}

}  // namespace

const RunOptionRow kRunOptions[] = {
    {"--format", "F", "bmp|png|jpeg; default: OUTPUT's extension, else the input's", SetFormat},
    {"--out-dir", "DIR", "each file name is an input, its result goes into DIR", SetOutDir},
    {"--jobs", "N", "files at once with --out-dir (default: the cores, at most 8)",
     [](const std::string& v, RunOptions& o, std::string& e) {
       return SetCount(v, 1, 64, "--jobs", o.jobs, e);
     }},
    {"--quiet", nullptr, "no progress and no notes: errors only",
     [](const std::string&, RunOptions& o, std::string&) { return o.quiet = true; }},
    {"--jpeg-quality", "Q", "a JPEG output's quality, 1-100 (default 90)",
     [](const std::string& v, RunOptions& o, std::string& e) {
       return SetLevel(v, 1, 100, "--jpeg-quality", o.write.jpegQuality, e);
     }},
    {"--png-level", "N", "a PNG output's compression level, 0-9 (default 6)",
     [](const std::string& v, RunOptions& o, std::string& e) {
       return SetLevel(v, 0, 9, "--png-level", o.write.pngLevel, e);
     }},
    {"--auto-orient", nullptr, "turn or mirror a JPEG as its EXIF orientation says, first",
     [](const std::string&, RunOptions& o, std::string&) { return o.autoOrient = true; }},
};
const size_t kRunOptionCount = std::size(kRunOptions);

const RunOptionRow* FindRunOption(const std::string& name) {
  for (const RunOptionRow& option : kRunOptions)
    if (name == option.name) return &option;
  return nullptr;
}
