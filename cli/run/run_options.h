// The options of a whole run, as opposed to a step's: how the output is written, where results
// go, how many files are worked on at once. They may stand before the first command or among the
// options of any step, with the same meaning.
#pragma once

#include <optional>
#include <set>
#include <string>

#include "cli/formats/image_file.h"

struct RunOptions {
  std::optional<ImageFormat> format;  // --format; otherwise from OUTPUT's name or the input
  std::string outDir;                 // --out-dir; every file word is then an input
  unsigned jobs = 0;                  // --jobs; 0 = as many as the cores (at most 8)
  bool quiet = false;                 // --quiet
  bool autoOrient = false;            // --auto-orient: a JPEG turned as its EXIF tag says
  WriteSettings write;                // what the writers are asked for (the format set per file)
  std::set<std::string> given;        // the names given, each at most once
};

// One run option: its name, the value it takes ("DIR"; null for a flag), a line of help, and how
// it sets RunOptions (false with `error` set for a bad value; a flag gets "").
struct RunOptionRow {
  const char* name;
  const char* value;
  const char* help;
  bool (*set)(const std::string& value, RunOptions& options, std::string& error);
};

// Every run option, in the order the help lists them.
extern const RunOptionRow kRunOptions[];
extern const size_t kRunOptionCount;

// The run option called `name`, or null.
const RunOptionRow* FindRunOption(const std::string& name);
