#include "mask/tile_counts.h"

#include "dib/field_number.h"

namespace {

bool DigitsOnly(std::string_view text) {
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// A count is a 16-bit number. One above 65535 (digit strings too long for 32 bits included, which
// the reader saturates) is refused rather than cut to 16 bits, where 65537 would silently mean 1;
// 32767 to 65535 pass here and meet the engine's size limit instead.
bool Usable(int64_t count) { return count >= 1 && count <= 65535; }

}  // namespace

TileCounts CheckTileCounts(std::string_view width, std::string_view height) {
  if (!DigitsOnly(width)) return {TileCountError::Width};
  if (!DigitsOnly(height)) return {TileCountError::Height};
  const int64_t across = ReadFieldNumber(width, false).value;
  const int64_t down = ReadFieldNumber(height, false).value;
  if (!Usable(across)) return {TileCountError::Width};
  if (!Usable(down)) return {TileCountError::Height};
  return {TileCountError::None, static_cast<uint32_t>(across), static_cast<uint32_t>(down)};
}
