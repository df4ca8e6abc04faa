// Writes imagetool's manual page and bash completion at build time, from the program's own command
// table and help texts.
//
//   imagetool_docs MAN_PAGE COMPLETION
#include <fstream>
#include <iostream>
#include <sstream>

#include "cli/commands/commands.h"
#include "cli/formats/image_file.h"
#include "cli/run/help.h"
#include "mask/shapes.h"
#include "resources/text_ids.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: imagetool_docs MAN_PAGE COMPLETION\n";
    return 2;
  }
  std::vector<std::string> formats, shapes;
  for (std::istringstream names(kFormatNames);
       formats.emplace_back(), std::getline(names, formats.back(), '|');) {
  }
  formats.pop_back();
  for (unsigned id = kFirstShapeId; id < kFirstShapeId + kShapeCount; ++id)
    shapes.push_back(TextById(id));
  std::vector<std::string> alignments;
  for (const char* v : {"top", "center", "bottom"})
    for (const char* h : {"left", "center", "right"})
      alignments.push_back(std::string(v) + "," + h);
  // Scale's and rotate's --quality take the same two words.
  const OptionChoices choices[] = {{"--format", formats},
                                   {"--shape", shapes},
                                   {"--quality", {"high", "low"}},
                                   {"--style", {"filled", "outline"}},
                                   {"--align", alignments}};
  std::ofstream man(argv[1]), completion(argv[2]);
  PrintManPage(man, kToolCommands, BuiltWith());
  PrintCompletion(completion, kToolCommands, choices);
  man.close();
  completion.close();
  if (man && completion) return 0;
  std::cerr << "imagetool_docs: cannot write " << argv[1] << " or " << argv[2] << "\n";
  return 1;
}
