#include "cli/formats/png_filter.h"

#include <cstring>

namespace {

// The loops below have no carried dependency (the raw bytes are their inputs) and work in the
// narrowest type that holds their values, which the compiler turns into vector code: choosing a
// filter tries all four on every row.

// The sum of the bytes' magnitudes when read as signed: the smaller of v and 256 - v.
size_t Sum(const uint8_t* row, size_t bytes) {
  size_t sum = 0;
  for (size_t i = 0; i < bytes;) {
    // Partial sums of up to 2^16 bytes fit 32 bits in every lane.
    const size_t end = i + (bytes - i < 65536 ? bytes - i : 65536);
    uint32_t part = 0;
    for (; i < end; ++i) {
      const uint8_t v = row[i], negated = static_cast<uint8_t>(0u - v);
      part += v < negated ? v : negated;
    }
    sum += part;
  }
  return sum;
}

void Sub(const uint8_t* raw, size_t bytes, unsigned bpp, uint8_t* out) {
  std::memcpy(out, raw, bpp < bytes ? bpp : bytes);
  for (size_t i = bpp; i < bytes; ++i) out[i] = static_cast<uint8_t>(raw[i] - raw[i - bpp]);
}

void Up(const uint8_t* raw, const uint8_t* prior, size_t bytes, uint8_t* out) {
  for (size_t i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(raw[i] - prior[i]);
}

// The mean of two bytes rounded down, without widening: the shared bits plus half the others.
inline uint8_t Mean(uint8_t a, uint8_t b) { return static_cast<uint8_t>((a & b) + ((a ^ b) >> 1)); }

void Average(const uint8_t* raw, const uint8_t* prior, size_t bytes, unsigned bpp, uint8_t* out) {
  for (size_t i = 0; i < bpp && i < bytes; ++i)
    out[i] = static_cast<uint8_t>(raw[i] - prior[i] / 2);
  for (size_t i = bpp; i < bytes; ++i)
    out[i] = static_cast<uint8_t>(raw[i] - Mean(raw[i - bpp], prior[i]));
}

// The Paeth predictor of a (left), b (above) and c (above left): whichever is nearest to
// a + b - c, a first and then b on ties. The distances are |b - c|, |a - c| and their sum's.
inline uint8_t Paeth(uint8_t a, uint8_t b, uint8_t c) {
  const auto p = static_cast<int16_t>(b - c), q = static_cast<int16_t>(a - c);
  const auto pa = static_cast<int16_t>(p < 0 ? -p : p), pb = static_cast<int16_t>(q < 0 ? -q : q);
  const auto r = static_cast<int16_t>(p + q);
  const auto pc = static_cast<int16_t>(r < 0 ? -r : r);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

void PaethRow(const uint8_t* raw, const uint8_t* prior, size_t bytes, unsigned bpp, uint8_t* out) {
  for (size_t i = 0; i < bpp && i < bytes; ++i) out[i] = static_cast<uint8_t>(raw[i] - prior[i]);
  for (size_t i = bpp; i < bytes; ++i)
    out[i] = static_cast<uint8_t>(raw[i] - Paeth(raw[i - bpp], prior[i], prior[i - bpp]));
}

}  // namespace

void SwapRedBluePortable(const uint8_t* from, size_t bytes, unsigned bpp, uint8_t* to) {
  for (size_t i = 0; i + bpp <= bytes; i += bpp) {
    to[i] = from[i + 2], to[i + 1] = from[i + 1], to[i + 2] = from[i];
    if (bpp == 4) to[i + 3] = from[i + 3];
  }
}

uint8_t ChoosePngFilterPortable(const uint8_t* raw, const uint8_t* prior, size_t bytes,
                                unsigned bpp, uint8_t* scratch) {
  Sub(raw, bytes, bpp, scratch);
  Up(raw, prior, bytes, scratch + bytes);
  Average(raw, prior, bytes, bpp, scratch + 2 * bytes);
  PaethRow(raw, prior, bytes, bpp, scratch + 3 * bytes);
  size_t least = Sum(raw, bytes);
  uint8_t type = 0;
  for (uint8_t t = 1; t <= 4; ++t) {
    const size_t sum = Sum(scratch + (t - 1) * bytes, bytes);
    if (sum < least) least = sum, type = t;
  }
  return type;
}

void UnfilterPngRowPortable(uint8_t type, uint8_t* row, const uint8_t* prior, size_t bytes,
                            unsigned bpp) {
  const size_t lead = bpp < bytes ? bpp : bytes;  // the bytes with no pixel on their left
  switch (type) {
    case 1:
      for (size_t i = bpp; i < bytes; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - bpp]);
      break;
    case 2:
      for (size_t i = 0; i < bytes; ++i) row[i] = static_cast<uint8_t>(row[i] + prior[i]);
      break;
    case 3:
      for (size_t i = 0; i < lead; ++i) row[i] = static_cast<uint8_t>(row[i] + prior[i] / 2);
      for (size_t i = bpp; i < bytes; ++i)
        row[i] = static_cast<uint8_t>(row[i] + Mean(row[i - bpp], prior[i]));
      break;
    case 4:
      // With nothing on the left, Paeth's predictor is the byte above.
      for (size_t i = 0; i < lead; ++i) row[i] = static_cast<uint8_t>(row[i] + prior[i]);
      for (size_t i = bpp; i < bytes; ++i)
        row[i] = static_cast<uint8_t>(row[i] + Paeth(row[i - bpp], prior[i], prior[i - bpp]));
      break;
    default:
      break;
  }
}

void FilterPngRow(const uint8_t* raw, const uint8_t* prior, size_t bytes, unsigned bpp, bool choose,
                  bool swap, uint8_t* scratch, uint8_t* out) {
  const uint8_t type = choose ? ChoosePngFilter(raw, prior, bytes, bpp, scratch) : 0;
  const uint8_t* filtered = raw;
  if (type != 0) {
    switch (type) {
      case 1:
        Sub(raw, bytes, bpp, scratch);
        break;
      case 2:
        Up(raw, prior, bytes, scratch);
        break;
      case 3:
        Average(raw, prior, bytes, bpp, scratch);
        break;
      default:
        PaethRow(raw, prior, bytes, bpp, scratch);
        break;
    }
    filtered = scratch;
  }
  out[0] = type;
  if (swap)
    SwapRedBlue(filtered, bytes, bpp, out + 1);
  else
    std::memcpy(out + 1, filtered, bytes);
}
