#include "render/plot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

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
  std::vector<DimScale> dims;
  int xDim = 0;
  int yDim = 1;
};

// Plots with the canvas and with the plain rule into a buffer of the same shape, padding
// included, and expects the same memory.
void expectSamePixels(const PointsCase& c, int width, int height) {
  RecordingCanvas canvas(width, height);
  plotPoints(canvas, width, height, c.columns, c.dims, c.xDim, c.yDim);
  std::vector<std::uint32_t> expected(
      static_cast<std::size_t>(width + RecordingCanvas::kRowPadding) * height,
      RecordingCanvas::kBackground);
  referencePlot(expected, width + RecordingCanvas::kRowPadding, width, height, c.columns, c.dims,
                c.xDim, c.yDim);
  ASSERT_EQ(canvas.memory().size(), expected.size());
  std::size_t differing = 0;
  for (std::size_t i = 0; i < expected.size(); ++i) differing += canvas.memory()[i] != expected[i];
  EXPECT_EQ(differing, 0u) << "client " << width << " x " << height;
}

TEST(PlotPoints, MaxValueIsPlacedByTheFormulaEvenInsideTheEdge) {
  // (9.1 - 0) * (630 / 9.1) comes out just below 630, so the row lands on x = 929, not on the
  // right edge 930; 5.1 likewise lands on y = 11, one below the top edge.
  PointsCase c;
  c.dims = {scaleOf(DimMode::XAxis, 0, 9.1, {}), scaleOf(DimMode::YAxis, 0, 5.1, {})};
  c.columns = {{9.1, 0}, {5.1, 0}};
  RecordingCanvas canvas(1000, 700);
  plotPoints(canvas, 1000, 700, c.columns, c.dims, 0, 1);
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
  plotPoints(canvas, 1000, 700, c.columns, c.dims, 0, 1);
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
  plotPoints(canvas, 1000, 700, c.columns, c.dims, 0, 1);
  EXPECT_EQ(canvas.pixel(426, 604), 0xFF000000u);
  EXPECT_EQ(canvas.pixel(489, 604), RecordingCanvas::kBackground);

  c.columns = {{}, {}};
  RecordingCanvas empty(1000, 700);
  plotPoints(empty, 1000, 700, c.columns, c.dims, 0, 1);
  for (const std::uint32_t p : empty.memory()) ASSERT_EQ(p, RecordingCanvas::kBackground);

  c.columns = {};
  plotPoints(empty, 1000, 700, c.columns, c.dims, 0, 1);
  for (const std::uint32_t p : empty.memory()) ASSERT_EQ(p, RecordingCanvas::kBackground);
}

TEST(PlotPoints, ClientBelowTheMinimumLeavesOutPixelsOffTheImage) {
  // The plot rectangle stays 300..600 x 10..210; the image is 320 x 50.
  PointsCase c;
  c.dims = {scaleOf(DimMode::XAxis, 0, 300, {}), scaleOf(DimMode::YAxis, 0, 200, {})};
  c.columns = {{0, 19, 20, 300, 0, 19}, {200, 200, 200, 200, 160, 161}};
  RecordingCanvas canvas(320, 50);
  plotPoints(canvas, 320, 50, c.columns, c.dims, 0, 1);
  EXPECT_EQ(canvas.pixel(300, 10), 0xFF000000u);
  EXPECT_EQ(canvas.pixel(319, 10), 0xFF000000u);
  EXPECT_EQ(canvas.pixel(300, 49), RecordingCanvas::kBackground);
  EXPECT_EQ(canvas.pixel(319, 49), 0xFF000000u);
  expectSamePixels(c, 320, 50);
}

// Values drawn to hit the bounds of every test exactly and one step beside them, with NaNs and
// plain random values, over several blocks of rows and columns of unequal length.
TEST(PlotPoints, MatchesTheRowByRowRuleOnRandomTables) {
  std::mt19937_64 random(20240611);
  auto uniform = [&](double a, double b) { return std::uniform_real_distribution<>(a, b)(random); };
  auto chance = [&](double p) { return std::bernoulli_distribution(p)(random); };
  const std::vector<std::pair<int, int>> clients = {{1000, 700}, {671, 241}, {640, 480},
                                                    {450, 120},  {301, 5},   {1920, 1080}};

  for (int round = 0; round < 60; ++round) {
    PointsCase c;
    const int dimCount = 2 + static_cast<int>(random() % 5);
    for (int j = 0; j < dimCount; ++j) {
      DimScale d;
      d.minValue = uniform(-100, 100);
      d.maxValue = d.minValue + uniform(0.001, 50);
      const double width = d.maxValue - d.minValue;
      d.center = d.minValue + uniform(0, width);
      d.tolerance = chance(0.1) ? 0 : uniform(0, width / 4);
      for (int k = 0; k < 5; ++k) d.ticks.push_back(d.minValue + width * (k + 0.5) / 5);
      static constexpr DimMode kModes[] = {DimMode::Free, DimMode::Band, DimMode::Multi,
                                           DimMode::XAxis, static_cast<DimMode>(7)};
      d.mode = kModes[random() % 5];
      c.dims.push_back(d);
    }
    c.xDim = static_cast<int>(random() % dimCount);
    c.yDim = static_cast<int>(random() % dimCount);
    if (!chance(0.15)) c.dims[c.xDim].mode = DimMode::XAxis;
    if (c.yDim != c.xDim && !chance(0.15)) c.dims[c.yDim].mode = DimMode::YAxis;

    const std::size_t rows = random() % 12000;
    for (int j = 0; j < dimCount; ++j) {
      const DimScale& d = c.dims[j];
      std::vector<double> bounds = {d.minValue, d.maxValue, d.center - d.tolerance,
                                    d.center + d.tolerance};
      for (const double t : d.ticks) {
        bounds.push_back(t - d.tolerance);
        bounds.push_back(t + d.tolerance);
      }
      std::vector<double> column;
      const std::size_t length = chance(0.2) ? rows + random() % 50 : rows;
      for (std::size_t i = 0; i < length; ++i) {
        const double pick = uniform(0, 1);
        double v;
        if (pick < 0.02) {
          v = kNaN;
        } else if (pick < 0.3) {
          v = bounds[random() % bounds.size()];
          if (chance(0.3)) v = std::nextafter(v, chance(0.5) ? -1e308 : 1e308);
        } else {
          v = uniform(d.minValue - 0.2 * (d.maxValue - d.minValue),
                      d.maxValue + 0.2 * (d.maxValue - d.minValue));
        }
        column.push_back(v);
      }
      c.columns.push_back(std::move(column));
    }
    const auto [w, h] = clients[round % clients.size()];
    expectSamePixels(c, w, h);
  }
}

}  // namespace
