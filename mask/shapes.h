// The seventeen stock mask shapes: their ids, names and metafile files.
//
// Shape ids run from 100 to 116; each shape's name is the text with the same id (IDS_SHAPE_*) and
// its metafile is resources/masks/<name in lower case, spaces as underscores>.wmf, made by
// tools/make_masks.py. The plug-in embeds the same files as resources of type "MASK".
#pragma once

#include <string>

constexpr unsigned kFirstShapeId = 100;
constexpr unsigned kShapeCount = 17;

// The file name of shape `id` ("down_arrow.wmf" for "Down Arrow"); "" for an id that is no shape.
std::string ShapeFileName(unsigned id);

// The id of the shape called `name`, compared without regard to case; 0 when there is none.
unsigned FindShape(const std::string& name);
