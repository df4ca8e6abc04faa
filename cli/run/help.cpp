#include "cli/run/help.h"

#include <cstdio>
#include <iostream>

#include "cli/formats/image_file.h"
#include "cli/run/run_options.h"

namespace {

constexpr char kUsageForms[] =
    "usage: imagetool [RUN OPTIONS] COMMAND [OPTIONS] INPUT OUTPUT\n"
    "       imagetool [RUN OPTIONS] COMMAND [OPTIONS] + COMMAND [OPTIONS] ... INPUT OUTPUT\n"
    "       imagetool --out-dir DIR [RUN OPTIONS] COMMAND [OPTIONS] [+ ...] INPUT...\n"
    "       imagetool info FILE | sample [DIR] | help [COMMAND | formats] | --version\n";

constexpr char kSteps[] =
    "Steps joined by a standalone + run one after another on the picture in memory, for example\n"
    "  imagetool crop --rect 500,500,3000,2000 + scale --width 50% + frame --margins 9,9,9,9 \\\n"
    "            in.png out.png\n"
    "  imagetool --out-dir thumbs scale --width 50% *.png\n";

constexpr char kExitStatus[] =
    "Exit status: 0 done; 1 a valid request failed (memory, disk); 2 anything wrong with the\n"
    "command line, an input file or the request for that picture (with --out-dir, the worst of\n"
    "all files).\n";

constexpr char kMoreHelp[] =
    "imagetool COMMAND --help describes a command, imagetool help formats the file formats and\n"
    "how outputs are written; man imagetool has it all.\n";

// "  --out-dir DIR     every file ..." for each run option, and the two words that are not options.
void PrintRunOptions(std::ostream& out) {
  for (size_t i = 0; i < kRunOptionCount; ++i) {
    const RunOptionSpec& spec = kRunOptions[i];
    std::string left =
        std::string("  ") + spec.name + (spec.value ? " " : "") + (spec.value ? spec.value : "");
    left.resize(std::max<size_t>(left.size() + 1, 20), ' ');
    out << left << spec.help << "\n";
  }
  out << "  -                 as INPUT or OUTPUT: standard input or output\n"
         "  --                ends the options: every later word is a file name\n";
}

}  // namespace

void PrintShortUsage() { std::cerr << kUsageForms << "imagetool --help tells more.\n"; }

void PrintHelp(std::span<const ToolCommand* const> commands) {
  std::cout << kUsageForms << "\ncommands:\n";
  for (const ToolCommand* c : commands) {
    std::string name = std::string("  ") + c->name;
    name.resize(12, ' ');
    std::cout << name << c->summary << "\n";
  }
  std::cout << "\n"
            << kSteps << "\nrun options (before the command or among any step's options):\n";
  PrintRunOptions(std::cout);
  std::cout << "\n" << kExitStatus << kMoreHelp;
}

void PrintCommandHelp(const ToolCommand& command, std::ostream& out) {
  out << command.usage;
  if (!command.makeStep) return;
  out << "Run options may stand among these:";
  for (size_t i = 0; i < kRunOptionCount; ++i) out << (i ? ", " : " ") << kRunOptions[i].name;
  out << " (imagetool --help).\n";
}

void PrintFormatsHelp() { std::cout << FormatsHelp(); }

void PrintVersion(const std::string& libraries) {
  std::cout << "imagetool " << IMAGETOOL_VERSION << "\n" << libraries << "\n";
}
