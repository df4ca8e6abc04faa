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
  OwnedBlock result(HP_Alloc(SCL_ResultBytes(header), HP_MOVEABLE));
  BlockLock resultLock(result.get());
  if (!resultLock) return nullptr;
  const DibView out = SCL_StartResult(resultLock.get(), header);

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
  resultLock.unlock();
  return result.release();
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

HostBlock SCL_ShrinkWidth(HostBlock source, uint32_t width, uint32_t height, bool grey,
                          HostWindow progressOwner) {
  return RunOperation(source, width, height, grey, progressOwner, IDS_PROGRESS_SCALE_WIDTH);
}

HostBlock SCL_EnlargeWidth(HostBlock source, uint32_t width, uint32_t height, bool grey,
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
  if (height == sourceHeight) {
    if (width < sourceWidth) return SCL_ShrinkWidth;
    if (width > sourceWidth) return SCL_EnlargeWidth;
    return nullptr;
  }
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

// Result columns firstColumn … firstColumn + w − 1 of every row, by the plan.
void ResampleColumns(const Plan& plan, const DibView& source, const DibView& result,
                     uint8_t* scratch, const RgbQuad* palette, uint32_t firstColumn, uint32_t w) {
  const uint32_t W = plan.sourceWidth, H = plan.sourceHeight, h = plan.height;
  const size_t used = size_t{plan.channels} * w;
  auto* shrinkColumns = reinterpret_cast<ShrinkColumn*>(scratch + plan.tablesAt);
  auto* enlargeColumns = reinterpret_cast<EnlargeColumn*>(scratch + plan.tablesAt);
  const bool widening = plan.width > W;
  if (plan.horizontal) {
    if (!widening)
      SCL_BuildShrinkTables(W, w, shrinkColumns);
    else
      SCL_BuildEnlargeTables(W, plan.width, firstColumn, w, enlargeColumns);
  }
  // Rows k … k + count − 1 narrowed together (which shares the walk over the tables) into
  // out(0) … out(count − 1).
  auto narrowRows = [&](uint32_t k, unsigned count, auto out) {
    const uint8_t* rows[kShrinkRowsAtOnce] = {};
    uint8_t* outs[kShrinkRowsAtOnce] = {};
    for (unsigned r = 0; r < count; ++r) rows[r] = source.Row(k + r), outs[r] = out(r);
    SCL_ShrinkRows(W, w, source.bits, rows, count, palette, outs, shrinkColumns, plan.grey);
  };
  auto horizontalPass = [&](uint32_t k, uint8_t* out) {
    if (!widening)
      narrowRows(k, 1, [&](unsigned) { return out; });
    else
      SCL_EnlargeRow(W, plan.width, firstColumn, w, source.bits, source.Row(k), palette, out,
                     enlargeColumns, plan.grey);
  };
  auto resultRow = [&](uint32_t y) { return result.Row(y) + size_t{plan.channels} * firstColumn; };
  // The last band of columns clears the padding after the row's last pixel.
  const size_t end = size_t{plan.channels} * plan.width;
  auto padRow = [&](uint32_t y) {
    if (firstColumn + w == plan.width) std::memset(result.Row(y) + end, 0, result.stride - end);
  };

  // Every result row depends only on the source and the tables, so the rows run in bands, each
  // band with its own accumulators and row slots, starting from the state its first row has.
  RunRowBands(h, plan.rowBands, [&](const RowBand& band) {
    uint8_t* const part = scratch + size_t{band.index} * plan.rowBandBytes;
    if (!plan.vertical) {
      for (uint32_t y = band.first; y < band.end;) {
        const unsigned count = widening ? 1 : std::min<uint32_t>(kShrinkRowsAtOnce, band.end - y);
        StepRow(band, y, h);
        if (widening)
          horizontalPass(y, resultRow(y));
        else
          narrowRows(y, count, [&](unsigned r) { return resultRow(y + r); });
        for (unsigned r = 0; r < count; ++r, ++y) {
          if (r) StepRow(band, y, h);
          padRow(y);
          band.RowDone();
        }
      }
      return;
    }

    // The rows the vertical pass combines: source rows as they are, or horizontally resampled
    // ones. Each of those is computed once and kept in a slot: two hold both rows an enlarge step
    // reads, and a shrink's slots hold the row it shares with the next result row.
    uint8_t* slots[kShrinkRowsAtOnce] = {};
    uint32_t slotRow[kShrinkRowsAtOnce];
    for (unsigned i = 0; i < plan.slots; ++i) {
      if (plan.cached) slots[i] = part + plan.rowsAt + i * Align16(used);
      slotRow[i] = std::numeric_limits<uint32_t>::max();
    }
    // Row k is kept in slot k mod slots. A vertical shrink reads the rows in order, each row at
    // most twice and one after the other, so when row k is first read every row before it is
    // done with and the rows after it can be narrowed at once into the slots that follow.
    auto rowAt = [&](uint32_t k) -> const uint8_t* {
      if (!plan.cached) return source.Row(k);
      const unsigned slot = k % plan.slots;
      if (slotRow[slot] != k) {
        if (plan.slots == kShrinkRowsAtOnce) {
          const unsigned count = std::min<uint32_t>(kShrinkRowsAtOnce, H - k);
          narrowRows(k, count, [&](unsigned r) { return slots[(slot + r) % plan.slots]; });
          for (unsigned r = 0; r < count; ++r) slotRow[(slot + r) % plan.slots] = k + r;
        } else {
          horizontalPass(k, slots[slot]);
          slotRow[slot] = k;
        }
      }
      return slots[slot];
    };
    const unsigned format = plan.cached ? (plan.four ? 32 : 24) : source.bits;
    const RgbQuad* rowPalette = plan.cached ? nullptr : palette;

    if (h > H) {
      // Result row y lies y × step / span source rows in: its phase is the remainder.
      const uint64_t span = h - 1, step = H - 1;
      uint64_t phase = band.first * step % span;
      auto k = static_cast<uint32_t>(band.first * step / span);
      for (uint32_t y = band.first; y < band.end; ++y) {
        StepRow(band, y, h);
        const uint64_t right = phase * phase, total = (span - phase) * (span - phase) + right;
        const uint8_t* a = rowAt(k);
        const uint8_t* b = right != 0 ? rowAt(k + 1) : a;
        SCL_BlendRows(a, b, right, total, resultRow(y), format, w, rowPalette, plan.grey);
        padRow(y);
        band.RowDone();
        phase += step;
        if (phase >= span) {
          phase -= span;
          ++k;
        }
      }
      return;
    }

    auto shrinkRows = [&](auto* acc) {
      using Acc = std::remove_pointer_t<decltype(acc)>;
      // In units of 1/h source row and 1/H result row, result row y starts y × H in, `offset`
      // into source row k: its first row weighs h − offset, and `budget` is what remains of
      // that row and the result row together.
      const uint64_t start = uint64_t{band.first} * H;
      const auto offset = static_cast<uint32_t>(start % h);
      auto k = static_cast<uint32_t>(start / h);
      uint32_t budget = H + offset, first = h - offset;
      for (uint32_t y = band.first; y < band.end; ++y) {
        StepRow(band, y, h);
        SCL_LoadRow<Acc>(rowAt(k++), first, acc, format, w, rowPalette, plan.grey);
        uint32_t rest = budget - h;
        for (; rest >= h; rest -= h)
          SCL_AddRow<Acc>(rowAt(k++), h, acc, format, w, rowPalette, plan.grey);
        if (rest > 0) SCL_AddRow<Acc>(rowAt(k), rest, acc, format, w, rowPalette, plan.grey);
        SCL_DivideRow<Acc>(H, acc, w, plan.grey, plan.four);
        SCL_StoreRow<Acc>(resultRow(y), acc, w, plan.grey, plan.four);
        padRow(y);
        band.RowDone();
        first = h - rest;
        budget = budget % h + H;
      }
    };
    if (plan.wide)
      shrinkRows(reinterpret_cast<uint64_t*>(part + plan.accumulatorsAt));
    else
      shrinkRows(reinterpret_cast<uint32_t*>(part + plan.accumulatorsAt));
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
