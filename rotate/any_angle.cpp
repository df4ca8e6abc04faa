// Turns by any whole angle: every output pixel of a canvas that holds the whole turned picture is
// sampled from the source, at low quality once, at high quality four times and averaged.
//
// The geometry is fixed to the bit: the angle uses the constant 3.14159265, sine and cosine are
// rounded to single precision, and the sample positions come from per-column and per-row integer
// tables in half-pixel units combined with arithmetic shifts. The same source and angle must give
// the same bytes on every build, so nothing here may be computed in another precision or order.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "dib/row_bands.h"
#include "resources/text_ids.h"
#include "rotate/any_angle_kernels.h"
#include "rotate/rotate.h"

namespace {

constexpr double kPi = 3.14159265;  // this value, not a closer one: results depend on it

// Larger canvases are refused: column and row numbers stay exact in single precision, and a sum
// of two coefficients (each at most a side in half pixels) stays far inside 32 bits.
constexpr int64_t kMaxSide = int64_t{1} << 24;

double Radians(int32_t d) { return d / 360.0 * 2.0 * kPi; }

// Sample offsets inside an output pixel: one in the middle, or two by two at the quarters.
constexpr double kLowOffset = 0.5;
constexpr double kHighOffsets[2] = {0.25, 0.75};

// trunc(2 × k × (t + o)) in double precision. t is a whole or half number held exactly in single
// precision and k has 24 significant bits, so the product is exact and only the truncation
// (towards zero) rounds.
int32_t Coefficient(float k, float t, double o) { return static_cast<int32_t>(2.0 * k * (t + o)); }

}  // namespace

namespace any_angle_kernels {

bool Sampler::Prepare(const DibView& source, const DibView& dest, double radians, double oa,
                      double ob, RotateFill fill) {
  newWidth = dest.width, newHeight = dest.height;
  if (!rowTable.Allocate(uint64_t{source.height} * sizeof(const uint8_t*)) ||
      !colCosTable.Allocate(uint64_t{newWidth} * sizeof(Coeff)) ||
      !colSinTable.Allocate(uint64_t{newWidth} * sizeof(Coeff)) ||
      !rowCosTable.Allocate(uint64_t{newHeight} * sizeof(Coeff)) ||
      !rowSinTable.Allocate(uint64_t{newHeight} * sizeof(Coeff))) {
    Free();
    HP_ShowMessage(IDS_ROTATE_NO_MEMORY);
    return false;
  }
  rows = rowTable.As<const uint8_t*>();
  for (uint32_t k = 0; k < source.height; ++k) rows[k] = source.Row(k);
  srcRows = source.rows;
  srcStride = source.stride;
  srcBits = source.bits;

  const float c = static_cast<float>(std::cos(radians));
  const float s = static_cast<float>(std::sin(radians));
  const float cxN = static_cast<float>(newWidth / 2.0);
  const float cyN = static_cast<float>(newHeight / 2.0);
  auto fillTables = [&](Coeff* cosTable, Coeff* sinTable, uint32_t count, float centre) {
    for (uint32_t i = 0; i < count; ++i) {
      const float t = static_cast<float>(i) - centre;
      cosTable[i] = {Coefficient(c, t, oa), Coefficient(c, t, ob)};
      sinTable[i] = {Coefficient(s, t, oa), Coefficient(s, t, ob)};
    }
  };
  fillTables(colCosTable.As<Coeff>(), colSinTable.As<Coeff>(), newWidth, cxN);
  fillTables(rowCosTable.As<Coeff>(), rowSinTable.As<Coeff>(), newHeight, cyN);
  colCos = colCosTable.As<Coeff>();
  colSin = colSinTable.As<Coeff>();
  rowCos = rowCosTable.As<Coeff>();
  rowSin = rowSinTable.As<Coeff>();

  cxS = static_cast<int32_t>(source.width >> 1);
  cyS = static_cast<int32_t>(source.height >> 1);
  srcWidth = source.width;
  srcHeight = source.height;
  if (source.colors) std::copy(source.colors, source.colors + source.colorCount, palette);
  // The dialog keeps the index inside the image's table; any other index falls back to entry 0,
  // as the dialog itself would reset it.
  fillIndex = fill.index >= 0 && static_cast<uint32_t>(fill.index) < source.colorCount
                  ? static_cast<uint8_t>(fill.index)
                  : 0;
  fillColor = {fill.blue, fill.green, fill.red, 255};
  return true;
}

namespace {

// The columns whose coefficient (member m of the n entries of t) lies in [lo, hi). A trunc of a
// multiple of the column's distance from the centre, it never falls along a table if the multiple
// is positive and never rises if it is negative, so the columns are one run, found by halving.
Span Where(const Coeff* t, int32_t Coeff::*m, uint32_t n, int64_t lo, int64_t hi) {
  const auto at = [&](auto below) {
    return static_cast<uint32_t>(std::partition_point(t, t + n, below) - t);
  };
  uint32_t first, last;
  if (t[0].*m <= t[n - 1].*m) {
    first = at([&](const Coeff& k) { return k.*m < lo; });
    last = at([&](const Coeff& k) { return k.*m < hi; });
  } else {
    first = at([&](const Coeff& k) { return k.*m >= hi; });
    last = at([&](const Coeff& k) { return k.*m >= lo; });
  }
  return {first, std::max(first, last)};
}

// The portable interior of high-quality colour rows.
template <unsigned Bits>
void HighColorSpan(const Sampler& sm, uint32_t y, Span in, uint8_t* out) {
  constexpr size_t kOut = Bits == 32 ? 4 : 3;
  const Sampler::RowBase base = sm.Base(y);
  const Coeff *colCos = sm.colCos, *colSin = sm.colSin;
  const uint8_t* const* rows = sm.rows;
  const RgbQuad* palette = sm.palette;
  const auto pixel = [&](int32_t ty, int32_t tx) -> const uint8_t* {
    const uint8_t* row = rows[ty >> 1];
    const auto sx = static_cast<uint32_t>(tx >> 1);
    if constexpr (Bits <= 8)
      return &palette[ReadIndex<Bits>(row, sx)].rgbBlue;
    else
      return row + size_t{sx} * (Bits / 8);
  };
  for (uint32_t x = in.begin; x < in.end; ++x, out += kOut) {
    const Coeff c = colCos[x], s = colSin[x];
    const uint8_t* p[4] = {pixel(base.ya - s.a, base.xa + c.a), pixel(base.ya - s.b, base.xa + c.b),
                           pixel(base.yb - s.a, base.xb + c.a),
                           pixel(base.yb - s.b, base.xb + c.b)};
    for (size_t i = 0; i < kOut; ++i)
      out[i] = static_cast<uint8_t>((p[0][i] + p[1][i] + p[2][i] + p[3][i]) >> 2);
  }
}

}  // namespace

RowSpans Sampler::Spans(uint32_t y, bool high) const {
  // Inside is 0 ≤ (t >> 1) + centre < side for both twice-positions t, that is
  // -2 centre ≤ t < 2 (side - centre).
  const int64_t xLo = -2 * int64_t{cxS}, xHi = 2 * (int64_t{srcWidth} - cxS);
  const int64_t yLo = -2 * int64_t{cyS}, yHi = 2 * (int64_t{srcHeight} - cyS);
  RowSpans r;
  Span inner{0, newWidth};
  bool any = false;
  // The samples' column and row offsets, as in ForEachHighSample.
  constexpr int32_t Coeff::*kOffsets[4][2] = {{&Coeff::a, &Coeff::a},
                                              {&Coeff::b, &Coeff::a},
                                              {&Coeff::a, &Coeff::b},
                                              {&Coeff::b, &Coeff::b}};
  for (int i = 0; i < (high ? 4 : 1); ++i) {
    const auto col = kOffsets[i][0], row = kOffsets[i][1];
    // tx = cos + SY and ty = CY - sin.
    const int64_t sy = rowSin[y].*row, cy = rowCos[y].*row;
    const Span across = Where(colCos, col, newWidth, xLo - sy, xHi - sy);
    const Span down = Where(colSin, col, newWidth, cy - yHi + 1, cy - yLo + 1);
    const Span both{std::max(across.begin, down.begin), std::min(across.end, down.end)};
    inner = {std::max(inner.begin, both.begin), std::min(inner.end, both.end)};
    if (both.begin >= both.end) continue;
    r.hull = any ? Span{std::min(r.hull.begin, both.begin), std::max(r.hull.end, both.end)} : both;
    any = true;
  }
  r.inner = inner.begin < inner.end ? inner : Span{r.hull.end, r.hull.end};
  return r;
}

void HighColorInsidePortable(const Sampler& sm, uint32_t y, Span inner, uint8_t* out) {
  WithDepth(sm.srcBits,
            [&](auto bits) { HighColorSpan<decltype(bits)::value>(sm, y, inner, out); });
}

}  // namespace any_angle_kernels

namespace {

using namespace any_angle_kernels;

// Low quality, palette depths: the source index or the fill index. At 8 bits a row stops sampling
// at its first outside sample after an inside one: the rest of the row is fill. A row's inside
// columns are one run (Sampler::Spans), so that is where the run ends, as at the other depths.
// Packed rows are put together a byte at a time, the bits after the last pixel 0.
template <unsigned Bits>
void LowIndexRow(const Sampler& sm, const DibView& dest, uint32_t y) {
  uint8_t* out = dest.Row(y);
  const Span in = sm.Spans(y, false).inner;
  const Sampler::RowBase base = sm.Base(y);
  const Coeff *colCos = sm.colCos, *colSin = sm.colSin;
  const uint8_t* const* rows = sm.rows;
  const unsigned fill = sm.fillIndex;
  const auto sample = [&](uint32_t x) {
    return ReadIndex<Bits>(rows[(base.ya - colSin[x].a) >> 1],
                           static_cast<uint32_t>((base.xa + colCos[x].a) >> 1));
  };
  if constexpr (Bits == 8) {
    std::memset(out, static_cast<int>(fill), in.begin);
    const bool ahead = y + Sampler::kPrefetchRows < sm.newHeight;
    const Sampler::RowBase next = sm.Base(ahead ? y + Sampler::kPrefetchRows : y);
    for (uint32_t x = in.begin; x < in.end; ++x) {
      if (ahead && x % 8 == 0) sm.Prefetch(next.xa, next.ya, colCos[x].a, colSin[x].a);
      out[x] = static_cast<uint8_t>(sample(x));
    }
    std::memset(out + in.end, static_cast<int>(fill), dest.width - in.end);
  } else {
    constexpr uint32_t kPerByte = 8 / Bits;
    for (uint32_t x0 = 0; x0 < dest.width; x0 += kPerByte) {
      unsigned byte = 0;
      for (uint32_t x = x0; x < x0 + kPerByte; ++x) {
        const unsigned index =
            x < in.begin || x >= in.end ? (x < dest.width ? fill : 0) : sample(x);
        byte = byte << Bits | index;
      }
      out[x0 / kPerByte] = static_cast<uint8_t>(byte);
    }
  }
}

// Writes `count` copies of the `size` bytes of `pixel` from `out`, copying the copies made so far
// rather than one pixel at a time.
void RepeatPixel(uint8_t* out, const void* pixel, size_t size, size_t count) {
  if (count == 0) return;
  std::memcpy(out, pixel, size);
  for (size_t done = size, total = size * count; done < total;) {
    const size_t n = std::min(done, total - done);
    std::memcpy(out + done, out, n);
    done += n;
  }
}

// Low quality, 24 and 32 bits: the source pixel's bytes or the fill colour.
template <size_t N>
void LowColorRow(const Sampler& sm, const DibView& dest, uint32_t y) {
  uint8_t* out = dest.Row(y);
  const Span in = sm.Spans(y, false).inner;
  const Sampler::RowBase base = sm.Base(y);
  const Coeff *colCos = sm.colCos, *colSin = sm.colSin;
  const uint8_t* const* rows = sm.rows;
  const RgbQuad fill = sm.fillColor;
  RepeatPixel(out, &fill, N, in.begin);
  const bool ahead = y + Sampler::kPrefetchRows < sm.newHeight;
  const Sampler::RowBase next = sm.Base(ahead ? y + Sampler::kPrefetchRows : y);
  for (uint32_t x = in.begin; x < in.end; ++x) {
    if (ahead && x % 4 == 0) sm.Prefetch(next.xa, next.ya, colCos[x].a, colSin[x].a);
    std::memcpy(out + size_t{x} * N,
                rows[(base.ya - colSin[x].a) >> 1] + size_t((base.xa + colCos[x].a) >> 1) * N, N);
  }
  RepeatPixel(out + size_t{in.end} * N, &fill, N, dest.width - in.end);
}

// Calls add(tx, ty) for the four samples of output pixel (x, y), at offsets (a, a), (b, a),
// (a, b) and (b, b), as twice-positions relative to the source centre.
template <class Add>
void ForEachHighSample(const Sampler& sm, uint32_t x, uint32_t y, Add&& add) {
  const Coeff cx = sm.colCos[x], sx = sm.colSin[x], cy = sm.rowCos[y], sy = sm.rowSin[y];
  add(cx.a + sy.a, cy.a - sx.a);
  add(cx.b + sy.a, cy.a - sx.b);
  add(cx.a + sy.b, cy.b - sx.a);
  add(cx.b + sy.b, cy.b - sx.b);
}

// Row y of a high-quality turn from its spans: `fill` for the columns outside the hull, `edge`
// column by column between hull and inner, `inside` for the inner span.
template <class Fill, class Edge, class Inside>
void SplitRow(const Sampler& sm, uint32_t y, Fill&& fill, Edge&& edge, Inside&& inside) {
  const RowSpans sp = sm.Spans(y, true);
  fill(0, sp.hull.begin);
  for (uint32_t x = sp.hull.begin; x < sp.inner.begin; ++x) edge(x);
  if (sp.inner.begin < sp.inner.end) inside(sp.inner);
  for (uint32_t x = sp.inner.end; x < sp.hull.end; ++x) edge(x);
  fill(sp.hull.end, sm.newWidth);
}

// Calls put(x, k) for the inside columns of row y of a 1-bit source, k being how many of the
// pixel's four samples are 1: with two colours, the average depends on nothing else.
template <class Put>
void CountOnes(const Sampler& sm, uint32_t y, Span in, Put&& put) {
  const Sampler::RowBase base = sm.Base(y);
  const Coeff *colCos = sm.colCos, *colSin = sm.colSin;
  const uint8_t* const* rows = sm.rows;
  const auto bit = [&](int32_t ty, int32_t tx) {
    return ReadIndex<1>(rows[ty >> 1], static_cast<uint32_t>(tx >> 1));
  };
  for (uint32_t x = in.begin; x < in.end; ++x) {
    const Coeff c = colCos[x], s = colSin[x];
    put(x, bit(base.ya - s.a, base.xa + c.a) + bit(base.ya - s.b, base.xa + c.b) +
               bit(base.yb - s.a, base.xb + c.a) + bit(base.yb - s.b, base.xb + c.b));
  }
}

// The five averages of four samples of entries 0 and 1, by how many are entry 1.
void TwoColourAverages(const Sampler& sm, RgbQuad (&averages)[5]) {
  const uint8_t* zero = &sm.palette[0].rgbBlue;
  const uint8_t* one = &sm.palette[1].rgbBlue;
  for (unsigned k = 0; k <= 4; ++k) {
    uint8_t* average = &averages[k].rgbBlue;
    for (int i = 0; i < 4; ++i)
      average[i] = static_cast<uint8_t>((k * one[i] + (4 - k) * zero[i]) >> 2);
  }
}

// High quality, grey palettes: the average of the four samples' red components.
template <unsigned Bits>
void HighGreyRow(const Sampler& sm, const DibView& dest, uint32_t y) {
  uint8_t* out = dest.Row(y);
  const unsigned fillGrey = sm.palette[sm.fillIndex].rgbRed;
  const RgbQuad* palette = sm.palette;
  const auto edge = [&](uint32_t x) {
    unsigned sum = 0;
    ForEachHighSample(sm, x, y, [&](int32_t tx, int32_t ty) {
      uint32_t sx;
      const uint8_t* row;
      sum += sm.Locate(tx, ty, sx, row) ? palette[ReadIndex<Bits>(row, sx)].rgbRed : fillGrey;
    });
    out[x] = static_cast<uint8_t>(sum >> 2);
  };
  const auto inside = [&](Span in) {
    const Sampler::RowBase base = sm.Base(y);
    const Coeff *colCos = sm.colCos, *colSin = sm.colSin;
    const uint8_t* const* rows = sm.rows;
    const auto grey = [&](int32_t ty, int32_t tx) {
      return palette[ReadIndex<Bits>(rows[ty >> 1], static_cast<uint32_t>(tx >> 1))].rgbRed;
    };
    const bool ahead = y + Sampler::kPrefetchRows < sm.newHeight;
    const Sampler::RowBase next = sm.Base(ahead ? y + Sampler::kPrefetchRows : y);
    for (uint32_t x = in.begin; x < in.end; ++x) {
      const Coeff c = colCos[x], s = colSin[x];
      if (ahead && x % 4 == 0) sm.Prefetch(next.xa, next.ya, c.a, s.a);
      const unsigned sum = grey(base.ya - s.a, base.xa + c.a) + grey(base.ya - s.b, base.xa + c.b) +
                           grey(base.yb - s.a, base.xb + c.a) + grey(base.yb - s.b, base.xb + c.b);
      out[x] = static_cast<uint8_t>(sum >> 2);
    }
  };
  const auto fillColumns = [&](uint32_t x0, uint32_t x1) {
    std::memset(out + x0, static_cast<int>(fillGrey), x1 - x0);
  };
  if constexpr (Bits == 1) {
    RgbQuad averages[5];
    TwoColourAverages(sm, averages);
    SplitRow(sm, y, fillColumns, edge, [&](Span in) {
      CountOnes(sm, y, in, [&](uint32_t x, unsigned k) { out[x] = averages[k].rgbRed; });
    });
  } else {
    SplitRow(sm, y, fillColumns, edge, inside);
  }
}

// The kernel set this build uses for the inside columns of high-quality colour rows.
void HighColorInside(const Sampler& sm, uint32_t y, Span inner, uint8_t* out) {
#if IMAGE_SSE2
  HighColorInsideSse2(sm, y, inner, out);
#else
  HighColorInsidePortable(sm, y, inner, out);
#endif
}

// High quality, colour: blue, green and red averaged (and the fourth byte for 32-bit sources).
// Palette sources sample their colour table; outside samples add the fill entry or, at 24 and 32
// bits, the fill colour with 255 as fourth byte.
template <unsigned Bits>
void HighColorRow(const Sampler& sm, const DibView& dest, uint32_t y) {
  constexpr size_t kOut = Bits == 32 ? 4 : 3;
  uint8_t* out = dest.Row(y);
  const RgbQuad fill = Bits <= 8 ? sm.palette[sm.fillIndex] : sm.fillColor;
  const auto edge = [&](uint32_t x) {
    unsigned sum[4] = {0, 0, 0, 0};
    ForEachHighSample(sm, x, y, [&](int32_t tx, int32_t ty) {
      uint32_t sx;
      const uint8_t* row;
      const uint8_t* p = &fill.rgbBlue;
      if (sm.Locate(tx, ty, sx, row)) {
        if constexpr (Bits <= 8)
          p = &sm.palette[ReadIndex<Bits>(row, sx)].rgbBlue;
        else
          p = row + size_t{sx} * (Bits / 8);
      }
      for (size_t i = 0; i < kOut; ++i) sum[i] += p[i];
    });
    for (size_t i = 0; i < kOut; ++i) out[x * kOut + i] = static_cast<uint8_t>(sum[i] >> 2);
  };
  // Four fill samples average to the fill.
  const auto fillColumns = [&](uint32_t x0, uint32_t x1) {
    RepeatPixel(out + x0 * kOut, &fill, kOut, x1 - x0);
  };
  if constexpr (Bits == 1) {
    RgbQuad averages[5];
    TwoColourAverages(sm, averages);
    SplitRow(sm, y, fillColumns, edge, [&](Span in) {
      CountOnes(sm, y, in,
                [&](uint32_t x, unsigned k) { std::memcpy(out + x * kOut, &averages[k], kOut); });
    });
  } else {
    SplitRow(sm, y, fillColumns, edge,
             [&](Span in) { HighColorInside(sm, y, in, out + in.begin * kOut); });
  }
}

using RowKernel = void (*)(const Sampler&, const DibView&, uint32_t);

// Runs the kernel over every row, in bands on the row workers: each row depends only on the
// sampler's tables and the source, which nothing changes meanwhile. The calling thread's band
// steps the meter, if there is one, with the rows all bands have finished.
void RunRows(const Sampler& sm, const DibView& dest, RowKernel kernel, bool progress) {
  RunRowBands(dest.height, RowBandCount(dest.height), [&](const RowBand& band) {
    for (uint32_t y = band.first; y < band.end; ++y) {
      if (progress && band.OnCaller() && (y % 8 == 0 || y == dest.height - 1))
        HP_ProgressStep(band.Finished());
      kernel(sm, dest, y);
      ClearPadding(dest.Row(y), dest.bits, dest.width, dest.stride);
      band.RowDone();
    }
  });
}

// The row loop of the high-quality samplers, with its progress meter.
void RunHighRows(Sampler& sm, const DibView& dest, RowKernel kernel, HostWindow progressOwner) {
  HP_ProgressOpen(progressOwner, IDS_PROGRESS_ROTATE);
  HP_ProgressRange(dest.height);
  RunRows(sm, dest, kernel, true);
  HP_ProgressStep(dest.height);
  sm.Free();
  HP_ProgressClose();
}

// The row kernels of each source depth: one sample a pixel into the source's depth, four into an
// 8-bit grey ramp (grey palettes only) and four into true colour.
struct DepthKernels {
  unsigned bits;
  RowKernel low, highGrey, highColor;
};
constexpr DepthKernels kDepthKernels[] = {
    {1, LowIndexRow<1>, HighGreyRow<1>, HighColorRow<1>},
    {4, LowIndexRow<4>, HighGreyRow<4>, HighColorRow<4>},
    {8, LowIndexRow<8>, HighGreyRow<8>, HighColorRow<8>},
    {24, LowColorRow<3>, nullptr, HighColorRow<24>},
    {32, LowColorRow<4>, nullptr, HighColorRow<32>},
};

// Samples every row of `dest` with the kernel `way` of the source's depth: at low quality with one
// offset, at high quality with two and a progress meter. False when there is no such kernel or
// after the sampler has reported running out of memory.
bool Sample(const DibView& source, const DibView& dest, double radians, RotateFill fill,
            RowKernel DepthKernels::*way, HostWindow progressOwner) {
  RowKernel kernel = nullptr;
  for (const DepthKernels& kernels : kDepthKernels)
    if (kernels.bits == source.bits) kernel = kernels.*way;
  if (!kernel) return false;
  const bool high = way != &DepthKernels::low;
  Sampler sm;
  if (!sm.Prepare(source, dest, radians, high ? kHighOffsets[0] : kLowOffset,
                  high ? kHighOffsets[1] : kLowOffset, fill))
    return false;
  if (high)
    RunHighRows(sm, dest, kernel, progressOwner);
  else
    RunRows(sm, dest, kernel, false);
  return true;
}

// Writes the header and colour table of the turned image into `block` and describes it. A
// low-quality turn keeps the source's depth and table; a high-quality one sets `bits` and
// `colors` (256 for the grey ramp, 0 for true colour).
DibView StartTurnedImage(const DibView& source, uint8_t* block, uint32_t width, uint32_t height,
                         bool high, unsigned bits, uint32_t colors) {
  auto* header = reinterpret_cast<BitmapInfoHeader*>(block);
  std::memcpy(header, source.header, kHeaderSize);
  header->biWidth = static_cast<int32_t>(width);
  header->biHeight = static_cast<int32_t>(height);
  header->biSizeImage = static_cast<uint32_t>(RowStride(bits, width) * height);
  auto* table = reinterpret_cast<RgbQuad*>(block + kHeaderSize);
  if (high) {
    header->biBitCount = static_cast<uint16_t>(bits);
    header->biClrUsed = header->biClrImportant = colors;
    for (uint32_t i = 0; i < colors; ++i)
      table[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};  // grey ramp
  } else if (source.colors) {
    std::copy(source.colors, source.colors + source.colorCount, table);
  }
  DibView view;
  view.header = header;
  view.colors = colors ? table : nullptr;
  view.colorCount = colors;
  view.rows = block + kHeaderSize + colors * 4;
  view.stride = static_cast<size_t>(RowStride(bits, width));
  view.width = width;
  view.height = height;
  view.bits = bits;
  return view;
}

}  // namespace

RotatedSize ROT_RotatedSize(uint32_t width, uint32_t height, int32_t d) {
  const double theta = Radians(d);
  const double c = std::cos(theta), s = std::sin(theta);
  const double hw = width / 2, hh = height / 2;
  // The corners come in opposite pairs, so the extremes lie on both sides of 0.
  int64_t minX = 0, maxX = 0, minY = 0, maxY = 0;
  const double corners[4][2] = {{hw, hh}, {hw, -hh}, {-hw, hh}, {-hw, -hh}};
  for (const auto& corner : corners) {
    const auto x = static_cast<int64_t>(c * corner[0] + s * corner[1]);
    const auto y = static_cast<int64_t>(c * corner[1] - s * corner[0]);
    minX = std::min(minX, x), maxX = std::max(maxX, x);
    minY = std::min(minY, y), maxY = std::max(maxY, y);
  }
  return {maxX - minX + 1, maxY - minY + 1};
}

bool ROT_IsGreyPalette(const DibView& source) {
  if (source.bits >= 24) return false;
  for (uint32_t i = 0; i < source.colorCount; ++i) {
    const RgbQuad& q = source.colors[i];
    if (q.rgbRed != q.rgbGreen || q.rgbGreen != q.rgbBlue) return false;
  }
  return true;
}

bool ROT_SampleLow(const DibView& source, const DibView& dest, double radians, RotateFill fill) {
  return Sample(source, dest, radians, fill, &DepthKernels::low, nullptr);
}

bool ROT_SampleHighGrey(const DibView& source, const DibView& dest, double radians, RotateFill fill,
                        HostWindow progressOwner) {
  return Sample(source, dest, radians, fill, &DepthKernels::highGrey, progressOwner);
}

bool ROT_SampleHighColor(const DibView& source, const DibView& dest, double radians,
                         RotateFill fill, HostWindow progressOwner) {
  return Sample(source, dest, radians, fill, &DepthKernels::highColor, progressOwner);
}

HostBlock ROT_RotateAny(HostBlock source, uint16_t quality, int32_t d, RotateFill fill,
                        HostWindow progressOwner) {
  LockedDib image(source);
  if (!image.ok) return nullptr;
  const DibView& s = image.view;

  const RotatedSize size = ROT_RotatedSize(s.width, s.height, d);
  // Any quality other than Low is High.
  const bool high = quality != kQualityLow;
  const bool grey = high && ROT_IsGreyPalette(s);
  const unsigned bits = !high ? s.bits : grey ? 8 : s.bits == 32 ? 32 : 24;
  const uint32_t colors = !high ? s.colorCount : grey ? 256 : 0;
  if (size.width > kMaxSide || size.height > kMaxSide ||
      !DibFits(bits, static_cast<uint64_t>(size.width), static_cast<uint64_t>(size.height))) {
    HP_ShowMessage(IDS_IMAGE_TOO_LARGE);
    return nullptr;
  }
  const auto width = static_cast<uint32_t>(size.width), height = static_cast<uint32_t>(size.height);

  NewImage result(image, PackedDibSize(colors * 4, bits, width, height), IDS_ROTATE_NO_MEMORY);
  if (!result) return nullptr;
  const DibView dest = StartTurnedImage(s, result.data(), width, height, high, bits, colors);
  const double radians = Radians(d);
  const bool done = !high  ? ROT_SampleLow(s, dest, radians, fill)
                    : grey ? ROT_SampleHighGrey(s, dest, radians, fill, progressOwner)
                           : ROT_SampleHighColor(s, dest, radians, fill, progressOwner);
  if (!done) return nullptr;  // the sampler has reported it; the new block is freed here
  return result.Release();
}
