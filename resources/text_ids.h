// The ids of every user-visible text, named after the list in texts.h.
#pragma once

enum TextId : unsigned {
#define IMAGE_TEXT(name, id, text) name = id,
#include "resources/texts.h"
#undef IMAGE_TEXT
};

// The text with id `id` from the list, or null when there is none. Portable: the plug-in reads
// the same texts from its string table instead.
const char* TextById(unsigned id);
