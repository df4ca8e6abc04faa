// Runs of packed pixels copied between bit positions.
//
// A stored row is a string of bits, most significant bit of byte 0 first, so a run of pixels of
// any depth is a run of bits: 1- and 4-bit runs may start inside a byte, deeper ones never do and
// then reduce to byte copies. Crop, frame and tile all move such runs.
#pragma once

#include <cstddef>
#include <cstdint>

// Copies the `bitCount` bits that start `shift` bits (0 to 7) into `src` to the start of `dst`,
// and zeros the bits that follow them in their last byte. Writes (bitCount + 7) / 8 bytes; reads
// only the (shift + bitCount + 7) / 8 bytes of `src` that hold the run. `dst` may equal `src`
// (the run then moves to the start of its own buffer); other overlaps are not allowed.
void ExtractBitRun(const uint8_t* src, unsigned shift, size_t bitCount, uint8_t* dst);

// Copies the first `bitCount` bits of `src` into `dst`, starting `shift` bits (0 to 7) into
// dst[0]. The bits of `dst` before and after the run keep their values. Reads only the
// (bitCount + 7) / 8 bytes of `src` that hold the run; `src` and `dst` must not overlap.
void InsertBitRun(uint8_t* dst, unsigned shift, const uint8_t* src, size_t bitCount);
