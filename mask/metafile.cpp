#include "mask/metafile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>

#include "resources/text_ids.h"

namespace {

// Record functions, with their values in the metafile format.
enum : uint16_t {
  kEof = 0x0000,
  kSetMapMode = 0x0103,
  kSetPolyFillMode = 0x0106,
  kSetWindowOrg = 0x020B,
  kSetWindowExt = 0x020C,
  kCreatePenIndirect = 0x02FA,
  kCreateBrushIndirect = 0x02FC,
  kSelectObject = 0x012D,
  kDeleteObject = 0x01F0,
  kPolygon = 0x0324,
  kPolyPolygon = 0x0538,
};

constexpr uint16_t kAnisotropic = 8;
constexpr uint16_t kAlternate = 1, kWinding = 2;
constexpr uint16_t kPenNull = 5, kPenStyleMask = 0x000F;
constexpr uint16_t kBrushSolid = 0, kBrushNull = 1;

// A little-endian view of the file that checks every read against the end.
struct Bytes {
  const uint8_t* data;
  size_t size;
  // A 64-bit count, so that a record length past 4 GiB cannot wrap on a 32-bit build.
  bool Has(size_t offset, uint64_t count) const { return offset <= size && count <= size - offset; }
  uint16_t U16(size_t at) const { return static_cast<uint16_t>(data[at] | data[at + 1] << 8); }
  int16_t S16(size_t at) const { return static_cast<int16_t>(U16(at)); }
  uint32_t U32(size_t at) const { return U16(at) | static_cast<uint32_t>(U16(at + 2)) << 16; }
};

enum class ObjectKind { Free, Pen, Brush };

struct Object {
  ObjectKind kind = ObjectKind::Free;
  bool visible = false;  // pen: draws outlines; brush: fills
  bool paint = false;    // brush: black (true) or white (false)
};

// What a device context starts with: the black pen, the white brush, alternate filling.
struct State {
  WmfWindow window;
  bool penVisible = true;
  Object brush{ObjectKind::Brush, true, false};
  bool winding = false;
};

std::string Hex(unsigned value) {
  static const char digits[] = "0123456789ABCDEF";
  std::string s = "0x";
  for (int shift = 12; shift >= 0; shift -= 4) s += digits[(value >> shift) & 0xF];
  return s;
}

// Adds a fill of polygons with `counts` points each, the points starting at `pointsAt`; the
// record ends at `end`. Returns an error text, or "" when it worked.
std::string AddFill(const Bytes& b, std::vector<uint32_t> counts, size_t pointsAt, size_t end,
                    const State& state, WmfDrawing& drawing) {
  uint64_t total = 0;
  for (uint32_t count : counts) total += count;
  if (total * 4 > end - pointsAt) return "more points than the record holds";
  if (state.penVisible) return "polygon drawn with a visible pen (only null pens are played)";
  if (!state.brush.visible) return "";  // a null brush fills nothing
  WmfFill fill{state.brush.paint, state.winding, state.window, {}, std::move(counts)};
  fill.points.reserve(static_cast<size_t>(total));
  for (size_t at = pointsAt; fill.points.size() < total; at += 4)
    fill.points.push_back({b.S16(at), b.S16(at + 2)});
  drawing.fills.push_back(std::move(fill));
  return "";
}

// One record being played: its parameters lie at `at` … `end` of the file, and it plays into the
// object table, the device context's state and the drawing.
struct Record {
  const Bytes& b;
  uint16_t function;
  size_t at, end;
  std::vector<Object>& objects;
  State& state;
  WmfDrawing& drawing;
};

// The players of each record kind. Each returns an error text, or "" when it worked; the record
// holds as many parameter bytes as kRecords gives it.

std::string SetMapMode(const Record& r) {
  const uint16_t mode = r.b.U16(r.at);
  if (mode != kAnisotropic)
    return "mapping mode " + std::to_string(mode) + " (only anisotropic is played)";
  return "";
}

std::string SetPolyFillMode(const Record& r) {
  const uint16_t mode = r.b.U16(r.at);
  if (mode != kAlternate && mode != kWinding) return "fill mode " + std::to_string(mode);
  r.state.winding = mode == kWinding;
  return "";
}

std::string SetWindow(const Record& r) {
  const int32_t y = r.b.S16(r.at), x = r.b.S16(r.at + 2);  // stored y first
  WmfWindow& window = r.state.window;
  if (r.function == kSetWindowOrg) {
    window.orgX = x;
    window.orgY = y;
  } else {
    if (x == 0 || y == 0) return "window extent of 0";
    window.extX = x;
    window.extY = y;
  }
  r.drawing.window = window;
  return "";
}

std::string CreateObject(const Record& r) {
  const uint16_t style = r.b.U16(r.at);
  Object object{ObjectKind::Pen, (style & kPenStyleMask) != kPenNull, false};
  if (r.function == kCreateBrushIndirect) {
    const uint32_t color = r.b.U32(r.at + 2);
    if (style == kBrushNull) {
      object = {ObjectKind::Brush, false, false};
    } else if (style == kBrushSolid && (color == 0x000000 || color == 0xFFFFFF)) {
      object = {ObjectKind::Brush, true, color == 0x000000};
    } else {
      return "brush style " + std::to_string(style) + " colour " + Hex(color >> 16) +
             Hex(color & 0xFFFF).substr(2) + " (only solid black and white are played)";
    }
  }
  // A new object takes the lowest free slot of the table, as the format defines.
  auto slot = std::find_if(r.objects.begin(), r.objects.end(),
                           [](const Object& o) { return o.kind == ObjectKind::Free; });
  if (slot == r.objects.end()) return "more objects than the header declares";
  *slot = object;
  return "";
}

// Select and delete.
std::string UseObject(const Record& r) {
  const uint16_t index = r.b.U16(r.at);
  if (index >= r.objects.size() || r.objects[index].kind == ObjectKind::Free)
    return "object " + std::to_string(index) + " does not exist";
  Object& object = r.objects[index];
  if (r.function == kDeleteObject)
    object = Object{};
  else if (object.kind == ObjectKind::Pen)
    r.state.penVisible = object.visible;
  else
    r.state.brush = object;
  return "";
}

std::string Polygon(const Record& r) {
  const int16_t count = r.b.S16(r.at);
  if (count < 0) return "negative point count";
  return AddFill(r.b, {static_cast<uint32_t>(count)}, r.at + 2, r.end, r.state, r.drawing);
}

std::string PolyPolygon(const Record& r) {
  const size_t polygons = r.b.U16(r.at);
  if (r.end - r.at < 2 + 2 * polygons) return "more polygons than the record holds";
  std::vector<uint32_t> counts(polygons);
  for (size_t i = 0; i < polygons; ++i) counts[i] = r.b.U16(r.at + 2 + 2 * i);
  return AddFill(r.b, std::move(counts), r.at + 2 + 2 * polygons, r.end, r.state, r.drawing);
}

// The records played: the parameter bytes each needs at least, and its player.
struct RecordKind {
  uint16_t function;
  size_t needs;
  std::string (*play)(const Record&);
};
constexpr RecordKind kRecords[] = {
    {kSetMapMode, 2, SetMapMode},
    {kSetPolyFillMode, 2, SetPolyFillMode},
    {kSetWindowOrg, 4, SetWindow},
    {kSetWindowExt, 4, SetWindow},
    {kCreatePenIndirect, 10, CreateObject},
    {kCreateBrushIndirect, 8, CreateObject},
    {kSelectObject, 2, UseObject},
    {kDeleteObject, 2, UseObject},
    {kPolygon, 2, Polygon},
    {kPolyPolygon, 2, PolyPolygon},
};

// Plays one record into `state` and `drawing`. `at` is where its parameters start and `end` where
// the record ends. Returns an error text, or "" when it worked.
std::string PlayRecord(const Bytes& b, uint16_t function, size_t at, size_t end,
                       std::vector<Object>& objects, State& state, WmfDrawing& drawing) {
  for (const RecordKind& kind : kRecords)
    if (kind.function == function)
      return end - at < kind.needs ? "short record"
                                   : kind.play({b, function, at, end, objects, state, drawing});
  return "unsupported record " + Hex(function);
}

}  // namespace

bool ParseMetafile(const uint8_t* data, size_t size, WmfDrawing& drawing, std::string& error) {
  drawing = WmfDrawing{};
  const Bytes b{data, data ? size : 0};
  constexpr size_t kHeaderBytes = 18;
  if (!b.Has(0, kHeaderBytes) || (b.U16(0) != 1 && b.U16(0) != 2) || b.U16(2) != 9 ||
      (b.U16(4) != 0x0300 && b.U16(4) != 0x0100)) {
    error = "not a Windows metafile (no 18-byte header of version 0x0300)";
    return false;
  }
  if (uint64_t{b.U32(6)} * 2 > b.size) {
    error = "truncated: the header gives " + std::to_string(uint64_t{b.U32(6)} * 2) +
            " bytes, the file has " + std::to_string(b.size);
    return false;
  }
  try {
    std::vector<Object> objects(b.U16(10));
    State state;
    WmfDrawing played;  // handed over only when the whole file has been read
    for (size_t at = kHeaderBytes;;) {
      if (!b.Has(at, 6)) {
        error = "no end record (truncated at byte " + std::to_string(at) + ")";
        return false;
      }
      const uint64_t bytes = uint64_t{b.U32(at)} * 2;
      const uint16_t function = b.U16(at + 4);
      if (bytes < 6 || !b.Has(at, bytes)) {
        error = "record " + Hex(function) + " at byte " + std::to_string(at) +
                (bytes < 6 ? " is shorter than a record header" : " runs past the end of the file");
        return false;
      }
      if (function == kEof) {
        drawing = std::move(played);
        return true;
      }
      const size_t end = at + static_cast<size_t>(bytes);
      const std::string problem = PlayRecord(b, function, at + 6, end, objects, state, played);
      if (!problem.empty()) {
        error = problem + " in record " + Hex(function) + " at byte " + std::to_string(at);
        return false;
      }
      at = end;
    }
  } catch (const std::bad_alloc&) {
    error = "not enough memory to read the metafile";
    return false;
  }
}

namespace {

// One edge of a fill in device coordinates, going down the raster.
struct Edge {
  double x0, y0;             // the upper end
  double slope;              // change of x per row
  int direction;             // +1 or -1: which way the outline ran, for the winding rule
  int64_t firstRow, endRow;  // rows whose centres lie on the edge: [firstRow, endRow)
};

// The first pixel (row or column) whose centre, at pixel + 0.5, lies at or after device coordinate
// v, clamped to [0, limit]. Centres exactly on a top or left edge are inside, on a bottom or right
// edge outside, so that figures sharing an edge never overlap or leave a gap between them.
int64_t FirstCentreFrom(double v, uint32_t limit) {
  return static_cast<int64_t>(std::ceil(std::clamp(v - 0.5, 0.0, double(limit))));
}

// Sets (`ones`) or clears the bits [first, end) of a row, bits numbered from the most significant
// bit of the first byte as pixels are packed. Whole bytes in between are written at once.
void FillBits(uint8_t* row, uint64_t first, uint64_t end, bool ones) {
  if (first >= end) return;
  const size_t head = static_cast<size_t>(first / 8), tail = static_cast<size_t>((end - 1) / 8);
  const uint8_t headMask = static_cast<uint8_t>(0xFF >> (first % 8));
  const uint8_t tailMask = static_cast<uint8_t>(0xFF << (7 - (end - 1) % 8));
  auto apply = [&](size_t i, uint8_t mask) {
    row[i] = static_cast<uint8_t>(ones ? row[i] | mask : row[i] & ~mask);
  };
  if (head == tail) {
    apply(head, headMask & tailMask);
    return;
  }
  apply(head, headMask);
  std::memset(row + head + 1, ones ? 0xFF : 0x00, tail - head - 1);
  apply(tail, tailMask);
}

// The rows of one fill, scanned from the top of the raster down.
class FillScan {
 public:
  FillScan(const WmfFill& fill, uint32_t width, uint32_t height) : fill_(&fill), width_(width) {
    const WmfWindow& w = fill.window;
    auto deviceX = [&](int32_t x) { return double(x - w.orgX) * width / w.extX; };
    auto deviceY = [&](int32_t y) { return double(y - w.orgY) * height / w.extY; };
    size_t first = 0;
    for (uint32_t count : fill.counts) {
      for (uint32_t i = 0; i < count; ++i) {
        const WmfPoint& a = fill.points[first + i];
        const WmfPoint& c = fill.points[first + (i + 1) % count];  // polygons close themselves
        double ax = deviceX(a.x), ay = deviceY(a.y), cx = deviceX(c.x), cy = deviceY(c.y);
        int direction = 1;
        if (ay > cy) {
          std::swap(ax, cx);
          std::swap(ay, cy);
          direction = -1;
        }
        const int64_t firstRow = FirstCentreFrom(ay, height), endRow = FirstCentreFrom(cy, height);
        if (firstRow >= endRow) continue;  // horizontal, or between two row centres
        edges_.push_back({ax, ay, (cx - ax) / (cy - ay), direction, firstRow, endRow});
      }
      first += count;
    }
    std::sort(edges_.begin(), edges_.end(),
              [](const Edge& p, const Edge& q) { return p.firstRow < q.firstRow; });
  }

  // Paints row `y` (rows must come in increasing order) into `row`, `bits` bits per pixel.
  void Row(int64_t y, uint8_t* row, uint32_t bits) {
    while (next_ < edges_.size() && edges_[next_].firstRow <= y) active_.push_back(next_++);
    std::erase_if(active_, [&](size_t e) { return edges_[e].endRow <= y; });
    crossings_.clear();
    for (size_t e : active_) {
      const Edge& edge = edges_[e];
      crossings_.push_back({edge.x0 + (double(y) + 0.5 - edge.y0) * edge.slope, edge.direction});
    }
    std::sort(crossings_.begin(), crossings_.end());
    int inside = 0;
    for (size_t i = 0; i + 1 < crossings_.size(); ++i) {
      inside = fill_->winding ? inside + crossings_[i].second : (inside ^ 1);
      if (inside != 0) Span(crossings_[i].first, crossings_[i + 1].first, row, bits);
    }
  }

 private:
  // Pixels whose centres lie in [left, right): painted pixels get all bits 0, erased ones all 1.
  void Span(double left, double right, uint8_t* row, uint32_t bits) const {
    const int64_t a = FirstCentreFrom(left, width_), b = FirstCentreFrom(right, width_);
    if (a < b) FillBits(row, uint64_t(a) * bits, uint64_t(b) * bits, !fill_->paint);
  }

  const WmfFill* fill_;
  uint32_t width_;
  std::vector<Edge> edges_;
  size_t next_ = 0;
  std::vector<size_t> active_;
  std::vector<std::pair<double, int>> crossings_;
};

}  // namespace

bool RenderMetafile(const WmfDrawing& drawing, const MaskRaster& raster) {
  try {
    std::vector<FillScan> scans;
    scans.reserve(drawing.fills.size());
    for (const WmfFill& fill : drawing.fills) scans.emplace_back(fill, raster.width, raster.height);
    const uint64_t usedBits = uint64_t{raster.bits} * raster.width;
    for (uint32_t y = 0; y < raster.height; ++y) {
      uint8_t* row = raster.rows + size_t{raster.height - 1 - y} * raster.stride;
      std::memset(row, 0, raster.stride);
      FillBits(row, 0, usedBits, true);  // the white ground
      for (FillScan& scan : scans) scan.Row(y, row, raster.bits);
    }
    return true;
  } catch (const std::bad_alloc&) {
    HP_ShowMessage(IDS_MASK_NO_MEMORY_MASK);
    return false;
  }
}
