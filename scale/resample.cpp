#include "scale/resample.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "dib/block.h"
#include "dib/row_bands.h"
#include "resources/text_ids.h"
#include "scale/kernels.h"

namespace {

constexpr uint64_t Align16(uint64_t bytes) { return (bytes + 15) & ~uint64_t{15}; }

// Columns widened at a time: the weight tables and row buffers of a very wide target are made
// for one band of columns after another, so that working memory stays near 32 MB however wide
// the result is (the vertical pass treats every column alike, so bands give the same bytes).
constexpr uint32_t kBandColumns = uint32_t{1} << 19;

// Each band of rows run on a worker of its own (dib/row_bands.h) has its own accumulators and row
// slots. Extra bands are given up rather than let those buffers pass this size: more memory than
// one band needs could otherwise make a scale fail that a single thread completes.
constexpr uint64_t kRowBandScratch = uint64_t{32} << 20;

// How one source/result pair is computed, and where its scratch parts lie.
struct Plan {
  uint32_t sourceWidth, sourceHeight, width, height;
  bool grey, four;
  unsigned channels;
  bool horizontal;    // rows pass through SCL_ShrinkRows / SCL_EnlargeRow
  bool vertical;      // rows are combined: the height changes
  bool cached;        // both: horizontally resampled rows are kept for reuse
  unsigned slots;     // rows kept: 2, or kShrinkRowsAtOnce when narrowed rows are combined
  bool wide;          // the vertical sums need 64-bit accumulators
  uint32_t band;      // result columns computed at a time (all of them unless widening)
  uint32_t rowBands;  // bands of result rows computed side by side (RunRowBands)
  // The weight tables, then for each row band its accumulators and row slots (rowBandBytes apart).
  uint64_t tablesAt, accumulatorsAt, rowsAt, rowBandBytes, scratchBytes;
};

Plan MakePlan(const DibView& source, const DibView& result) {
  Plan p{};
  p.sourceWidth = source.width;
  p.sourceHeight = source.height;
  p.width = result.width;
  p.height = result.height;
  p.grey = result.bits == 8;
  p.four = result.bits == 32;
  p.channels = ResultChannels(p.grey, p.four);
  p.vertical = p.height != p.sourceHeight;
  // With the height kept, every row goes through a horizontal pass, even at the same width
  // (that pass is then the conversion to the result format).
  p.horizontal = p.width != p.sourceWidth || !p.vertical;
  p.cached = p.horizontal && p.vertical;
  p.slots =
      p.cached && p.width <= p.sourceWidth && p.height < p.sourceHeight ? kShrinkRowsAtOnce : 2;
  // A shrink sum is at most 255 × the source height, an enlarge sum never reaches the
  // accumulators (SCL_BlendRows).
  p.wide = uint64_t{255} * p.sourceHeight > std::numeric_limits<uint32_t>::max();

  const bool widening = p.width > p.sourceWidth;
  p.band = widening ? std::min(p.width, kBandColumns) : p.width;
  const uint64_t rowValues = uint64_t{p.channels} * p.band;
  uint64_t at = 0;
  p.tablesAt = at;
  if (p.horizontal)
    at += Align16(p.band * uint64_t{widening ? sizeof(EnlargeColumn) : sizeof(ShrinkColumn)});
  p.accumulatorsAt = at;
  if (p.vertical && p.height < p.sourceHeight) at += Align16(rowValues * (p.wide ? 8 : 4));
  p.rowsAt = at;
  if (p.cached) at += p.slots * Align16(rowValues);
  p.rowBandBytes = at - p.accumulatorsAt;
  p.rowBands = RowBandCount(p.height);
  while (p.rowBands > 1 && p.rowBands * p.rowBandBytes > kRowBandScratch) --p.rowBands;
  p.scratchBytes = p.accumulatorsAt + p.rowBands * p.rowBandBytes;
  return p;
}

// The progress meter of one operation: open with its range on construction, closed on every path.
class ProgressMeter {
 public:
  ProgressMeter(HostWindow owner, unsigned caption, uint32_t rows) : rows_(rows) {
    HP_ProgressOpen(owner, caption);
    HP_ProgressRange(rows & 0xFFFF);
  }
  ~ProgressMeter() { HP_ProgressClose(); }
  ProgressMeter(const ProgressMeter&) = delete;
  ProgressMeter& operator=(const ProgressMeter&) = delete;
  void Finish() { HP_ProgressStep(rows_ & 0xFFFF); }

 private:
  uint32_t rows_;
};

// Steps the meter from the calling thread's band, with the rows every band has finished.
void StepRow(const RowBand& band, uint32_t y, uint32_t rows) {
  if (band.OnCaller() && (y % 16 == 0 || y == rows - 1)) HP_ProgressStep(band.Finished() & 0xFFFF);
}

enum class Failure { kNone, kReported, kNoMemory };

// The common frame. Everything it holds is released when it returns, so the caller can report
// running out of memory afterwards.
HostBlock Resample(HostBlock sourceBlock, uint32_t width, uint32_t height, bool grey,
                   HostWindow progressOwner, unsigned caption, Failure& failure) {
  failure = Failure::kReported;
  LockedDib source(sourceBlock);
  if (!source.ok) return nullptr;
  if (width == 0 || height == 0) {
    HP_ShowMessage(IDS_SCALE_ZERO_SIZE);
    return nullptr;
  }
  // 24- and 32-bit sources are scaled in colour mode whatever the flag: grey mode is defined by
  // palette entries, and reading 32-bit pixels as one grey byte would lose three channels.
  grey = grey && source.view.bits <= 8;
  BitmapInfoHeader header;
  if (!SCL_ResultHeader(source.view, width, height, grey, header)) {
    HP_ShowMessage(IDS_IMAGE_TOO_LARGE);
    return nullptr;
  }
  failure = Failure::kNoMemory;

  // The scratch size depends only on the sizes and the result format, known before allocating.
  DibView shape;
  shape.width = width;
  shape.height = height;
  shape.bits = header.biBitCount;
  const uint64_t scratchBytes = SCL_ScratchBytes(source.view, shape);
  // With the height kept the weight tables come before the result, otherwise after the meter
  // has opened: a failure to allocate the result then never shows a meter.
  const bool scratchFirst = height == source.view.height;
  OwnedBlock scratch;
  auto allocateScratch = [&] {
    if (scratchBytes != 0) scratch = OwnedBlock(HP_Alloc(scratchBytes, HP_FIXED));
    return scratchBytes == 0 || scratch;
  };
  if (scratchFirst && !allocateScratch()) return nullptr;
  NewImage result(source, SCL_ResultBytes(header), kNoMessage);
  if (!result) return nullptr;
  const DibView out = SCL_StartResult(result.data(), header);

  ProgressMeter meter(progressOwner, caption, height);
  if (!scratchFirst && !allocateScratch()) return nullptr;
  {
    BlockLock scratchLock(scratch.get());
    if (scratch && !scratchLock) return nullptr;
    SCL_ResampleInto(source.view, out, scratchLock.get());
  }
  scratch = OwnedBlock();
  meter.Finish();
  failure = Failure::kNone;
  return result.Release();
}

HostBlock RunOperation(HostBlock source, uint32_t width, uint32_t height, bool grey,
                       HostWindow progressOwner, unsigned caption) {
  Failure failure;
  HostBlock result = Resample(source, width, height, grey, progressOwner, caption, failure);
  // Shown once everything is released and the meter is closed.
  if (failure == Failure::kNoMemory) HP_ShowMessage(IDS_SCALE_HIGH_NO_MEMORY);
  return result;
}

}  // namespace

bool ScaledImageFits(unsigned bits, uint32_t width, uint32_t height) {
  return width <= kMaxScaledSide && height <= kMaxScaledSide && DibFits(bits, width, height);
}

HostBlock SCL_ScaleWidth(HostBlock source, uint32_t width, uint32_t height, bool grey,
                         HostWindow progressOwner) {
  return RunOperation(source, width, height, grey, progressOwner, IDS_PROGRESS_SCALE_WIDTH);
}

HostBlock SCL_ScaleHeight(HostBlock source, uint32_t width, uint32_t height, bool grey,
                          HostWindow progressOwner) {
  return RunOperation(source, width, height, grey, progressOwner, IDS_PROGRESS_SCALE_HEIGHT);
}

HostBlock SCL_ScaleBoth(HostBlock source, uint32_t width, uint32_t height, bool grey,
                        HostWindow progressOwner) {
  return RunOperation(source, width, height, grey, progressOwner, IDS_PROGRESS_SCALE_BOTH);
}

ScaleOperation SCL_ChooseOperation(uint32_t sourceWidth, uint32_t sourceHeight, uint32_t width,
                                   uint32_t height) {
  if (height == sourceHeight) return width == sourceWidth ? nullptr : SCL_ScaleWidth;
  return width == sourceWidth ? SCL_ScaleHeight : SCL_ScaleBoth;
}

bool SCL_ResultHeader(const DibView& source, uint32_t width, uint32_t height, bool grey,
                      BitmapInfoHeader& header) {
  const uint16_t bits = grey ? 8 : source.bits == 32 ? 32 : 24;
  if (!ScaledImageFits(bits, width, height)) return false;
  header = BitmapInfoHeader{};
  header.biSize = kHeaderSize;
  header.biWidth = static_cast<int32_t>(width);
  header.biHeight = static_cast<int32_t>(height);
  header.biPlanes = 1;
  header.biBitCount = bits;
  header.biSizeImage = static_cast<uint32_t>(RowStride(bits, width) * height);
  header.biClrUsed = grey ? 256 : 0;
  return true;
}

uint64_t SCL_ResultBytes(const BitmapInfoHeader& header) {
  return PackedDibSize(header.biClrUsed * 4, header.biBitCount,
                       static_cast<uint32_t>(header.biWidth),
                       static_cast<uint32_t>(header.biHeight));
}

DibView SCL_StartResult(uint8_t* block, const BitmapInfoHeader& header) {
  std::memcpy(block, &header, sizeof header);
  for (uint32_t i = 0; i < header.biClrUsed; ++i) {
    const RgbQuad grey{static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i),
                       0};
    std::memcpy(block + kHeaderSize + 4 * i, &grey, sizeof grey);
  }
  DibView view;
  DescribeDib(block, static_cast<size_t>(SCL_ResultBytes(header)), view);
  return view;
}

uint64_t SCL_ScratchBytes(const DibView& source, const DibView& result) {
  return MakePlan(source, result).scratchBytes;
}

namespace {

// One band of result columns: where its rows go, its weight tables and the pass across that the
// rows of the other passes go through.
struct ColumnBand {
  const Plan& plan;
  const DibView& source;
  const DibView& result;
  const RgbQuad* palette;
  uint32_t first, count;                   // result columns first … first + count − 1
  const ShrinkColumn* shrink = nullptr;    // narrowing: the whole width's tables
  const EnlargeColumn* enlarge = nullptr;  // widening: this band's tables

  uint8_t* ResultRow(uint32_t y) const { return result.Row(y) + size_t{plan.channels} * first; }

  // The last band of columns clears the padding after the row's last pixel.
  void Pad(uint32_t y) const {
    const size_t end = size_t{plan.channels} * plan.width;
    if (first + count == plan.width) std::memset(result.Row(y) + end, 0, result.stride - end);
  }

  // Source rows k … k + n − 1 resampled across into outs[0] … outs[n − 1]: narrowed rows
  // together (which shares the walk over the tables), up to kShrinkRowsAtOnce; widened ones one
  // at a time.
  void Across(uint32_t k, unsigned n, uint8_t* const* outs) const {
    if (enlarge) {
      SCL_EnlargeRow(plan.sourceWidth, plan.width, first, count, source.bits, source.Row(k),
                     palette, outs[0], enlarge, plan.grey);
      return;
    }
    const uint8_t* rows[kShrinkRowsAtOnce] = {};
    for (unsigned r = 0; r < n; ++r) rows[r] = source.Row(k + r);
    SCL_ShrinkRows(plan.sourceWidth, count, source.bits, rows, n, palette, outs, shrink, plan.grey);
  }
  unsigned RowsAcrossAtOnce() const { return enlarge ? 1 : kShrinkRowsAtOnce; }
};

// The height kept: every source row resampled across straight into its result row.
void WidthPass(const ColumnBand& c, const RowBand& band) {
  const uint32_t h = c.plan.height;
  for (uint32_t y = band.first; y < band.end;) {
    const unsigned n = std::min<uint32_t>(c.RowsAcrossAtOnce(), band.end - y);
    uint8_t* outs[kShrinkRowsAtOnce] = {};
    for (unsigned r = 0; r < n; ++r) outs[r] = c.ResultRow(y + r);
    StepRow(band, y, h);
    c.Across(y, n, outs);
    for (unsigned r = 0; r < n; ++r, ++y) {
      if (r) StepRow(band, y, h);
      c.Pad(y);
      band.RowDone();
    }
  }
}

// The rows a pass down the columns combines: source rows as they are or, when the width changes
// too, source rows resampled across, each computed once and kept in a slot (row k in slot
// k mod slots): two slots hold both rows an enlarge step reads, and a shrink's hold the row it
// shares with the next result row.
struct RowSlots {
  // `memory` holds plan.slots slots of a row of the band's columns each.
  RowSlots(const ColumnBand& columns, uint8_t* memory)
      : c(columns),
        format(c.plan.cached ? (c.plan.four ? 32 : 24) : c.source.bits),
        palette(c.plan.cached ? nullptr : c.palette) {
    for (unsigned i = 0; i < c.plan.slots; ++i) {
      if (c.plan.cached) slots[i] = memory + i * Align16(size_t{c.plan.channels} * c.count);
      rowIn[i] = std::numeric_limits<uint32_t>::max();
    }
  }

  // Row k in `format`. A shrink reads the rows in order, each at most twice and one after the
  // other, so when row k is first read every row before it is done with and the rows after it
  // can be narrowed at once into the slots that follow.
  const uint8_t* Row(uint32_t k) {
    if (!c.plan.cached) return c.source.Row(k);
    const unsigned count = c.plan.slots, slot = k % count;
    if (rowIn[slot] != k) {
      const unsigned n =
          count == kShrinkRowsAtOnce ? std::min<uint32_t>(count, c.plan.sourceHeight - k) : 1;
      uint8_t* outs[kShrinkRowsAtOnce] = {};
      for (unsigned r = 0; r < n; ++r) {
        outs[r] = slots[(slot + r) % count];
        rowIn[(slot + r) % count] = k + r;
      }
      c.Across(k, n, outs);
    }
    return slots[slot];
  }

  const ColumnBand& c;
  const unsigned format;         // of the rows Row gives
  const RgbQuad* const palette;  // theirs, for palette formats
  uint8_t* slots[kShrinkRowsAtOnce] = {};
  uint32_t rowIn[kShrinkRowsAtOnce];  // the row each slot holds
};

// The height enlarged: result row y lies y × (H − 1) / (h − 1) source rows in, between rows k and
// k + 1 at the phase that remains.
void EnlargeHeight(const ColumnBand& c, const RowBand& band, RowSlots& rows) {
  const uint32_t h = c.plan.height;
  const uint64_t span = h - 1, step = c.plan.sourceHeight - 1;
  uint64_t phase = band.first * step % span;
  auto k = static_cast<uint32_t>(band.first * step / span);
  for (uint32_t y = band.first; y < band.end; ++y) {
    StepRow(band, y, h);
    const uint64_t right = phase * phase, total = (span - phase) * (span - phase) + right;
    const uint8_t* a = rows.Row(k);
    const uint8_t* b = right != 0 ? rows.Row(k + 1) : a;
    SCL_BlendRows(a, b, right, total, c.ResultRow(y), rows.format, c.count, rows.palette,
                  c.plan.grey);
    c.Pad(y);
    band.RowDone();
    phase += step;
    if (phase >= span) {
      phase -= span;
      ++k;
    }
  }
}

// The height shrunk: each result row the box average of the source rows it covers, summed in
// `acc`.
template <class Acc>
void ShrinkHeight(const ColumnBand& c, const RowBand& band, RowSlots& rows, Acc* acc) {
  const uint32_t H = c.plan.sourceHeight, h = c.plan.height, w = c.count;
  const bool grey = c.plan.grey, four = c.plan.four;
  // In units of 1/h source row and 1/H result row, result row y starts y × H in, `offset` into
  // source row k: its first row weighs h − offset, and `budget` is what remains of that row and
  // the result row together.
  const uint64_t start = uint64_t{band.first} * H;
  const auto offset = static_cast<uint32_t>(start % h);
  auto k = static_cast<uint32_t>(start / h);
  uint32_t budget = H + offset, first = h - offset;
  for (uint32_t y = band.first; y < band.end; ++y) {
    StepRow(band, y, h);
    SCL_LoadRow<Acc>(rows.Row(k++), first, acc, rows.format, w, rows.palette, grey);
    uint32_t rest = budget - h;
    for (; rest >= h; rest -= h)
      SCL_AddRow<Acc>(rows.Row(k++), h, acc, rows.format, w, rows.palette, grey);
    if (rest > 0) SCL_AddRow<Acc>(rows.Row(k), rest, acc, rows.format, w, rows.palette, grey);
    SCL_DivideRow<Acc>(H, acc, w, grey, four);
    SCL_StoreRow<Acc>(c.ResultRow(y), acc, w, grey, four);
    c.Pad(y);
    band.RowDone();
    first = h - rest;
    budget = budget % h + H;
  }
}

// Result columns first … first + count − 1 of every row, by the plan. Every result row depends
// only on the source and the tables, so the rows run in bands, each band with its own
// accumulators and row slots, starting from the state its first row has.
void ResampleColumns(const Plan& plan, const DibView& source, const DibView& result,
                     uint8_t* scratch, const RgbQuad* palette, uint32_t first, uint32_t count) {
  ColumnBand c{plan, source, result, palette, first, count};
  if (plan.horizontal && plan.width > plan.sourceWidth) {
    auto* tables = reinterpret_cast<EnlargeColumn*>(scratch + plan.tablesAt);
    SCL_BuildEnlargeTables(plan.sourceWidth, plan.width, first, count, tables);
    c.enlarge = tables;
  } else if (plan.horizontal) {
    auto* tables = reinterpret_cast<ShrinkColumn*>(scratch + plan.tablesAt);
    SCL_BuildShrinkTables(plan.sourceWidth, count, tables);
    c.shrink = tables;
  }
  RunRowBands(plan.height, plan.rowBands, [&](const RowBand& band) {
    if (!plan.vertical) return WidthPass(c, band);
    uint8_t* const part = scratch + size_t{band.index} * plan.rowBandBytes;
    RowSlots rows(c, part + plan.rowsAt);
    if (plan.height > plan.sourceHeight)
      EnlargeHeight(c, band, rows);
    else if (plan.wide)
      ShrinkHeight(c, band, rows, reinterpret_cast<uint64_t*>(part + plan.accumulatorsAt));
    else
      ShrinkHeight(c, band, rows, reinterpret_cast<uint32_t*>(part + plan.accumulatorsAt));
  });
}

}  // namespace

void SCL_ResampleInto(const DibView& source, const DibView& result, uint8_t* scratch) {
  const Plan plan = MakePlan(source, result);
  // Indices past a short colour table read black instead of whatever follows the table.
  RgbQuad palette[256] = {};
  if (source.colors) std::memcpy(palette, source.colors, source.colorCount * sizeof(RgbQuad));
  for (uint32_t first = 0; first < plan.width; first += plan.band)
    ResampleColumns(plan, source, result, scratch, palette, first,
                    std::min(plan.band, plan.width - first));
}
