#include "cli/formats/exif.h"

#include <algorithm>

namespace {

// A TIFF structure of either byte order, read with bounds checks.
struct Tiff {
  const uint8_t* data;
  size_t size;
  bool little;

  bool Has(uint64_t offset, uint64_t bytes) const {
    return offset <= size && bytes <= size - offset;
  }
  uint32_t U16(size_t at) const {
    return little ? uint32_t{data[at]} | uint32_t{data[at + 1]} << 8
                  : uint32_t{data[at]} << 8 | uint32_t{data[at + 1]};
  }
  uint32_t U32(size_t at) const {
    return little ? U16(at) | U16(at + 2) << 16 : U16(at) << 16 | U16(at + 2);
  }
};

constexpr uint32_t kShort = 3, kRational = 5;
constexpr uint32_t kOrientation = 0x0112, kXResolution = 0x011A, kYResolution = 0x011B,
                   kResolutionUnit = 0x0128;

// A resolution: a RATIONAL entry's numerator and denominator; {0, 0} when it is not one.
struct Ratio {
  uint64_t numerator = 0, denominator = 0;
};

Ratio RationalAt(const Tiff& tiff, size_t entry) {
  if (tiff.U16(entry + 2) != kRational || tiff.U32(entry + 4) != 1) return {};
  const uint32_t at = tiff.U32(entry + 8);
  if (!tiff.Has(at, 8)) return {};
  return {tiff.U32(at), tiff.U32(at + 4)};
}

// Pixels per metre, rounded, from pixels per inch (unit 2: 254 / 10000 m) or per centimetre (3:
// 1 / 100 m).
uint32_t PerMeter(Ratio r, uint32_t unit) {
  const uint64_t unitLength = unit == 2 ? 254 : 1, metre = unit == 2 ? 10000 : 100;
  const uint64_t divisor = unitLength * r.denominator;
  return static_cast<uint32_t>(
      std::min<uint64_t>((r.numerator * metre + divisor / 2) / divisor, 2147483647));
}

}  // namespace

ExifFacts ParseExif(const uint8_t* data, size_t size) {
  ExifFacts facts;
  if (size < 8 || !((data[0] == 'I' && data[1] == 'I') || (data[0] == 'M' && data[1] == 'M')))
    return facts;
  const Tiff tiff{data, size, data[0] == 'I'};
  if (tiff.U16(2) != 42) return facts;
  const uint32_t directory = tiff.U32(4);
  if (!tiff.Has(directory, 2)) return facts;
  const uint32_t entries = tiff.U16(directory);
  Ratio x, y;
  uint32_t unit = 2;  // inches, unless the directory says otherwise
  for (uint32_t i = 0; i < entries && tiff.Has(directory + 2 + uint64_t{i} * 12, 12); ++i) {
    const size_t entry = directory + 2 + size_t{i} * 12;
    const uint32_t tag = tiff.U16(entry);
    const bool oneShort = tiff.U16(entry + 2) == kShort && tiff.U32(entry + 4) == 1;
    if (tag == kOrientation && oneShort) {
      const uint32_t value = tiff.U16(entry + 8);
      facts.orientation = value >= 1 && value <= 8 ? static_cast<int>(value) : 0;
    } else if (tag == kResolutionUnit && oneShort) {
      unit = tiff.U16(entry + 8);
    } else if (tag == kXResolution) {
      x = RationalAt(tiff, entry);
    } else if (tag == kYResolution) {
      y = RationalAt(tiff, entry);
    }
  }
  if ((unit == 2 || unit == 3) && x.numerator && x.denominator && y.numerator && y.denominator) {
    facts.xPerMeter = PerMeter(x, unit);
    facts.yPerMeter = PerMeter(y, unit);
  }
  return facts;
}
