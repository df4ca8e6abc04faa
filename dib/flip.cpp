#include <cstring>

#include "dib/dib.h"
#include "dib/transforms.h"
#include "resources/text_ids.h"

bool FlipDib(HostBlock dib) {
  LockedDib image(dib);
  if (!image.ok) return false;
  const DibView& v = image.view;

  OwnedBlock scratchBlock(HP_Alloc(v.stride, HP_MOVEABLE));
  BlockLock scratch(scratchBlock.get());
  if (!scratch) {
    HP_ShowMessage(IDS_FLIP_NO_MEMORY);
    return false;
  }
  for (size_t i = 0; i < v.height / 2; ++i) {
    uint8_t* low = v.Row(i);
    uint8_t* high = v.Row(v.height - 1 - i);
    std::memcpy(scratch.get(), low, v.stride);
    std::memcpy(low, high, v.stride);
    std::memcpy(high, scratch.get(), v.stride);
  }
  return true;
}
