// Crop: cutting margins off an image.
#pragma once

#include <cstdint>

#include "dib/dib.h"

// Cuts `left` and `right` columns and `top` and `bottom` rows off the picture as shown; since
// rows are stored bottom-up, `bottom` rows are skipped at the start of the pixel data and `top`
// rows left out at its end. `image` is the caller's PackedDib, unlocked; it is only read and is
// unlocked again on return. The result is a new PackedDib, unlocked and owned by the caller:
// width W - left - right, height H - top - bottom, the same depth, header fields and colour
// table, and every pixel of the kept rectangle; the bits and bytes after the last pixel of each
// row are zero. Returns null after showing a message when no pixel would remain in a direction
// (IDS_CROP_EMPTY_RESULT), memory is short (IDS_CROP_NO_MEMORY) or the image is not one the
// engines handle (IDS_UNSUPPORTED_IMAGE). The margins are 16-bit in the dialog; wider values are
// accepted so that imagetool can crop any image it reads.
HostBlock CRP_CropDIB(HostBlock image, uint32_t left, uint32_t right, uint32_t top,
                      uint32_t bottom);

// The row copy behind CRP_CropDIB, for callers that supply the result's memory: fills every
// row of `dest` (padding included) from the rectangle of `source` whose bottom-left pixel is
// column `left` of stored row `bottom`. `dest` has the source's depth and the rectangle lies
// inside the source.
void CRP_CropRows(const DibView& source, uint32_t left, uint32_t bottom, const DibView& dest);
