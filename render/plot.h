// The plot area right of the panel: its rectangle, frame, grid and labels, and the points.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "data/data_table.h"
#include "render/canvas.h"
#include "scale/dim_scale.h"

struct PlotRect {
  int left;
  int top;
  int right;
  int bottom;
};

// left 300, top 10; right w - 70 (at least 600), bottom h - 30 (at least 210).
PlotRect plotRectFor(int w, int h);

// Draws the frame, one grid line and one label per tick of the X and Y dimensions, with the
// frame pen, and gives the canvas its previous pen back. Only the client's right and bottom edge
// (its size) are given: the plot rectangle follows from them.
void drawFrameAndGrid(Canvas& canvas, int clientRight, int clientBottom,
                      const std::vector<DimScale>& dims, int xDim, int yDim);

// Colour of tick index g as a Windows colour value: red, green, black, blue, magenta for 0 to 4,
// black for any other index.
ColorRef tickColor(unsigned g);

// The constraint test of one row, `rowValues` holding the row's value of every column in
// order: the colour index when the row passes every dimension, nothing when it does not.
// Dimensions are tested up to the shorter of the two lists.
std::optional<unsigned> rowPasses(std::span<const double> rowValues,
                                  const std::vector<DimScale>& dims);

// Sets one pixel in its tick's colour for every row that passes, at the place the X and Y
// dimensions map it to. Rows beyond the shortest column are not read; pixels that fall outside
// the canvas's pixel memory are left out.
//
// `blockRanges` holds per column the range of every block of kRangeBlockRows rows, as the reader
// gathers them. They only spare work: a block that some dimension cannot pass is not read, and a
// dimension that every row of a block passes is not tested there. A column without ranges that
// cover it (coversRows) is tested row by row; the pixels are the same either way.
void plotPoints(Canvas& canvas, int clientRight, int clientBottom,
                const std::vector<std::vector<double>>& columns,
                const std::vector<std::vector<ValueRange>>& blockRanges,
                const std::vector<DimScale>& dims, int xDim, int yDim);
