// The margin arithmetic of the Frame/Caption dialog, shared with imagetool frame.
#pragma once

#include <cstdint>

#include "frame/frame.h"

// Two margins of one direction and the pixels they add.
struct MarginSplit {
  uint16_t added;   // pixels added: first + second
  uint16_t first;   // left, or top
  uint16_t second;  // right, or bottom
};

// The margins for a typed new width or height: newSize - imageSize pixels (none when newSize is
// not larger), split in two halves with the odd pixel going to the second margin (right, or
// bottom). Both sizes are the dialog's 16-bit values.
MarginSplit FRM_SplitMargins(uint16_t imageSize, uint16_t newSize);

// Stores four margins in `params` with addWidth = left + right and addHeight = top + bottom, when
// the new image of an imageWidth x imageHeight image stays within 65535 pixels each way. Returns
// false, leaving `params` unchanged, when it would not (the sums cannot be held in 16 bits).
bool FRM_SetMargins(FrameSpec& params, uint32_t imageWidth, uint32_t imageHeight, uint32_t top,
                    uint32_t bottom, uint32_t left, uint32_t right);
