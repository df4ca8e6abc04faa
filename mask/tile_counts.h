// The copies across and down typed into the Tile dialog, and the rule that accepts them.
#pragma once

#include <cstdint>
#include <string_view>

// The field a pair of counts is refused for, in the order the dialog checks them.
enum class TileCountError { None, Width, Height };

struct TileCounts {
  TileCountError error = TileCountError::None;
  uint32_t across = 0;  // 1 to 65535 when error is None
  uint32_t down = 0;
};

// Checks the texts of the Width and Height fields: first that each holds digits only (an empty
// text passes this step), Width before Height; then that each number is 1 to 65535, Width before
// Height. So Width "0" with Height "x" is refused for the height.
TileCounts CheckTileCounts(std::string_view width, std::string_view height);
