// The any-angle turns' sampler: the tables every output pixel's sample positions come from, and the
// split of each output row into the columns whose samples all fall outside the source, those
// whose samples all fall inside, and the few in between. Inside columns need no bounds checks,
// which lets their loops run straight (and, for high-quality colour, in SSE2 registers: the
// portable interior kernel is always built, and on x86 builds (IMAGE_SSE2) ROT_SampleHighColor
// uses the vector one; the tests hold it to the portable one byte for byte).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "dib/block.h"
#include "dib/dib.h"
#include "rotate/rotate.h"

namespace any_angle_kernels {

// Coefficients of one column or row for the two offsets a sampler uses (Low fills only `a`).
struct Coeff {
  int32_t a;
  int32_t b;
};

// One fixed work table, unlocked and freed when it goes (or on Free()).
class WorkTable {
 public:
  WorkTable() = default;
  WorkTable(const WorkTable&) = delete;
  WorkTable& operator=(const WorkTable&) = delete;
  ~WorkTable() { Free(); }

  bool Allocate(uint64_t bytes) {
    block_ = OwnedBlock(HP_Alloc(bytes, HP_FIXED));
    data_ = block_ ? HP_Lock(block_.get()) : nullptr;
    return data_ != nullptr;
  }
  void Free() {
    if (data_) HP_Unlock(block_.get());
    data_ = nullptr;
    block_ = OwnedBlock();
  }
  template <class T>
  T* As() const {
    return static_cast<T*>(data_);
  }

 private:
  OwnedBlock block_;
  void* data_ = nullptr;
};

// Index x of a palette row.
template <unsigned Bits>
inline unsigned ReadIndex(const uint8_t* row, uint32_t x) {
  if constexpr (Bits == 1) return (row[x / 8] >> (7 - x % 8)) & 1;
  if constexpr (Bits == 4) return x % 2 ? row[x / 2] & 0x0F : row[x / 2] >> 4;
  return row[x];
}

// Output columns [begin, end).
struct Span {
  uint32_t begin = 0, end = 0;
};

// One output row's columns by where their samples fall: every sample of the columns outside
// `hull` is outside the source, every sample of the columns in `inner` (a part of `hull`, or
// empty at hull.end) inside it; the columns between may have both.
struct RowSpans {
  Span hull, inner;
};

// Everything the pixel loops read: the source row table, the four coefficient tables, the two
// centres, the source palette and the fill.
struct Sampler {
  WorkTable rowTable, colCosTable, colSinTable, rowCosTable, rowSinTable;
  const uint8_t** rows = nullptr;  // source row addresses, memory order
  const Coeff* colCos = nullptr;   // CX per output column
  const Coeff* colSin = nullptr;   // SX per output column
  const Coeff* rowCos = nullptr;   // CY per output row
  const Coeff* rowSin = nullptr;   // SY per output row
  int32_t cxS = 0, cyS = 0;
  uint32_t srcWidth = 0, srcHeight = 0;
  uint32_t newWidth = 0, newHeight = 0;
  const uint8_t* srcRows = nullptr;  // row 0 of the source, for prefetch addresses
  size_t srcStride = 0;
  unsigned srcBits = 0;
  // The source's colour table widened to 256 entries: an index beyond biClrUsed reads as black
  // rather than past the table.
  RgbQuad palette[256] = {};
  uint8_t fillIndex = 0;
  RgbQuad fillColor = {};  // 24 and 32 bits: blue, green, red and 255

  // Allocates the five tables (reporting IDS_ROTATE_NO_MEMORY on failure) and fills them for a
  // counter-clockwise turn by `radians` with the sample offsets oa and ob.
  bool Prepare(const DibView& source, const DibView& dest, double radians, double oa, double ob,
               RotateFill fill);
  void Free() {
    rowTable.Free(), colCosTable.Free(), colSinTable.Free(), rowCosTable.Free(), rowSinTable.Free();
  }

  // The source pixel at twice-position (tx, ty) relative to the centre, if it is inside.
  bool Locate(int32_t tx, int32_t ty, uint32_t& x, const uint8_t*& row) const {
    const int32_t sx = (tx >> 1) + cxS;  // arithmetic shift: rounds towards minus infinity
    const int32_t sy = (ty >> 1) + cyS;
    if (sx < 0 || static_cast<uint32_t>(sx) >= srcWidth || sy < 0 ||
        static_cast<uint32_t>(sy) >= srcHeight)
      return false;
    x = static_cast<uint32_t>(sx);
    row = rows[sy];
    return true;
  }

  // Row y's columns split by its samples: the one at offset (a, a) at low quality, the four of
  // ForEachHighSample at high quality.
  RowSpans Spans(uint32_t y, bool high) const;

  // Row y's share of the twice-positions of its samples, with the centres folded in: adding twice
  // the centre before the arithmetic shift is adding the centre after it. An inside sample at
  // column coefficients (cos, sin) lies in row rows[(y - sin) >> 1], column (x + cos) >> 1, for
  // x and y of its row offset.
  struct RowBase {
    int32_t xa, xb, ya, yb;
  };
  RowBase Base(uint32_t y) const {
    return {rowSin[y].a + 2 * cxS, rowSin[y].b + 2 * cxS, rowCos[y].a + 2 * cyS,
            rowCos[y].b + 2 * cyS};
  }

  // While the interior loops sample a row they ask, every few pixels, for the source line of the
  // same column's first sample kPrefetchRows rows on: a row's samples cross the source
  // diagonally, a pattern the processor's own prefetching does not foresee, and without this the
  // loops mostly wait for memory. 4 rows measured best; neighbouring pixels share lines.
  static constexpr uint32_t kPrefetchRows = 4;
  // Asks for the cache line of the sample at column coefficients (c, s) of a row whose base is
  // (bx, by), inside the source or not: prefetches never fault, and the address is formed as an
  // integer.
  void Prefetch(int32_t bx, int32_t by, int32_t c, int32_t s) const {
    const int64_t sx = (bx + c) >> 1, sy = (by - s) >> 1;
    const int64_t offset = sy * static_cast<int64_t>(srcStride) + ((sx * srcBits) >> 3);
    __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(srcRows) +
                                                     static_cast<uintptr_t>(offset)));
  }
};

// The four averaged samples of high-quality colour pixels [inner.begin, inner.end) of row y, all
// inside the source, written as 3 bytes a pixel (4 for 32-bit sources) from `out`, which is the
// row's pixel inner.begin. Bytes past the span's last pixel are not touched.
void HighColorInsidePortable(const Sampler& sm, uint32_t y, Span inner, uint8_t* out);
#if IMAGE_SSE2
void HighColorInsideSse2(const Sampler& sm, uint32_t y, Span inner, uint8_t* out);
#endif

}  // namespace any_angle_kernels
