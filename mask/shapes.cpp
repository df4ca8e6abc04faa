#include "mask/shapes.h"

#include <cctype>

#include "resources/text_ids.h"

namespace {

std::string Lower(const std::string& text) {
  std::string s = text;
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

std::string ShapeFileName(unsigned id) {
  const char* name =
      id >= kFirstShapeId && id < kFirstShapeId + kShapeCount ? TextById(id) : nullptr;
  if (!name) return "";
  std::string file = Lower(name);
  for (char& c : file)
    if (c == ' ') c = '_';
  return file + ".wmf";
}

unsigned FindShape(const std::string& name) {
  for (unsigned id = kFirstShapeId; id < kFirstShapeId + kShapeCount; ++id)
    if (const char* text = TextById(id); text && Lower(text) == Lower(name)) return id;
  return 0;
}
