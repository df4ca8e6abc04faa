#include <algorithm>
#include <iterator>

#include "resources/text_ids.h"

namespace {

struct TextEntry {
  unsigned id;
  const char* text;
};

constexpr TextEntry kTexts[] = {
#define IMAGE_TEXT(name, id, text) {id, text},
#include "resources/texts.h"
#undef IMAGE_TEXT
};

static_assert(std::is_sorted(std::begin(kTexts), std::end(kTexts),
                             [](const TextEntry& a, const TextEntry& b) { return a.id < b.id; }),
              "texts.h is kept sorted by id so lookups can bisect it");
static_assert(std::adjacent_find(std::begin(kTexts), std::end(kTexts),
                                 [](const TextEntry& a, const TextEntry& b) {
                                   return a.id == b.id;
                                 }) == std::end(kTexts),
              "every text id is unique");

}  // namespace

const char* TextById(unsigned id) {
  auto it = std::lower_bound(std::begin(kTexts), std::end(kTexts), id,
                             [](const TextEntry& e, unsigned value) { return e.id < value; });
  return it != std::end(kTexts) && it->id == id ? it->text : nullptr;
}
