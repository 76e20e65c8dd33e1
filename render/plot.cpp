#include "render/plot.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "data/value_ranges.h"
#include "render/number_text.h"

PlotRect plotRectFor(int w, int h) {
  return PlotRect{300, 10, w >= 670 ? w - 70 : 600, h >= 240 ? h - 30 : 210};
}

namespace {

// Offsets are cut to this size before they become ints, so that a value far outside the
// displayed range still gives a coordinate that every later sum can hold.
constexpr double kOffsetLimit = 1 << 28;

// The filter runs over the blocks of the block ranges: the flags and colour indices of a block
// and the block's share of every tested column stay in the fastest caches.
constexpr std::size_t kBlockRows = kRangeBlockRows;

// Row indices of a block in order: the rows to plot of a block that no test had to read.
constexpr auto kEveryRow = [] {
  std::array<std::uint16_t, kBlockRows> rows{};
  for (std::size_t i = 0; i < kBlockRows; ++i) rows[i] = static_cast<std::uint16_t>(i);
  return rows;
}();

// Beyond the five tick colours every index is black; indices are kept in a byte up to here.
constexpr std::uint8_t kFirstBlackBeyondTicks = 5;

// Maps a value of one dimension to a pixel coordinate: origin + trunc((v - minValue) * scale).
struct AxisMap {
  int origin;
  double minValue;
  double scale;
};

// The integer difference of the edges is converted to double before the division.
AxisMap horizontalMap(const PlotRect& r, const DimScale& dim) {
  return AxisMap{r.left, dim.minValue, (r.right - r.left) / (dim.maxValue - dim.minValue)};
}

// Negative scale: larger values lie higher.
AxisMap verticalMap(const PlotRect& r, const DimScale& dim) {
  return AxisMap{r.bottom, dim.minValue, (r.top - r.bottom) / (dim.maxValue - dim.minValue)};
}

int gridCoordinate(const AxisMap& map, double value) {
  const double offset = (value - map.minValue) * map.scale;
  if (!(offset > -kOffsetLimit)) return map.origin - static_cast<int>(kOffsetLimit);
  if (offset > kOffsetLimit) return map.origin + static_cast<int>(kOffsetLimit);
  return map.origin + static_cast<int>(offset);
}

bool isDimension(int index, std::size_t count) {
  return index >= 0 && static_cast<std::size_t>(index) < count;
}

std::uint32_t pixelFromColorRef(ColorRef c) {
  const std::uint32_t red = c & 0xFF;
  const std::uint32_t green = (c >> 8) & 0xFF;
  const std::uint32_t blue = (c >> 16) & 0xFF;
  return 0xFF000000u | red << 16 | green << 8 | blue;
}

struct ValueWindow {
  double low;
  double high;
};

// One non-Free dimension as the block filter tests it. A range test (Band, XAxis, YAxis) has a
// single window; a Multi test has one per tick and sets the colour index of the rows it keeps.
// `ranges` is null where the column has no block ranges to trust.
struct DimensionTest {
  const double* values;
  const ValueRange* ranges;
  bool setsColor;
  std::vector<ValueWindow> windows;
};

std::vector<DimensionTest> dimensionTests(const std::vector<std::vector<double>>& columns,
                                          const std::vector<std::vector<ValueRange>>& blockRanges,
                                          const std::vector<DimScale>& dims, std::size_t dimCount) {
  std::vector<DimensionTest> tests;
  for (std::size_t j = 0; j < dimCount; ++j) {
    const DimScale& d = dims[j];
    const double* values = columns[j].data();
    // Ranges of a longer column than the plotted rows still bound the rows plotted.
    const ValueRange* ranges =
        j < blockRanges.size() && coversRows(blockRanges[j], columns[j].size())
            ? blockRanges[j].data()
            : nullptr;
    switch (d.mode) {
      case DimMode::Band:
        tests.push_back(
            {values, ranges, false, {{d.center - d.tolerance, d.center + d.tolerance}}});
        break;
      case DimMode::XAxis:
      case DimMode::YAxis:
        tests.push_back({values, ranges, false, {{d.minValue, d.maxValue}}});
        break;
      case DimMode::Multi: {
        DimensionTest test{values, ranges, true, {}};
        for (const double t : d.ticks) test.windows.push_back({t - d.tolerance, t + d.tolerance});
        tests.push_back(std::move(test));
        break;
      }
      default:
        break;
    }
  }
  return tests;
}

std::uint8_t tickColorIndex(std::size_t k) {
  return static_cast<std::uint8_t>(std::min<std::size_t>(k, kFirstBlackBeyondTicks));
}

// What one test does with one block of rows.
enum class BlockVerdict : std::uint8_t { NoRowPasses, EveryRowPasses, TestRows };

struct BlockStep {
  BlockVerdict verdict;
  // For a Multi test that every row passes: the colour index all of them take.
  std::uint8_t color;
};

// Only the last window that a block meets can give its rows their colour, and only when it
// holds the whole block does every row pass with that colour. Comparisons with a NaN bound are
// false, so such a window meets every block and holds none: its rows are tested.
BlockStep blockStep(const DimensionTest& test, std::size_t block) {
  if (test.ranges == nullptr) return {BlockVerdict::TestRows, 0};
  const ValueRange range = test.ranges[block];
  // A block with a NaN has no trustworthy largest value either; only its rows can tell.
  if (!(range.smallest <= range.largest)) return {BlockVerdict::TestRows, 0};
  for (std::size_t k = test.windows.size(); k-- > 0;) {
    const ValueWindow w = test.windows[k];
    if (range.largest < w.low || range.smallest > w.high) continue;
    if (w.low <= range.smallest && range.largest <= w.high) {
      return {BlockVerdict::EveryRowPasses, tickColorIndex(k)};
    }
    return {BlockVerdict::TestRows, 0};
  }
  return {BlockVerdict::NoRowPasses, 0};
}

// The loops below are kept free of early exits and write one array each, so that the compiler
// turns them into vector code; NaN fails every comparison and so every window.
void keepInWindow(const double* values, std::size_t count, ValueWindow w, std::uint8_t* pass) {
  for (std::size_t i = 0; i < count; ++i) {
    const double v = values[i];
    pass[i] = w.low <= v && v <= w.high ? pass[i] : 0;
  }
}

// Ticks are visited in order and each match overwrites the earlier ones, so the highest matching
// tick wins, as in the row-by-row rule.
void keepNearTicks(const double* values, std::size_t count, const std::vector<ValueWindow>& windows,
                   std::uint8_t* pass, std::uint8_t* color) {
  // Per row 0 when no tick matched, else the colour index of the last match + 1.
  std::array<std::uint8_t, kBlockRows> nearest{};
  for (std::size_t k = 0; k < windows.size(); ++k) {
    const ValueWindow w = windows[k];
    const auto mark = static_cast<std::uint8_t>(tickColorIndex(k) + 1);
    for (std::size_t i = 0; i < count; ++i) {
      const double v = values[i];
      nearest[i] = w.low <= v && v <= w.high ? mark : nearest[i];
    }
  }
  for (std::size_t i = 0; i < count; ++i) pass[i] = nearest[i] != 0 ? pass[i] : 0;
  for (std::size_t i = 0; i < count; ++i) color[i] = nearest[i] != 0 ? nearest[i] - 1 : color[i];
}

// The point's coordinate when its offset lies within the limit, else false; NaN lies within no
// limit. Points beyond it fall outside any image, so nothing is lost.
bool pointCoordinate(double value, const AxisMap& map, std::int64_t& coordinate) {
  const double offset = (value - map.minValue) * map.scale;
  if (!(offset > -kOffsetLimit && offset < kOffsetLimit)) return false;
  coordinate = map.origin + static_cast<std::int64_t>(offset);
  return true;
}

}  // namespace

void drawFrameAndGrid(Canvas& canvas, int clientRight, int clientBottom,
                      const std::vector<DimScale>& dims, int xDim, int yDim) {
  const std::uintptr_t previousPen = canvas.selectFramePen();
  const PlotRect r = plotRectFor(clientRight, clientBottom);

  canvas.moveTo(r.left, r.bottom);
  canvas.lineTo(r.left, r.top);
  canvas.lineTo(r.right, r.top);
  canvas.lineTo(r.right, r.bottom);
  canvas.lineTo(r.left, r.bottom);

  if (isDimension(xDim, dims.size())) {
    const AxisMap map = horizontalMap(r, dims[xDim]);
    for (const double t : dims[xDim].ticks) {
      const int x = gridCoordinate(map, t);
      canvas.moveTo(x, r.bottom);
      canvas.lineTo(x, r.top);
      canvas.textOut(x - 5, r.bottom + 5, formatNumber(t));
    }
  }
  if (isDimension(yDim, dims.size())) {
    const AxisMap map = verticalMap(r, dims[yDim]);
    for (const double t : dims[yDim].ticks) {
      const int y = gridCoordinate(map, t);
      canvas.moveTo(r.left, y);
      canvas.lineTo(r.right, y);
      canvas.textOut(r.right + 5, y - 5, formatNumber(t));
    }
  }

  canvas.restorePen(previousPen);
}

ColorRef tickColor(unsigned g) {
  static constexpr std::array<ColorRef, 5> kTickColors = {0x000000FF, 0x0000FF00, 0x00000000,
                                                          0x00FF0000, 0x00FF00FF};
  return g < kTickColors.size() ? kTickColors[g] : 0x00000000;
}

std::optional<unsigned> rowPasses(std::span<const double> rowValues,
                                  const std::vector<DimScale>& dims) {
  unsigned g = 2;
  const std::size_t count = std::min(rowValues.size(), dims.size());
  for (std::size_t j = 0; j < count; ++j) {
    const double v = rowValues[j];
    const DimScale& d = dims[j];
    switch (d.mode) {
      case DimMode::Band:
        if (!(d.center - d.tolerance <= v && v <= d.center + d.tolerance)) return std::nullopt;
        break;
      case DimMode::Multi: {
        bool near = false;
        for (std::size_t k = 0; k < d.ticks.size(); ++k) {
          if (d.ticks[k] - d.tolerance <= v && v <= d.ticks[k] + d.tolerance) {
            g = static_cast<unsigned>(k);
            near = true;
          }
        }
        if (!near) return std::nullopt;
        break;
      }
      case DimMode::XAxis:
      case DimMode::YAxis:
        if (!(d.minValue <= v && v <= d.maxValue)) return std::nullopt;
        break;
      default:
        break;
    }
  }
  return g;
}

void plotPoints(Canvas& canvas, int clientRight, int clientBottom,
                const std::vector<std::vector<double>>& columns,
                const std::vector<std::vector<ValueRange>>& blockRanges,
                const std::vector<DimScale>& dims, int xDim, int yDim) {
  const std::size_t dimCount = std::min(columns.size(), dims.size());
  if (!isDimension(xDim, dimCount) || !isDimension(yDim, dimCount)) return;
  std::size_t rows = columns[0].size();
  for (const auto& column : columns) rows = std::min(rows, column.size());

  const PlotRect r = plotRectFor(clientRight, clientBottom);
  const AxisMap xMap = horizontalMap(r, dims[xDim]);
  const AxisMap yMap = verticalMap(r, dims[yDim]);
  const double* xs = columns[xDim].data();
  const double* ys = columns[yDim].data();
  const std::vector<DimensionTest> tests = dimensionTests(columns, blockRanges, dims, dimCount);
  std::vector<BlockStep> steps(tests.size());

  std::array<std::uint32_t, kFirstBlackBeyondTicks + 1> palette;
  for (unsigned g = 0; g < palette.size(); ++g) palette[g] = pixelFromColorRef(tickColor(g));

  const PixelImage image = canvas.beginPixels();
  if (image.pixels == nullptr) {
    canvas.endPixels();
    return;
  }
  const auto width = static_cast<std::uint64_t>(std::max(image.width, 0));
  const auto height = static_cast<std::uint64_t>(std::max(image.height, 0));

  std::array<std::uint8_t, kBlockRows> pass;
  std::array<std::uint8_t, kBlockRows> color;
  std::array<std::uint16_t, kBlockRows> passing;
  for (std::size_t block = 0, start = 0; start < rows; ++block, start += kBlockRows) {
    // Every verdict first, so that a block no row of which can pass costs no reading at all.
    bool anyRowCanPass = true;
    for (std::size_t t = 0; t < tests.size() && anyRowCanPass; ++t) {
      steps[t] = blockStep(tests[t], block);
      anyRowCanPass = steps[t].verdict != BlockVerdict::NoRowPasses;
    }
    if (!anyRowCanPass) continue;

    const std::size_t count = std::min(kBlockRows, rows - start);
    std::fill_n(pass.begin(), count, std::uint8_t{1});
    std::fill_n(color.begin(), count, std::uint8_t{2});
    bool rowsTested = false;
    for (std::size_t t = 0; t < tests.size(); ++t) {
      const DimensionTest& test = tests[t];
      // A later Multi test overwrites the colours of an earlier one, so the fill keeps its place
      // in the order of the tests.
      if (steps[t].verdict == BlockVerdict::EveryRowPasses) {
        if (test.setsColor) std::fill_n(color.begin(), count, steps[t].color);
        continue;
      }
      rowsTested = true;
      if (test.setsColor) {
        keepNearTicks(test.values + start, count, test.windows, pass.data(), color.data());
      } else {
        keepInWindow(test.values + start, count, test.windows[0], pass.data());
      }
    }

    // The passing rows' indices first, so that the pixel loop has no unpredictable branch.
    std::size_t passCount = count;
    if (rowsTested) {
      passCount = 0;
      for (std::size_t i = 0; i < count; ++i) {
        passing[passCount] = static_cast<std::uint16_t>(i);
        passCount += pass[i];
      }
    } else {
      std::copy_n(kEveryRow.begin(), count, passing.begin());
    }
    for (std::size_t n = 0; n < passCount; ++n) {
      const std::size_t i = passing[n];
      std::int64_t x = 0;
      std::int64_t y = 0;
      if (!pointCoordinate(xs[start + i], xMap, x) || !pointCoordinate(ys[start + i], yMap, y)) {
        continue;
      }
      if (static_cast<std::uint64_t>(x) >= width || static_cast<std::uint64_t>(y) >= height) {
        continue;
      }
      image.pixels[y * image.stride + x] = palette[color[i]];
    }
  }
  canvas.endPixels();
}
