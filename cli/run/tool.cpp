#include "cli/run/tool.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "cli/formats/image_file.h"
#include "cli/formats/png_io.h"
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

namespace {

// Every command that writes a picture takes these; its usage ends with them.
constexpr char kOutputOptions[] =
    "  --format bmp|png the output's format (default: OUTPUT's extension, .bmp or .png, or else\n"
    "                   the input's format, which is told by its first bytes)\n";

bool WritesPicture(const char* usage) { return std::strstr(usage, "INPUT OUTPUT") != nullptr; }

}  // namespace

int UsageError(const char* usage, const std::string& error) {
  if (g_run.helpAsked) {
    g_run.helpAsked = false;
    std::cout << usage << (WritesPicture(usage) ? kOutputOptions : "");
    return kExitOk;
  }
  if (!error.empty()) ToolError(error);
  std::cerr << usage << (WritesPicture(usage) ? kOutputOptions : "");
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
    } else if (isIn(valued, name) || name == "--format") {
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
  const std::string &input = args.positional[0], &output = args.positional[1];
  ImageFormat format = ImageFormat::kBmp;
  const bool formatGiven = args.Has("--format");
  if (formatGiven && !ParseImageFormat(args.options.at("--format"), format))
    return UsageError(usage, "--format is bmp or png");
  if (!formatGiven) format = OutputFormatFor(output, ImageFormat::kBmp);
  // A PNG output this build cannot write is refused before any work; a PNG output chosen by the
  // input's format is refused when the input is (the reader says why).
  if (format == ImageFormat::kPng && !kPngSupported) {
    ToolError(output + ": " + kPngUnsupported);
    return kExitBadInput;
  }
  // Options that name colour-table entries, or turn a palette into grey, work on the picture's
  // table; reading a transparent colour as alpha would replace the table by 32-bit pixels, so for
  // them the transparency is dropped. Every other command keeps it: the fourth byte of 32-bit
  // pixels goes through each of them.
  bool keepAlpha = true;
  std::string tableOption;
  for (const char* name :
       {"--fill-index", "--outline-index", "--text-index", "--mask-index", "--grey"})
    if (args.Has(name)) keepAlpha = false, tableOption = name;
  std::string error;
  ImageFormat inputFormat = ImageFormat::kBmp;
  PngNotes notes;
  OwnedBlock image(ReadImageFile(input, keepAlpha, inputFormat, notes, error));
  if (!image) {
    ToolError(input + ": " + error);
    return kExitBadInput;
  }
  if (notes.reduced16) ToolError("note: " + input + ": 16-bit channels reduced to 8 bits, rounded");
  if (notes.transparencyIgnored)
    ToolError("note: " + input + ": its transparent colour (tRNS) is ignored: " + tableOption +
              " works on the colour table");
  if (!formatGiven) format = OutputFormatFor(output, inputFormat);
  g_run.refused = false;
  HostBlock result = operation(image.get());
  if (!result) return g_run.refused ? kExitBadInput : kExitFailed;
  OwnedBlock owned(result == image.get() ? image.release() : result);
  // Written as it is (the fourth byte is the alpha), but the user hears why nothing shows.
  if (format == ImageFormat::kPng && WhollyTransparent(owned.get()))
    ToolError("note: " + output +
              ": every pixel's fourth byte is 0: the PNG is wholly transparent");
  if (!WriteImageFile(output, format, owned.get(), error)) {
    ToolError(args.positional[1] + ": " + error);
    return kExitFailed;
  }
  return kExitOk;
}
