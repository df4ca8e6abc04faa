// The little imagetool takes from a JPEG file's EXIF block: how the picture should be turned for
// showing and its resolution. A small parser of the first directory only, so that a hostile block
// costs nothing and no library is needed for four tags.
#pragma once

#include <cstddef>
#include <cstdint>

struct ExifFacts {
  int orientation = 0;                    // 1-8; 0 when absent or out of range
  uint32_t xPerMeter = 0, yPerMeter = 0;  // 0 when absent, zero or not per inch or centimetre
};

// Reads the TIFF structure that follows "Exif\0\0" in an APP1 segment (`size` bytes at `data`):
// Orientation, XResolution, YResolution and ResolutionUnit (inches when absent) of its first
// directory. Malformed or truncated data gives what was read before it; nothing outside the
// `size` bytes is ever read.
ExifFacts ParseExif(const uint8_t* data, size_t size);
