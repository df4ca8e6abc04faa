// The stock mask shapes' .wmf files, built into imagetool from resources/masks.
#pragma once

#include <cstdint>
#include <span>

struct StockShapeFile {
  const char* name;  // "up_arrow.wmf", as ShapeFileName names it
  std::span<const uint8_t> bytes;
};

// Every stock shape file, by name in alphabetical order.
std::span<const StockShapeFile> StockShapeFiles();
