// Flip: whole rows exchanged top for bottom through a scratch row, so every depth is alike.
#include <cstring>

#include "dib/dib.h"
#include "dib/transforms.h"
#include "resources/text_ids.h"

namespace {

void FlipRows(const DibView& v, uint8_t* scratch) {
  for (size_t i = 0; i < v.height / 2; ++i) {
    uint8_t* low = v.Row(i);
    uint8_t* high = v.Row(v.height - 1 - i);
    std::memcpy(scratch, low, v.stride);
    std::memcpy(low, high, v.stride);
    std::memcpy(high, scratch, v.stride);
  }
}

}  // namespace

bool FlipDib(HostBlock dib) { return ChangeThroughScratchRow(dib, IDS_FLIP_NO_MEMORY, FlipRows); }
