#include "render/plot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "app/paint.h"
#include "data/value_ranges.h"
#include "recording_canvas.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

DimScale scaleOf(DimMode mode, double minValue, double maxValue, std::vector<double> ticks,
                 double center = 0, double tolerance = 0) {
  DimScale d;
  d.mode = mode;
  d.minValue = minValue;
  d.maxValue = maxValue;
  d.ticks = std::move(ticks);
  d.center = center;
  d.tolerance = tolerance;
  return d;
}

std::uint32_t pixelOf(ColorRef c) {
  return 0xFF000000u | (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

// The row-by-row rule, written as plainly as it reads: every row tested dimension by dimension,
// one pixel set per passing row.
void referencePlot(std::vector<std::uint32_t>& memory, int stride, int width, int height,
                   const std::vector<std::vector<double>>& columns,
                   const std::vector<DimScale>& dims, int xDim, int yDim) {
  std::size_t rows = columns[0].size();
  for (const auto& c : columns) rows = std::min(rows, c.size());
  const int left = 300, top = 10;
  const int right = width >= 670 ? width - 70 : 600;
  const int bottom = height >= 240 ? height - 30 : 210;
  const DimScale& dx = dims[xDim];
  const DimScale& dy = dims[yDim];
  const double sx = static_cast<double>(right - left) / (dx.maxValue - dx.minValue);
  const double sy = static_cast<double>(top - bottom) / (dy.maxValue - dy.minValue);
  for (std::size_t i = 0; i < rows; ++i) {
    int g = 2;
    bool pass = true;
    for (std::size_t j = 0; j < columns.size() && j < dims.size() && pass; ++j) {
      const double v = columns[j][i];
      const DimScale& d = dims[j];
      if (d.mode == DimMode::Band) {
        pass = d.center - d.tolerance <= v && v <= d.center + d.tolerance;
      } else if (d.mode == DimMode::Multi) {
        pass = false;
        for (int k = 0; k < static_cast<int>(d.ticks.size()); ++k) {
          if (d.ticks[k] - d.tolerance <= v && v <= d.ticks[k] + d.tolerance) {
            g = k;
            pass = true;
          }
        }
      } else if (d.mode == DimMode::XAxis || d.mode == DimMode::YAxis) {
        pass = d.minValue <= v && v <= d.maxValue;
      }
    }
    if (!pass) continue;
    const double x = left + std::trunc((columns[xDim][i] - dx.minValue) * sx);
    const double y = bottom + std::trunc((columns[yDim][i] - dy.minValue) * sy);
    if (!(x >= 0 && x < width && y >= 0 && y < height)) continue;
    memory[static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x)] =
        pixelOf(tickColor(static_cast<unsigned>(g)));
  }
}

std::vector<std::string> frameCalls(int left, int top, int right, int bottom) {
  auto at = [](const char* op, int x, int y) {
    return std::string(op) + " " + std::to_string(x) + " " + std::to_string(y);
  };
  return {at("moveTo", left, bottom), at("lineTo", left, top), at("lineTo", right, top),
          at("lineTo", right, bottom), at("lineTo", left, bottom)};
}

TEST(PlotRect, FollowsClientSizeWithMinimum) {
  const PlotRect small = plotRectFor(500, 100);
  EXPECT_EQ((std::vector<int>{small.left, small.top, small.right, small.bottom}),
            (std::vector<int>{300, 10, 600, 210}));
  const PlotRect large = plotRectFor(1000, 700);
  EXPECT_EQ((std::vector<int>{large.left, large.top, large.right, large.bottom}),
            (std::vector<int>{300, 10, 930, 670}));
  const PlotRect atLimit = plotRectFor(670, 240);
  EXPECT_EQ(atLimit.right, 600);
  EXPECT_EQ(atLimit.bottom, 210);
  EXPECT_EQ(plotRectFor(671, 241).right, 601);
  EXPECT_EQ(plotRectFor(671, 241).bottom, 211);
}

TEST(FrameAndGrid, DrawsFrameGridAndLabelsInOrderAndRestoresPen) {
  // X: sx = 630 / 10 = 63. Y: sy = -660 / 4 = -165; the tick 0.5 lies 82.5 pixels up, cut
  // toward zero to 82; the ticks at minValue and maxValue land on the frame's edges.
  const std::vector<DimScale> dims = {
      scaleOf(DimMode::Free, 0, 1, {0.5}),
      scaleOf(DimMode::XAxis, -2, 8, {-1, 1, 3, 5, 7}),
      scaleOf(DimMode::YAxis, 0, 4, {0, 0.5, 2, 3, 4}),
  };
  RecordingCanvas canvas;
  drawFrameAndGrid(canvas, 1000, 700, dims, 1, 2);

  std::vector<std::string> expected = {"selectFramePen"};
  for (const auto& call : frameCalls(300, 10, 930, 670)) expected.push_back(call);
  const std::vector<std::pair<int, std::string>> xTicks = {
      {363, "-1"}, {489, "1"}, {615, "3"}, {741, "5"}, {867, "7"}};
  for (const auto& [x, label] : xTicks) {
    expected.push_back("moveTo " + std::to_string(x) + " 670");
    expected.push_back("lineTo " + std::to_string(x) + " 10");
    expected.push_back("textOut " + std::to_string(x - 5) + " 675 " + label);
  }
  const std::vector<std::pair<int, std::string>> yTicks = {
      {670, "0"}, {588, "0.5"}, {340, "2"}, {175, "3"}, {10, "4"}};
  for (const auto& [y, label] : yTicks) {
    expected.push_back("moveTo 300 " + std::to_string(y));
    expected.push_back("lineTo 930 " + std::to_string(y));
    expected.push_back("textOut 935 " + std::to_string(y - 5) + " " + label);
  }
  expected.push_back("restorePen " + std::to_string(RecordingCanvas::kPreviousPen));
  EXPECT_EQ(canvas.calls(), expected);
}

TEST(FrameAndGrid, SmallClientGetsMinimumFrameAndLabelsUseNumberText) {
  const std::vector<DimScale> dims = {
      scaleOf(DimMode::XAxis, 1e6, 3e6, {1.2345678e6}),
      scaleOf(DimMode::YAxis, -0.001, 0.001, {-0.0004}),
  };
  RecordingCanvas canvas;
  drawFrameAndGrid(canvas, 500, 100, dims, 0, 1);
  const auto& calls = canvas.calls();
  ASSERT_EQ(calls.size(), 1u + 5 + 3 + 3 + 1);
  EXPECT_EQ(std::vector<std::string>(calls.begin() + 1, calls.begin() + 6),
            frameCalls(300, 10, 600, 210));
  // 0.2345678e6 * 300 / 2e6 = 35.18517: x = 335.
  EXPECT_EQ(calls[6], "moveTo 335 210");
  EXPECT_EQ(calls[8], "textOut 330 215 1.23457e+06");
  // 0.0006 * -200 / 0.002 = -60: y = 150.
  EXPECT_EQ(calls[9], "moveTo 300 150");
  EXPECT_EQ(calls[11], "textOut 605 145 -0.0004");
}

TEST(TickColor, FiveColoursThenBlack) {
  EXPECT_EQ(tickColor(0), 0x000000FFu);
  EXPECT_EQ(tickColor(1), 0x0000FF00u);
  EXPECT_EQ(tickColor(2), 0x00000000u);
  EXPECT_EQ(tickColor(3), 0x00FF0000u);
  EXPECT_EQ(tickColor(4), 0x00FF00FFu);
  EXPECT_EQ(tickColor(5), 0x00000000u);
  EXPECT_EQ(tickColor(1000), 0x00000000u);
}

TEST(RowPasses, BandBoundsAreInclusive) {
  const std::vector<DimScale> dims = {scaleOf(DimMode::Band, 0, 10, {}, 3, 0.5)};
  EXPECT_EQ(rowPasses(std::vector<double>{2.5}, dims), 2u);
  EXPECT_EQ(rowPasses(std::vector<double>{3.5}, dims), 2u);
  EXPECT_FALSE(rowPasses(std::vector<double>{std::nextafter(2.5, 0.0)}, dims));
  EXPECT_FALSE(rowPasses(std::vector<double>{std::nextafter(3.5, 10.0)}, dims));
}

TEST(RowPasses, NaNFailsEveryTestButFree) {
  const std::vector<double> row = {kNaN};
  EXPECT_FALSE(rowPasses(row, {scaleOf(DimMode::Band, 0, 10, {}, 3, 1e300)}));
  EXPECT_FALSE(rowPasses(row, {scaleOf(DimMode::Multi, 0, 10, {1, 2}, 0, 1e300)}));
  EXPECT_FALSE(rowPasses(row, {scaleOf(DimMode::XAxis, -1e300, 1e300, {})}));
  EXPECT_FALSE(rowPasses(row, {scaleOf(DimMode::YAxis, -1e300, 1e300, {})}));
  EXPECT_EQ(rowPasses(row, {scaleOf(DimMode::Free, 0, 1, {})}), 2u);
  EXPECT_EQ(rowPasses(row, {scaleOf(static_cast<DimMode>(9), 0, 1, {})}), 2u);
}

TEST(RowPasses, MultiTakesTheLaterOfOverlappingTicks) {
  // Windows [0.4, 1.6], [1.4, 2.6], [2.4, 3.6], [3.4, 4.6], [4.4, 5.6].
  const std::vector<DimScale> dims = {scaleOf(DimMode::Multi, 0, 6, {1, 2, 3, 4, 5}, 0, 0.6)};
  EXPECT_EQ(rowPasses(std::vector<double>{1.0}, dims), 0u);
  EXPECT_EQ(rowPasses(std::vector<double>{1.5}, dims), 1u);
  EXPECT_EQ(rowPasses(std::vector<double>{3.0}, dims), 2u);
  EXPECT_EQ(rowPasses(std::vector<double>{4.5}, dims), 4u);
  EXPECT_EQ(rowPasses(std::vector<double>{5.6}, dims), 4u);
  EXPECT_FALSE(rowPasses(std::vector<double>{0.3}, dims));
  EXPECT_FALSE(rowPasses(std::vector<double>{5.7}, dims));
}

TEST(RowPasses, AxesKeepTheirRangeAndAnyFailureRejects) {
  const std::vector<DimScale> dims = {
      scaleOf(DimMode::XAxis, 0, 10, {}),
      scaleOf(DimMode::YAxis, -5, 5, {}),
      scaleOf(DimMode::Multi, 0, 10, {0, 2, 4, 6, 8}, 0, 0.5),
  };
  EXPECT_EQ(rowPasses(std::vector<double>{0, 5, 8}, dims), 4u);
  EXPECT_EQ(rowPasses(std::vector<double>{10, -5, 4.5}, dims), 2u);
  EXPECT_FALSE(rowPasses(std::vector<double>{10.5, 0, 8}, dims));
  EXPECT_FALSE(rowPasses(std::vector<double>{5, 5.5, 8}, dims));
  EXPECT_FALSE(rowPasses(std::vector<double>{5, 0, 9}, dims));
  // Only the dimensions that the row has values for are tested.
  EXPECT_EQ(rowPasses(std::vector<double>{5, 0}, dims), 2u);
}

struct PointsCase {
  std::vector<std::vector<double>> columns;
  std::vector<std::vector<ValueRange>> ranges;
  std::vector<DimScale> dims;
  int xDim = 0;
  int yDim = 1;
};

std::vector<std::vector<ValueRange>> rangesOf(const std::vector<std::vector<double>>& columns) {
  std::vector<std::vector<ValueRange>> ranges;
  for (const auto& column : columns) ranges.push_back(blockRangesOf(column));
  return ranges;
}

// Plots with the canvas and with the plain rule into a buffer of the same shape, padding
// included, and expects the same memory: once with the case's block ranges and once without
// any, which must not change a pixel.
void expectSamePixels(const PointsCase& c, int width, int height) {
  std::vector<std::uint32_t> expected(
      static_cast<std::size_t>(width + RecordingCanvas::kRowPadding) * height,
      RecordingCanvas::kBackground);
  referencePlot(expected, width + RecordingCanvas::kRowPadding, width, height, c.columns, c.dims,
                c.xDim, c.yDim);
  const std::vector<std::vector<ValueRange>> noRanges;
  for (const bool withRanges : {true, false}) {
    RecordingCanvas canvas(width, height);
    plotPoints(canvas, width, height, c.columns, withRanges ? c.ranges : noRanges, c.dims, c.xDim,
               c.yDim);
    ASSERT_EQ(canvas.memory().size(), expected.size());
    std::size_t differing = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      differing += canvas.memory()[i] != expected[i];
    }
    EXPECT_EQ(differing, 0u) << "client " << width << " x " << height
                             << (withRanges ? ", with block ranges" : ", without block ranges");
  }
}

TEST(PlotPoints, MaxValueIsPlacedByTheFormulaEvenInsideTheEdge) {
  // (9.1 - 0) * (630 / 9.1) comes out just below 630, so the row lands on x = 929, not on the
  // right edge 930; 5.1 likewise lands on y = 11, one below the top edge.
  PointsCase c;
  c.dims = {scaleOf(DimMode::XAxis, 0, 9.1, {}), scaleOf(DimMode::YAxis, 0, 5.1, {})};
  c.columns = {{9.1, 0}, {5.1, 0}};
  c.ranges = rangesOf(c.columns);
  RecordingCanvas canvas(1000, 700);
  plotPoints(canvas, 1000, 700, c.columns, c.ranges, c.dims, 0, 1);
  const std::uint32_t black = 0xFF000000;
  EXPECT_EQ(canvas.pixel(929, 11), black);
  EXPECT_EQ(canvas.pixel(930, 11), RecordingCanvas::kBackground);
  EXPECT_EQ(canvas.pixel(929, 10), RecordingCanvas::kBackground);
  EXPECT_EQ(canvas.pixel(300, 670), black);
  expectSamePixels(c, 1000, 700);
}

TEST(PlotPoints, ColoursComeFromTheMultiDimension) {
  PointsCase c;
  c.dims = {scaleOf(DimMode::XAxis, 0, 10, {}), scaleOf(DimMode::YAxis, 0, 10, {}),
            scaleOf(DimMode::Multi, 0, 10, {1, 3, 5, 7, 9}, 0, 1)};
  c.columns = {{1, 2, 3, 4, 5, 6}, {1, 1, 1, 1, 1, 1}, {1, 2, 5, 7, 9.5, 11}};
  RecordingCanvas canvas(1000, 700);
  plotPoints(canvas, 1000, 700, c.columns, rangesOf(c.columns), c.dims, 0, 1);
  EXPECT_EQ(canvas.calls(), (std::vector<std::string>{"beginPixels", "endPixels"}));
  // x = 300 + 63 * value, y = 670 - 66.
  EXPECT_EQ(canvas.pixel(363, 604), 0xFFFF0000u);                   // red
  EXPECT_EQ(canvas.pixel(426, 604), 0xFF00FF00u);                   // green, the later of two ticks
  EXPECT_EQ(canvas.pixel(489, 604), 0xFF000000u);                   // black, the middle tick
  EXPECT_EQ(canvas.pixel(552, 604), 0xFF0000FFu);                   // blue
  EXPECT_EQ(canvas.pixel(615, 604), 0xFFFF00FFu);                   // magenta
  EXPECT_EQ(canvas.pixel(678, 604), RecordingCanvas::kBackground);  // near no tick
}

TEST(PlotPoints, RowsStopAtTheShortestColumnAndEmptyTablesDrawNothing) {
  PointsCase c;
  c.dims = {scaleOf(DimMode::XAxis, 0, 10, {}), scaleOf(DimMode::YAxis, 0, 10, {})};
  c.columns = {std::vector<double>(5000, 1.0), std::vector<double>(4500, 1.0)};
  c.columns[0][4499] = 2;
  c.columns[0][4500] = 3;
  RecordingCanvas canvas(1000, 700);
  plotPoints(canvas, 1000, 700, c.columns, rangesOf(c.columns), c.dims, 0, 1);
  EXPECT_EQ(canvas.pixel(426, 604), 0xFF000000u);
  EXPECT_EQ(canvas.pixel(489, 604), RecordingCanvas::kBackground);

  c.columns = {{}, {}};
  RecordingCanvas empty(1000, 700);
  plotPoints(empty, 1000, 700, c.columns, rangesOf(c.columns), c.dims, 0, 1);
  for (const std::uint32_t p : empty.memory()) ASSERT_EQ(p, RecordingCanvas::kBackground);

  c.columns = {};
  plotPoints(empty, 1000, 700, c.columns, {}, c.dims, 0, 1);
  for (const std::uint32_t p : empty.memory()) ASSERT_EQ(p, RecordingCanvas::kBackground);
}

TEST(PlotPoints, ClientBelowTheMinimumLeavesOutPixelsOffTheImage) {
  // The plot rectangle stays 300..600 x 10..210; the image is 320 x 50.
  PointsCase c;
  c.dims = {scaleOf(DimMode::XAxis, 0, 300, {}), scaleOf(DimMode::YAxis, 0, 200, {})};
  c.columns = {{0, 19, 20, 300, 0, 19}, {200, 200, 200, 200, 160, 161}};
  c.ranges = rangesOf(c.columns);
  RecordingCanvas canvas(320, 50);
  plotPoints(canvas, 320, 50, c.columns, c.ranges, c.dims, 0, 1);
  EXPECT_EQ(canvas.pixel(300, 10), 0xFF000000u);
  EXPECT_EQ(canvas.pixel(319, 10), 0xFF000000u);
  EXPECT_EQ(canvas.pixel(300, 49), RecordingCanvas::kBackground);
  EXPECT_EQ(canvas.pixel(319, 49), 0xFF000000u);
  expectSamePixels(c, 320, 50);
}

struct Draws {
  std::mt19937_64 random;
  double uniform(double a, double b) { return std::uniform_real_distribution<>(a, b)(random); }
  bool chance(double p) { return std::bernoulli_distribution(p)(random); }
  std::size_t below(std::size_t n) { return static_cast<std::size_t>(random() % n); }
};

// A scale over a random range with five ticks, in any mode. The tolerance is none, one that
// makes neighbouring windows just touch (as at start-up), or any up to overlapping windows.
DimScale randomScale(Draws& draw) {
  DimScale d;
  d.minValue = draw.uniform(-100, 100);
  d.maxValue = d.minValue + draw.uniform(0.001, 50);
  const double width = d.maxValue - d.minValue;
  d.center = d.minValue + draw.uniform(0, width);
  const double pick = draw.uniform(0, 1);
  d.tolerance = pick < 0.1 ? 0 : pick < 0.25 ? width / 10 : draw.uniform(0, width / 4);
  for (int k = 0; k < 5; ++k) d.ticks.push_back(d.minValue + width * (k + 0.5) / 5);
  static constexpr DimMode kModes[] = {DimMode::Free, DimMode::Band, DimMode::Multi, DimMode::XAxis,
                                       static_cast<DimMode>(7)};
  d.mode = kModes[draw.below(5)];
  return d;
}

// Two to six dimensions, the X and Y dimension mostly in their axis modes.
void addRandomDimensions(Draws& draw, PointsCase& c) {
  const std::size_t dimCount = 2 + draw.below(5);
  for (std::size_t j = 0; j < dimCount; ++j) c.dims.push_back(randomScale(draw));
  c.xDim = static_cast<int>(draw.below(dimCount));
  c.yDim = static_cast<int>(draw.below(dimCount));
  if (!draw.chance(0.15)) c.dims[c.xDim].mode = DimMode::XAxis;
  if (c.yDim != c.xDim && !draw.chance(0.15)) c.dims[c.yDim].mode = DimMode::YAxis;
}

// Every value at which one of the dimension's tests changes its answer.
std::vector<double> edgesOf(const DimScale& d) {
  std::vector<double> edges = {d.minValue, d.maxValue, d.center - d.tolerance,
                               d.center + d.tolerance};
  for (const double t : d.ticks) {
    edges.push_back(t - d.tolerance);
    edges.push_back(t + d.tolerance);
  }
  return edges;
}

// The edges of the windows that the dimension's mode tests; every edge for a free dimension.
std::vector<double> testedEdgesOf(const DimScale& d) {
  switch (d.mode) {
    case DimMode::Band:
      return {d.center - d.tolerance, d.center + d.tolerance};
    case DimMode::XAxis:
    case DimMode::YAxis:
      return {d.minValue, d.maxValue};
    case DimMode::Multi: {
      std::vector<double> edges;
      for (const double t : d.ticks) {
        edges.push_back(t - d.tolerance);
        edges.push_back(t + d.tolerance);
      }
      return edges;
    }
    default:
      return edgesOf(d);
  }
}

// An edge, or the value one step below or above it.
double nearEdge(Draws& draw, const std::vector<double>& edges) {
  const double v = edges[draw.below(edges.size())];
  return draw.chance(0.3) ? std::nextafter(v, draw.chance(0.5) ? -1e308 : 1e308) : v;
}

// Any value of the dimension's range or of a fifth of it beyond either end.
double anyValue(Draws& draw, const DimScale& d) {
  const double reach = 0.2 * (d.maxValue - d.minValue);
  return draw.uniform(d.minValue - reach, d.maxValue + reach);
}

// Values in no order, so that nearly every block reaches across every window.
std::vector<double> scatteredColumn(Draws& draw, const DimScale& d, std::size_t length) {
  const std::vector<double> edges = edgesOf(d);
  std::vector<double> column;
  for (std::size_t i = 0; i < length; ++i) {
    const double pick = draw.uniform(0, 1);
    column.push_back(pick < 0.02 ? kNaN : pick < 0.3 ? nearEdge(draw, edges) : anyValue(draw, d));
  }
  return column;
}

// Sorted values, rising or falling, with runs of equal values on the edges: block by block the
// column enters a window, lies inside it and leaves it again.
std::vector<double> sortedColumn(Draws& draw, const DimScale& d, std::size_t length) {
  const std::vector<double> edges = testedEdgesOf(d);
  std::vector<double> column;
  for (std::size_t i = 0; i < length; ++i) {
    column.push_back(draw.chance(0.3) ? nearEdge(draw, edges) : anyValue(draw, d));
  }
  std::sort(column.begin(), column.end());
  if (draw.chance(0.5)) std::reverse(column.begin(), column.end());
  return column;
}

// Runs of one value on an edge or a step beside it, runs between two such values that reach
// both, and runs of any value; the runs fill whole blocks or end anywhere. So blocks lie wholly
// on a window's edge, just outside it, exactly between two edges, or across them.
std::vector<double> runsColumn(Draws& draw, const DimScale& d, std::size_t length) {
  const std::vector<double> edges = testedEdgesOf(d);
  const bool wholeBlocks = draw.chance(0.5);
  std::vector<double> column;
  while (column.size() < length) {
    const std::size_t run = wholeBlocks ? kRangeBlockRows : 1 + draw.below(2 * kRangeBlockRows);
    const double a = nearEdge(draw, edges);
    const double b = nearEdge(draw, edges);
    const double pick = draw.uniform(0, 1);
    for (std::size_t i = 0; i < run && column.size() < length; ++i) {
      double v = a;
      if (pick > 0.8) {
        v = anyValue(draw, d);
      } else if (pick > 0.4 && i > 0) {
        v = i == 1 ? b : draw.uniform(std::min(a, b), std::max(a, b));
      }
      column.push_back(v);
    }
  }
  return column;
}

// A NaN in some blocks, often among their first eight values: there it leaves the block's
// largest value short of the largest of the others.
void addNaNs(Draws& draw, std::vector<double>& column) {
  for (std::size_t start = 0; start < column.size(); start += kRangeBlockRows) {
    if (!draw.chance(0.2)) continue;
    const std::size_t count = std::min(kRangeBlockRows, column.size() - start);
    column[start + draw.below(draw.chance(0.5) ? std::min<std::size_t>(count, 8) : count)] = kNaN;
  }
}

// Every column's block ranges, or some column's left out, or for some column ranges of the
// wrong number of blocks that claim values no window holds: such ranges must be ignored. The
// range of a block with a NaN promises nothing of its largest value; here it often claims one
// below every window.
std::vector<std::vector<ValueRange>> someRangesOf(Draws& draw,
                                                  const std::vector<std::vector<double>>& columns) {
  std::vector<std::vector<ValueRange>> ranges = rangesOf(columns);
  for (auto& column : ranges) {
    for (ValueRange& r : column) {
      if (std::isnan(r.smallest) && draw.chance(0.5)) r.largest = -1e308;
    }
  }
  const double pick = draw.uniform(0, 1);
  const std::size_t j = draw.below(ranges.size());
  if (pick < 0.15) {
    ranges.resize(j);
  } else if (pick < 0.3 && !columns[j].empty()) {
    ranges[j].clear();
  } else if (pick < 0.45) {
    ranges[j].assign(ranges[j].size() + 1, ValueRange{1e300, 1e300});
  }
  return ranges;
}

// Values drawn to hit the bounds of every test exactly and one step beside them, with NaNs and
// plain random values, over several blocks of rows and columns of unequal length.
TEST(PlotPoints, MatchesTheRowByRowRuleOnRandomTables) {
  Draws draw{std::mt19937_64(20240611)};
  const std::vector<std::pair<int, int>> clients = {{1000, 700}, {671, 241}, {640, 480},
                                                    {450, 120},  {301, 5},   {1920, 1080}};

  for (int round = 0; round < 60; ++round) {
    PointsCase c;
    addRandomDimensions(draw, c);
    const std::size_t rows = draw.below(12000);
    for (const DimScale& d : c.dims) {
      const std::size_t length = draw.chance(0.2) ? rows + draw.below(50) : rows;
      c.columns.push_back(scatteredColumn(draw, d, length));
    }
    c.ranges = rangesOf(c.columns);
    const auto [w, h] = clients[round % clients.size()];
    expectSamePixels(c, w, h);
  }
}

// Tables whose blocks lie wholly inside, wholly outside and across every window, on their edges
// and one step beside them, with NaNs and a last block of any length: every block that can be
// left unread and every test that can be left out, with the block ranges as the reader makes
// them, partly missing, or of the wrong length.
TEST(PlotPoints, MatchesTheRowByRowRuleOnTablesOfOrderedBlocks) {
  Draws draw{std::mt19937_64(20250110)};
  using Layout = std::function<std::vector<double>(Draws&, const DimScale&, std::size_t)>;
  // The layouts from this one on make runs.
  constexpr std::size_t kFirstRuns = 2;
  const std::vector<Layout> layouts = {sortedColumn, scatteredColumn, runsColumn, runsColumn};

  for (int round = 0; round < 150; ++round) {
    PointsCase c;
    addRandomDimensions(draw, c);
    const std::size_t rows =
        draw.below(7) * kRangeBlockRows + (draw.chance(0.3) ? 0 : draw.below(kRangeBlockRows));
    std::vector<std::size_t> layoutOf(c.dims.size());
    for (std::size_t& layout : layoutOf) layout = draw.below(layouts.size());
    // Runs on both axes would put whole blocks on one pixel, where a wrong one could hide.
    if (layoutOf[c.xDim] >= kFirstRuns) layoutOf[c.yDim] = draw.below(kFirstRuns);
    for (std::size_t j = 0; j < c.dims.size(); ++j) {
      const std::size_t length = draw.chance(0.2) ? rows + draw.below(6000) : rows;
      c.columns.push_back(layouts[layoutOf[j]](draw, c.dims[j], length));
      if (draw.chance(0.3)) addNaNs(draw, c.columns.back());
    }
    c.ranges = someRangesOf(draw, c.columns);
    if (round % 2 == 0) {
      expectSamePixels(c, 1000, 700);
    } else {
      expectSamePixels(c, 1920, 1080);
    }
  }
}

// Windows [0.4, 1.6], [1.4, 2.6], [2.4, 3.6], [3.4, 4.6], [4.4, 5.6]; each block cycles
// through its values and is drawn at x = its index, y = its value. An earlier Multi dimension,
// tested row by row in every block, sets colours that the later one must overwrite.
TEST(PlotPoints, MultiBlocksTakeTheColourOfTheLastWindowTheyMeet) {
  const std::vector<std::vector<double>> blocks = {
      {1.5},        // in windows 0 and 1: green
      {1.0, 1.45},  // in window 0, reaching into window 1: red and green
      {1.5, 1.6},   // in windows 0 and 1, up to the edge of 0: green
      {4.4},        // on the lower edge of window 4, in window 3: magenta
      {5.6, 5.61},  // on and beyond the upper edge of window 4
      {5.61},       // beyond every window
      {0.39, 0.4},  // below and on the lower edge of window 0
      {2.7, 3.3},   // in window 2 alone: black
      {3.0, kNaN},  // a NaN beside a value in window 2
      {3.5},        // a short last block in windows 2 and 3: blue
  };
  PointsCase c;
  const DimScale multi = scaleOf(DimMode::Multi, 0, 10, {1, 2, 3, 4, 5}, 0, 0.6);
  c.dims = {scaleOf(DimMode::XAxis, 0, 10, {}), scaleOf(DimMode::YAxis, 0, 10, {}), multi, multi};
  c.columns.assign(4, {});
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    const std::size_t count = b + 1 < blocks.size() ? kRangeBlockRows : 100;
    for (std::size_t i = 0; i < count; ++i) {
      c.columns[0].push_back(static_cast<double>(b));
      c.columns[1].push_back(blocks[b][i % blocks[b].size()]);
      c.columns[2].push_back(i % 2 == 0 ? 1.0 : 1.45);
    }
  }
  c.columns[3] = c.columns[1];
  c.ranges = rangesOf(c.columns);
  expectSamePixels(c, 1000, 700);

  RecordingCanvas canvas(1000, 700);
  plotPoints(canvas, 1000, 700, c.columns, c.ranges, c.dims, 0, 1);
  EXPECT_EQ(canvas.pixel(300, 571), 0xFF00FF00u);  // 1.5: green
  EXPECT_EQ(canvas.pixel(363, 604), 0xFFFF0000u);  // 1.0: red
  EXPECT_EQ(canvas.pixel(363, 575), 0xFF00FF00u);  // 1.45: green
  EXPECT_EQ(canvas.pixel(489, 380), 0xFFFF00FFu);  // 4.4: magenta
  EXPECT_EQ(canvas.pixel(867, 439), 0xFF0000FFu);  // 3.5: blue
}

// Ranges that contradict the rows show which blocks are read and which tests are run.
PointsCase contradictingRanges() {
  PointsCase c;
  c.dims = {scaleOf(DimMode::XAxis, 0, 10, {}), scaleOf(DimMode::YAxis, 0, 10, {}),
            scaleOf(DimMode::Band, 0, 10, {}, 5, 1),
            scaleOf(DimMode::Multi, 0, 10, {1, 3, 5, 7, 9}, 0, 1)};
  // Block b is drawn at x = b + 1: pixel 363, 426 or 489 at y = 604.
  const std::size_t rows = 3 * kRangeBlockRows;
  c.columns.assign(4, std::vector<double>(rows));
  for (std::size_t i = 0; i < rows; ++i) {
    const std::size_t block = i / kRangeBlockRows;
    c.columns[0][i] = static_cast<double>(block + 1);
    c.columns[1][i] = 1;
    c.columns[2][i] = block == 2 ? 8 : 5;
    c.columns[3][i] = 5;
  }
  c.ranges = rangesOf(c.columns);
  // Block 0 claims to lie beyond the band, block 2 within it; block 1 claims to lie in the
  // window of tick 3 alone.
  c.ranges[2][0] = {6.5, 7};
  c.ranges[2][2] = {5, 5};
  c.ranges[3][1] = {6.5, 7.5};
  return c;
}

void expectRangesDecided(const RecordingCanvas& canvas) {
  EXPECT_EQ(canvas.pixel(363, 604), RecordingCanvas::kBackground);
  EXPECT_EQ(canvas.pixel(426, 604), 0xFF0000FFu);
  EXPECT_EQ(canvas.pixel(489, 604), 0xFF000000u);
}

TEST(PlotPoints, BlockRangesDecideWithoutReadingTheRows) {
  const PointsCase c = contradictingRanges();
  RecordingCanvas canvas(1000, 700);
  plotPoints(canvas, 1000, 700, c.columns, c.ranges, c.dims, 0, 1);
  expectRangesDecided(canvas);

  // Without them every row is tested: blocks 0 and 1 in black, block 2 outside the band.
  RecordingCanvas plain(1000, 700);
  plotPoints(plain, 1000, 700, c.columns, {}, c.dims, 0, 1);
  EXPECT_EQ(plain.pixel(363, 604), 0xFF000000u);
  EXPECT_EQ(plain.pixel(426, 604), 0xFF000000u);
  EXPECT_EQ(plain.pixel(489, 604), RecordingCanvas::kBackground);
}

TEST(PlotPoints, PaintPlotsWithTheStatesBlockRanges) {
  PointsCase c = contradictingRanges();
  AppState state;
  state.columns = std::move(c.columns);
  state.blockRanges = std::move(c.ranges);
  state.dims = std::move(c.dims);
  RecordingCanvas canvas(1000, 700);
  paintClientArea(state, canvas, 1000, 700, 1000);
  expectRangesDecided(canvas);
}

}  // namespace
