#include "cli/run/help.h"

#include <cstdio>
#include <iostream>
#include <sstream>

#include "cli/formats/image_file.h"
#include "cli/run/run_options.h"

namespace {

constexpr char kUsageForms[] =
    "usage: imagetool [RUN OPTIONS] COMMAND [OPTIONS] INPUT OUTPUT\n"
    "       imagetool [RUN OPTIONS] COMMAND [OPTIONS] + COMMAND ... INPUT OUTPUT\n"
    "       imagetool --out-dir DIR [RUN OPTIONS] COMMAND [OPTIONS] [+ ...] INPUT...\n"
    "       imagetool info FILE | sample [DIR] | help [COMMAND|formats] | --version\n";

constexpr char kSteps[] =
    "Commands joined by a standalone + run as steps on the picture in memory:\n"
    "  imagetool crop --rect 500,500,3000,2000 + scale --width 50% in.png out.png\n";

constexpr char kExitStatus[] =
    "exit status: 0 done, 1 a valid request failed (memory, disk), 2 a bad command\n"
    "line, input file or request for the picture (--out-dir: the worst of all)\n";

// The width the commands' help texts are wrapped at.
constexpr size_t kCommandHelpWidth = 95;

constexpr char kMoreHelp[] =
    "imagetool COMMAND --help tells of a command, imagetool help formats of the file\n"
    "formats and how outputs are written; man imagetool tells it all.\n";

// "  --out-dir DIR     every file ..." for each run option, and the two words that are not options.
void PrintRunOptions(std::ostream& out) {
  for (size_t i = 0; i < kRunOptionCount; ++i) {
    const RunOptionRow& option = kRunOptions[i];
    std::string left = std::string("  ") + option.name + (option.value ? " " : "") +
                       (option.value ? option.value : "");
    left.resize(std::max<size_t>(left.size() + 1, 20), ' ');
    out << left << option.help << "\n";
  }
  out << "  - as INPUT or OUTPUT is standard input or output; -- ends the options\n";
}

}  // namespace

void PrintShortUsage() { std::cerr << kUsageForms << "imagetool --help tells more.\n"; }

void PrintHelp(std::span<const ToolCommand* const> commands) {
  std::cout << kUsageForms << "\n";
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
  std::string line = "Run options may stand among these:";
  for (size_t i = 0; i < kRunOptionCount; ++i) {
    const std::string word =
        kRunOptions[i].name + std::string(i + 1 < kRunOptionCount ? "," : " (imagetool --help).");
    // Wrapped where the command's own text wraps, so that the page stays one width.
    if (line.size() + 1 + word.size() > kCommandHelpWidth) {
      out << line << "\n";
      line = word;
    } else {
      line += " " + word;
    }
  }
  out << line << "\n";
}

void PrintFormatsHelp() { std::cout << FormatsHelp(); }

void PrintVersion(const std::string& libraries) {
  std::cout << "imagetool " << IMAGETOOL_VERSION << "\n" << libraries << "\n";
}

namespace {

// `text` as roff: backslashes and hyphens escaped, and no line starting with a control character.
std::string Roff(const std::string& text) {
  std::string out;
  bool lineStart = true;
  for (char c : text) {
    if (lineStart && (c == '.' || c == '\'')) out += "\\&";
    if (c == '\\')
      out += "\\e";
    else if (c == '-')
      out += "\\-";
    else
      out += c;
    lineStart = c == '\n';
  }
  return out;
}

// A text laid out in lines and columns, kept as it is.
void Verbatim(std::ostream& out, const std::string& text) {
  out << ".PP\n.nf\n" << Roff(text) << (text.ends_with("\n") ? "" : "\n") << ".fi\n";
}

// Paragraphs of running text (separated by empty lines), refilled by the formatter.
void Paragraphs(std::ostream& out, const std::string& text) {
  out << ".PP\n";
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    out << (line.empty() ? ".PP" : Roff(line)) << "\n";
    start = end + 1;
  }
}

// Each of `words` in single quotes after a space, as bash arguments.
std::string Quoted(const std::vector<std::string>& words) {
  std::string out;
  for (const std::string& w : words) out += " '" + w + "'";
  return out;
}

// The completion's shell functions that list a command's options (and the run options) that take
// a value, and all of a command's options.
void PrintOptionFunctions(std::ostream& out, std::span<const ToolCommand* const> commands,
                          const std::vector<std::string>& runValued) {
  out << "_imagetool_valued() {\n  case $1 in\n";
  for (const ToolCommand* c : commands)
    out << "    " << c->name << ") printf '%s\\n'"
        << Quoted(std::vector<std::string>(c->valued.begin(), c->valued.end())) << " ;;\n";
  out << "  esac\n  printf '%s\\n'" << Quoted(runValued) << "\n}\n"
      << "_imagetool_options() {\n  case $1 in\n";
  for (const ToolCommand* c : commands) {
    std::vector<std::string> all(c->valued.begin(), c->valued.end());
    all.insert(all.end(), c->flags.begin(), c->flags.end());
    out << "    " << c->name << ") printf '%s\\n'" << Quoted(all) << " ;;\n";
  }
  out << "  esac\n}\n";
}

}  // namespace

void PrintManPage(std::ostream& out, std::span<const ToolCommand* const> commands,
                  const std::string& libraries) {
  out << ".TH IMAGETOOL 1 \"\" \"imagetool " << IMAGETOOL_VERSION << "\" \"User Commands\"\n"
      << ".SH NAME\nimagetool \\- crop, scale, rotate, frame, tile and mask pictures in BMP, PNG "
         "and JPEG files\n.SH SYNOPSIS\n";
  // The usage forms without "usage: " and their indent.
  std::istringstream forms(kUsageForms);
  std::string synopsis;
  for (std::string line; std::getline(forms, line);)
    synopsis += line.substr(line.find("imagetool")) + "\n";
  Verbatim(out, synopsis);
  out << ".SH DESCRIPTION\n";
  Paragraphs(out,
             "imagetool applies the picture operations of the IMAGE plug-in to image files, with "
             "the same engines and the same results, one picture or many at once.");
  Verbatim(out, kSteps);
  out << ".SH COMMANDS\n";
  for (const ToolCommand* c : commands) {
    out << ".SS " << c->name << "\n" << Roff(c->summary) << "\n";
    Verbatim(out, c->usage);
  }
  out << ".SH RUN OPTIONS\nThey may stand before the first command or among the options of any "
         "step, with the same meaning.\n";
  for (size_t i = 0; i < kRunOptionCount; ++i) {
    const RunOptionRow& option = kRunOptions[i];
    out << ".TP\n\\fB" << Roff(option.name) << "\\fR" << (option.value ? " \\fI" : "")
        << (option.value ? Roff(option.value) + "\\fR" : "") << "\n"
        << Roff(option.help) << "\n";
  }
  out << ".TP\n\\fB\\-\\fR\nAs INPUT or OUTPUT: standard input or output.\n"
         ".TP\n\\fB\\-\\-\\fR\nEnds the options: every later word is a file name.\n"
         ".SH FORMATS AND OUTPUTS\n";
  Paragraphs(out, FormatsHelp());
  out << ".SH EXIT STATUS\n";
  Paragraphs(out, kExitStatus);
  out << ".SH ENVIRONMENT\n.TP\n.B IMAGE_MASK_FOLDER\n"
         "A folder of .wmf files that mask reads its shapes from instead of the built-in ones.\n"
         ".SH VERSION\n"
      << Roff(libraries) << "\n";
}

void PrintCompletion(std::ostream& out, std::span<const ToolCommand* const> commands,
                     std::span<const OptionChoices> choices) {
  std::vector<std::string> names = {"help"}, runOptions = {"--help", "--version"}, runValued;
  for (const ToolCommand* c : commands) names.push_back(c->name);
  for (size_t i = 0; i < kRunOptionCount; ++i) {
    runOptions.push_back(kRunOptions[i].name);
    if (kRunOptions[i].value) runValued.push_back(kRunOptions[i].name);
  }
  out << "# bash completion for imagetool, made from its command table.\n"
         "_imagetool() {\n"
         "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
         "  local command='' expect=1 i word nl=$'\\n'\n"
         "  # The command of the step being typed: the first word after the start or a +, past\n"
         "  # the options and the values they take.\n"
         "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
         "    word=${COMP_WORDS[i]}\n"
         "    case $word in\n"
         "      +) expect=1 ;;\n"
         "      -*) [[ $nl$(_imagetool_valued \"$command\")$nl == *$nl$word$nl* ]] && ((i++)) ;;\n"
         "      *) ((expect)) && command=$word && expect=0 ;;\n"
         "    esac\n"
         "  done\n"
         "  local IFS=$nl words\n"
         "  case $prev in\n";
  for (const OptionChoices& choice : choices)
    out << "    " << choice.option << ") words=$(printf '%s\\n'" << Quoted(choice.values)
        << ") ;;\n";
  out << "    --out-dir) COMPREPLY=($(compgen -d -- \"$cur\")); return ;;\n"
         "    *)\n"
         "      if ((expect)) && [[ $cur != -* ]]; then\n"
         "        words=$(printf '%s\\n'"
      << Quoted(names)
      << ")\n"
         "      elif [[ $cur == -* ]]; then\n"
         "        words=$(_imagetool_options \"$command\"; printf '%s\\n'"
      << Quoted(runOptions)
      << ")\n"
         "      else\n"
         "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
         "        [[ -n $command && + == \"$cur\"* ]] && COMPREPLY+=(+)\n"
         "        return\n"
         "      fi ;;\n"
         "  esac\n"
         "  COMPREPLY=($(compgen -W \"$words\" -- \"$cur\" | while read -r w; do printf '%q\\n' "
         "\"$w\"; done))\n"
         "}\n";
  PrintOptionFunctions(out, commands, runValued);
  out << "complete -F _imagetool imagetool\n";
}
