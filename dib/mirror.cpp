// Mirror: every row reversed in place by the row mirror, through a copy of the row in a scratch
// block.
#include <cstring>

#include "dib/dib.h"
#include "dib/row_mirror.h"
#include "dib/transforms.h"
#include "resources/text_ids.h"

namespace {

void MirrorRows(const DibView& v, uint8_t* scratch) {
  for (size_t k = 0; k < v.height; ++k) {
    uint8_t* row = v.Row(k);
    std::memcpy(scratch, row, v.stride);
    MirrorRow(scratch, row, v.bits, v.width, v.stride, v.Row(k + 1 < v.height ? k + 1 : k));
  }
}

}  // namespace

bool MirrorDib(HostBlock dib) {
  return ChangeThroughScratchRow(dib, IDS_MIRROR_NO_MEMORY, MirrorRows);
}
