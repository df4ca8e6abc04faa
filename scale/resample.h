// The three high-quality scaling operations, and the pieces they share with the benchmarks.
//
// Every operation takes a PackedDib the caller owns (unlocked; it is only read and is never
// changed) and a target size w × h, and returns a new PackedDib that the caller owns, or null
// after reporting the failure once with HP_ShowMessage. The result is built afresh:
//   - colour mode: 24 bits per pixel, or 32 for a 32-bit source (its fourth byte is resampled
//     like the other channels), no colour table;
//   - grey mode (palette sources only): 8 bits per pixel with a 256-entry grey ramp, each value the
//     resampled red component of the source's palette entries;
//   - biXPelsPerMeter, biYPelsPerMeter and biClrImportant are 0; padding bytes are 0.
// Rows are produced bottom-up in storage order. Shrinking averages exact areas; enlarging
// interpolates between the two nearest samples with squared-distance weights; the two-axis
// operation resamples each source row horizontally, then combines those rows vertically by the
// same rules. Results are truncated integer quotients, bit for bit what 32-bit arithmetic gives
// wherever it does not overflow; beyond that (enlarging past 4,105 samples along an axis, or
// shrinking from more than 16,843,009) wider arithmetic keeps them exact.
//
// A progress meter owned by `progressOwner` shows the caption of the operation, a range of
// h mod 65,536 (the host's meter counts in 16 bits), a step for every result row that is a
// multiple of 16 and for the last row, and finally h mod 65,536; it is always closed again.
// Failures: a malformed source (IDS_UNSUPPORTED_IMAGE), a target of 0 in either dimension
// (IDS_SCALE_ZERO_SIZE: an image without rows or columns is never built), a target beyond
// kMaxScaledSide or beyond DibFits (IDS_IMAGE_TOO_LARGE), and
// memory (IDS_SCALE_HIGH_NO_MEMORY). Whatever was allocated is freed on every path.
#pragma once

#include <cstdint>

#include "dib/dib.h"
#include "dib/host_port.h"

// The largest width or height a scaled image may have. It keeps every enlarge product,
// 255 × (side − 1)², within 64 bits.
inline constexpr uint32_t kMaxScaledSide = uint32_t{1} << 28;

// True when a w × h image of `bits` per pixel can be built: both sides at most kMaxScaledSide
// and DibFits.
bool ScaledImageFits(unsigned bits, uint32_t width, uint32_t height);

// The grey flag asks for grey mode; it applies to 1-, 4- and 8-bit sources only. A 24- or 32-bit
// source is scaled in colour mode whatever the flag says (its pixels have no palette entry to
// take the red of, and a 32-bit source keeps its fourth channel).

// Shrinks or enlarges the width (meant for h = H and w ≠ W), caption IDS_PROGRESS_SCALE_WIDTH.
// Its weight tables are allocated before the result.
HostBlock SCL_ScaleWidth(HostBlock source, uint32_t width, uint32_t height, bool grey,
                         HostWindow progressOwner);
// Shrinks or enlarges the height (meant for w = W and h ≠ H), caption IDS_PROGRESS_SCALE_HEIGHT.
// Scratch memory is allocated after the meter has opened.
HostBlock SCL_ScaleHeight(HostBlock source, uint32_t width, uint32_t height, bool grey,
                          HostWindow progressOwner);
// Scales both dimensions (meant for w ≠ W and h ≠ H), caption IDS_PROGRESS_SCALE_BOTH. Scratch
// memory is allocated after the meter has opened.
HostBlock SCL_ScaleBoth(HostBlock source, uint32_t width, uint32_t height, bool grey,
                        HostWindow progressOwner);
// The three share one engine: given sizes outside the case it is meant for, an operation still
// returns the correctly scaled image (only the caption and the order of allocations differ).

using ScaleOperation = HostBlock (*)(HostBlock source, uint32_t width, uint32_t height, bool grey,
                                     HostWindow progressOwner);

// The operation for scaling W × H to w × h, or null when the sizes are equal and nothing needs
// to be done.
ScaleOperation SCL_ChooseOperation(uint32_t sourceWidth, uint32_t sourceHeight, uint32_t width,
                                   uint32_t height);

// --- The steps of an operation, for the benchmarks (the operations call them in this order). ---

// The header of the result of scaling `source` to w × h; false when ScaledImageFits says no.
// `grey` is the effective mode (only for sources of 8 bits or fewer).
bool SCL_ResultHeader(const DibView& source, uint32_t width, uint32_t height, bool grey,
                      BitmapInfoHeader& header);
// Bytes of the whole result block for `header`: header, grey ramp when 8-bit, rows.
uint64_t SCL_ResultBytes(const BitmapInfoHeader& header);
// Copies `header` to the start of `block` (SCL_ResultBytes long), writes the grey ramp when the
// result is 8-bit, and describes the block. The rows are left to SCL_ResampleInto.
DibView SCL_StartResult(uint8_t* block, const BitmapInfoHeader& header);
// Bytes of scratch memory SCL_ResampleInto needs for `source` → `result`; may be 0. Each band of
// rows a row worker computes (dib/row_bands.h) has buffers of its own in it, so RowWorkers() must
// not change between the two calls.
uint64_t SCL_ScratchBytes(const DibView& source, const DibView& result);
// Writes every row of `result` (padding included) from `source`, stepping the progress meter
// (which the caller opens and closes). `scratch` holds SCL_ScratchBytes bytes, aligned for
// 64-bit values (as every host block is).
// Allocates nothing.
void SCL_ResampleInto(const DibView& source, const DibView& result, uint8_t* scratch);
