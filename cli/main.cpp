// imagetool: every operation of the plug-in applied to BMP and PNG files, with the same engines.
//
//   imagetool COMMAND [OPTIONS] INPUT OUTPUT
//   imagetool                  runs every command on the built-in sample
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <thread>

#include "cli/formats/bmp_io.h"
#include "cli/formats/png_io.h"
#include "cli/commands/sample.h"
#include "cli/commands/commands.h"
#include "dib/block.h"
#include "dib/row_bands.h"

namespace {

constexpr char kSampleFolder[] = "imagetool-sample";

void PrintHelp() {
  std::cout
      << "usage: imagetool COMMAND [OPTIONS] INPUT OUTPUT\n"
         "       imagetool COMMAND --help\n"
         "       imagetool            (no arguments: run every command on a built-in sample)\n"
         "\n"
         "Reads and writes uncompressed BMP files of 1, 4, 8, 24 and 32 bits, and PNG files.\n"
         "INPUT or OUTPUT \"-\" is standard input or output; \"--\" ends the options.\n"
         "\n"
         "The input's format is told by its first bytes. The output's format is the one\n"
         "--format bmp|png names; without it, OUTPUT's extension (.bmp or .png, in any case)\n"
         "decides, and otherwise (\"-\" among them) the input's format.\n"
         "PNG files of every kind are read: palette pictures of 1, 4 and 8 bits keep their depth\n"
         "and table (2 bits become 4), grey ones become palette pictures with a grey table\n"
         "(2 bits as 4, 16 bits as 8), RGB becomes 24 bits, RGBA and grey with alpha 32 bits;\n"
         "16-bit channels are rounded to 8 bits (with a note). A transparent colour (tRNS) makes\n"
         "the picture 32-bit RGBA, except for options that work on the colour table\n"
         "(--fill-index, --outline-index, --text-index, --mask-index, --grey): for them it is\n"
         "ignored (with a note). Palette pictures are written as palette PNGs of their depth with\n"
         "their table, 24 bits as RGB and 32 bits as RGBA.\n"
      << (kPngSupported
              ? ""
              : "This build of imagetool was made without libpng: it refuses PNG files.\n")
      << "\n"
         "The fourth byte of 32-bit pixels is the PNG's alpha (255 opaque, 0 transparent). Every\n"
         "command keeps it on the pixels it moves or copies, and scale and rotate at high quality\n"
         "average it with the colours. Pixels a command paints get: frame margins 0 (the frame\n"
         "engine's own rule: transparent in a PNG); rotate's uncovered corners 255; pixels mask\n"
         "colours 255 (--no-alpha: their own); frame --caption --alpha 255 on the caption's\n"
         "coloured pixels (without it, their own).\n"
         "\n"
         "The output is written as cp would write it, but whole or not at all: a new or an\n"
         "existing plain file is replaced in one step, keeping the old file's mode; a symbolic\n"
         "link is followed; a device or a FIFO is written to directly; a file with several hard\n"
         "links is overwritten in place, so that all of them see the result (a failure part way,\n"
         "such as a full disk, can then leave it damaged).\n"
         "\n"
         "Exit status: 0 done; 1 a valid request failed (memory, disk); 2 anything wrong with the\n"
         "command line, the input file or the request for that picture (an index outside its\n"
         "colour table, a rectangle outside it, a result that is empty or too large).\n"
         "\ncommands:\n";
  for (const ToolCommand* const* c = kToolCommands; *c; ++c)
    std::cout << "  " << (*c)->name
              << std::string(10 - std::min<size_t>(9, std::strlen((*c)->name)), ' ')
              << (*c)->summary << "\n";
}

std::vector<std::string> Words(const char* text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

// Writes the sample at every depth and runs each command that has sample options on each.
int RunSample() {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::create_directories(kSampleFolder, ec);
  if (ec) {
    ToolError(std::string("cannot create ") + kSampleFolder + ": " + ec.message());
    return kExitFailed;
  }
  const fs::path folder = fs::absolute(kSampleFolder);
  int written = 0, failed = 0;
  for (unsigned bits : {1u, 4u, 8u, 24u, 32u}) {
    const std::string depth = std::to_string(bits) + "bit";
    const std::string input = (folder / ("sample-" + depth + ".bmp")).string();
    OwnedBlock sample(MakeSampleImage(bits));
    std::string error;
    if (!sample || !WriteBmpFile(input, sample.get(), error)) {
      ToolError(input + ": " + error);
      return kExitFailed;
    }
    ++written;
    for (const ToolCommand* const* c = kToolCommands; *c; ++c) {
      if (!(*c)->sampleOptions) continue;
      std::vector<std::string> argv = Words((*c)->sampleOptions);
      argv.push_back(input);
      argv.push_back((folder / (std::string((*c)->name) + "-" + depth + ".bmp")).string());
      if ((*c)->run(argv) == kExitOk)
        ++written;
      else
        ++failed;
    }
  }
  std::cout << "imagetool: wrote " << written << " images to " << folder.string() << "\n";
  return failed ? kExitFailed : kExitOk;
}

// What was written to stdout must have reached it: a full disk or a closed pipe fails the run.
int Finish(int status) {
  if (std::fflush(stdout) == 0 && (std::cout << std::flush)) return status;
  ToolError(std::string("standard output: ") + std::strerror(errno ? errno : EIO));
  return status == kExitOk ? kExitFailed : status;
}

}  // namespace

int main(int argc, char** argv) {
  // The slow engines' row loops use every core (up to kMaxRowWorkers); their bytes do not depend
  // on it. hardware_concurrency() may be 0 when unknown: then one thread.
  SetRowWorkers(std::thread::hardware_concurrency());
  if (argc < 2) return RunSample();
  const std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    PrintHelp();
    return Finish(kExitOk);
  }
  for (const ToolCommand* const* c = kToolCommands; *c; ++c) {
    if (name != (*c)->name) continue;
    return Finish((*c)->run(std::vector<std::string>(argv + 2, argv + argc)));
  }
  ToolError("unknown command '" + name + "' (imagetool --help lists them)");
  return kExitBadInput;
}
