// Geometry of the ColorCtrl grid: n x n cells filling the control's client area, entries running
// down the first column, then down the next. Portable arithmetic, recomputed from the client size
// at every paint and click.
#pragma once

#include <cstdint>

struct ColorGrid {
  int n = 16;          // cells per row and per column
  int cellWidth = 0;   // pixels
  int cellHeight = 0;  // pixels
  int inset = 3;       // gap between a cell's frame and its colour swatch
};

// The grid of a control `clientWidth` x `clientHeight` pixels showing the table of an image of
// `depth` bits: 4 x 4 for 4 bits, 16 x 16 otherwise. A client smaller than 2n + 1 pixels each
// way gives cells of size 0, which the control neither paints nor hit-tests.
constexpr ColorGrid MakeColorGrid(int depth, int clientWidth, int clientHeight) {
  ColorGrid g;
  g.n = depth == 4 ? 4 : 16;
  g.inset = depth == 4 ? 6 : 3;
  g.cellWidth = clientWidth > g.n + 1 ? (clientWidth - g.n - 1) / g.n : 0;
  g.cellHeight = clientHeight > g.n + 1 ? (clientHeight - g.n - 1) / g.n : 0;
  return g;
}

// The colour-table entry shown in column `column`, row `row`.
constexpr int GridEntry(const ColorGrid& g, int column, int row) { return column * g.n + row; }

struct GridCell {
  int left, top, right, bottom;
};

// The rectangle of the cell showing `entry` (0 to n*n - 1), frame included.
constexpr GridCell GridCellOf(const ColorGrid& g, int entry) {
  const int column = entry / g.n;
  const int row = entry % g.n;
  return {column * g.cellWidth, row * g.cellHeight, (column + 1) * g.cellWidth,
          (row + 1) * g.cellHeight};
}

// The entry under the point (x, y), or -1 when the point lies right of or below the last full
// cell (the control is a few pixels larger than the cells) or the grid has no cells.
constexpr int GridHitTest(const ColorGrid& g, unsigned x, unsigned y) {
  if (g.cellWidth <= 0 || g.cellHeight <= 0) return -1;
  const unsigned column = x / static_cast<unsigned>(g.cellWidth);
  const unsigned row = y / static_cast<unsigned>(g.cellHeight);
  if (column >= static_cast<unsigned>(g.n) || row >= static_cast<unsigned>(g.n)) return -1;
  return GridEntry(g, static_cast<int>(column), static_cast<int>(row));
}

static_assert(MakeColorGrid(4, 100, 80).cellWidth == 23 &&
              MakeColorGrid(4, 100, 80).cellHeight == 18);
static_assert(GridHitTest(MakeColorGrid(8, 200, 200), 12, 0) == 16, "entry n is right of entry 0");
static_assert(GridHitTest(MakeColorGrid(8, 200, 200), 0, 12) == 1, "entry 1 is below entry 0");
