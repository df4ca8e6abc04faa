// The block every reader fills.
#pragma once

#include <string>

#include "dib/dib.h"
#include "dib/host_port.h"

// The normalised header of a picture a reader found: 40 bytes, bottom-up, `colours` table
// entries, biSizeImage filled in; resolutions above 2^31 - 1 pixels per metre are clamped.
BitmapInfoHeader ImageHeader(unsigned bits, uint32_t width, uint32_t height, uint32_t colours,
                             uint32_t xPerMeter, uint32_t yPerMeter);

// A new PackedDib block for `header` (validated by the reader: its biClrUsed table entries and
// biSizeImage bytes of rows follow the header) with the header written in; the table and the rows
// are the reader's to fill. Returns it unlocked (the caller owns it), or null with `error` set
// when there is not enough memory.
HostBlock NewImageBlock(const BitmapInfoHeader& header, std::string& error);
