#include "mask/tile.h"

#include <cstring>

#include "dib/bit_runs.h"
#include "dib/row_mirror.h"
#include "resources/text_ids.h"

namespace {

// One destination row: nx copies of the source row (odd copies from `reversed` when it is not
// null), each placed at its bit position, then the tail of the last byte and the padding zeroed.
void BuildRow(const DibView& s, const uint8_t* upright, const uint8_t* reversed, uint32_t nx,
              const DibView& d, uint8_t* row) {
  const size_t runBits = size_t{s.width} * s.bits;
  for (uint32_t k = 0; k < nx; ++k) {
    const uint64_t bit = uint64_t{k} * runBits;
    InsertBitRun(row + bit / 8, static_cast<unsigned>(bit % 8),
                 reversed && k % 2 ? reversed : upright, runBits);
  }
  ClearPadding(row, d.bits, d.width, d.stride);
}

}  // namespace

void TIL_TileRows(const DibView& source, uint32_t nx, uint32_t ny, bool mirror, const DibView& dest,
                  uint8_t* rowBuffer) {
  const uint32_t h = source.height;
  // Rows of copies are counted from the bottom, as stored; with mirroring the top one is
  // upright and they alternate downwards, so the bottom one is flipped when ny is even.
  auto flipped = [&](uint32_t ty) { return mirror && (ny - 1 - ty) % 2 == 1; };
  const bool reversedCopies = mirror && nx > 1;

  // The bottom row of copies is built from the source; every other row of copies repeats it,
  // row for row or in reverse row order.
  for (uint32_t i = 0; i < h; ++i) {
    const uint8_t* row = source.Row(flipped(0) ? h - 1 - i : i);
    const uint8_t* next = i + 1 < h ? source.Row(flipped(0) ? h - 2 - i : i + 1) : row;
    // A reversed copy is made once per source row and then placed like an upright one.
    if (reversedCopies) MirrorRow(row, rowBuffer, source.bits, source.width, source.stride, next);
    BuildRow(source, row, reversedCopies ? rowBuffer : nullptr, nx, dest, dest.Row(i));
  }
  for (uint32_t ty = 1; ty < ny; ++ty) {
    const bool same = flipped(ty) == flipped(0);
    for (uint32_t i = 0; i < h; ++i)
      std::memcpy(dest.Row(size_t{ty} * h + i), dest.Row(same ? i : h - 1 - i), dest.stride);
  }
}

HostBlock TIL_TileDIB(HostBlock source, uint32_t nx, uint32_t ny, bool mirror) {
  LockedDib image(source);
  if (!image.ok) return nullptr;
  const DibView& s = image.view;
  if (nx == 0 || ny == 0) {
    HP_ShowMessage(nx == 0 ? IDS_TILE_BAD_WIDTH : IDS_TILE_BAD_HEIGHT);
    return nullptr;
  }
  const uint64_t width = uint64_t{s.width} * nx;
  const uint64_t height = uint64_t{s.height} * ny;
  if (width > kTileMaxSide || height > kTileMaxSide || !DibFits(s.bits, width, height)) {
    HP_ShowMessage(IDS_TILE_TOO_LARGE);
    return nullptr;
  }

  NewImage result(image, static_cast<uint32_t>(width), static_cast<uint32_t>(height),
                  IDS_TILE_NO_MEMORY);
  if (!result) return nullptr;
  const bool reversedCopies = mirror && nx > 1;
  OwnedBlock bufferBlock(reversedCopies ? HP_Alloc(s.stride, HP_MOVEABLE) : nullptr);
  BlockLock buffer(bufferBlock.get());
  if (reversedCopies && !buffer) {
    HP_ShowMessage(IDS_TILE_NO_MEMORY);
    return nullptr;
  }
  TIL_TileRows(s, nx, ny, mirror, result.view, buffer.get());
  buffer.unlock();
  return result.Release();
}
