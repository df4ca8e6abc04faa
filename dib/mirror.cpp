// Mirror: every row reversed in place by the row mirror, through a copy of the row in a scratch
// block.
#include <cstring>

#include "dib/dib.h"
#include "dib/row_mirror.h"
#include "dib/transforms.h"
#include "resources/text_ids.h"

bool MirrorDib(HostBlock dib) {
  LockedDib image(dib);
  if (!image.ok) return false;
  const DibView& v = image.view;

  OwnedBlock scratchBlock(HP_Alloc(v.stride, HP_MOVEABLE));
  BlockLock scratch(scratchBlock.get());
  if (!scratch) {
    HP_ShowMessage(IDS_MIRROR_NO_MEMORY);
    return false;
  }
  uint8_t* buffer = scratch.get();
  for (size_t k = 0; k < v.height; ++k) {
    uint8_t* row = v.Row(k);
    std::memcpy(buffer, row, v.stride);
    MirrorRow(buffer, row, v.bits, v.width, v.stride, v.Row(k + 1 < v.height ? k + 1 : k));
  }
  return true;
}
