// The repaint's hot loop: filter and plot a table into the 1000 x 700 client image through the
// cairo canvas, as every repaint of the plot does.
//
// - BM_FilterAndPlot, BM_PlotAxesOnly: 10 000 000 random rows of six columns. Nearly every block
//   reaches across the windows, so nearly every row is tested: the cost of the row loops. Rows,
//   bytes of the tested columns and the share of one core's memory bandwidth (about 6.5 GB/s)
//   are reported per second for the full scan, which reads every tested column whole.
// - BM_ZoomedTimeAxis: the flight table repeated to 30 000 000 rows in its own order
//   (flights-30M.csv in $VELOPLOT_CORPUS or TMPDIR/veloplot-corpus; bench/fetch_flights.sh makes
//   it), loaded by start-up, with the X axis on the time narrowed to about a fiftieth of the
//   data's range around its middle. Most blocks lie beside that window and are not read.
// - BM_KeyStep: with VELOPLOT_REPAINT_TABLE=FILE, the whole repaint of that table after each of a
//   few key steps from the start-up view.
//
// Each comes with the block ranges (`ranges`, as the window paints) and with them withheld
// (`full_scan`, every row tested).
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "app/paint.h"
#include "app/startup.h"
#include "data/value_ranges.h"
#include "render/cairo_canvas.h"
#include "render/plot.h"
#include "scale/dim_scale.h"
#include "ui/commands.h"

namespace {

constexpr std::size_t kRows = 10'000'000;
constexpr int kColumns = 6;
constexpr int kClientWidth = 1000;
constexpr int kClientHeight = 700;
constexpr double kMemoryBytesPerSecond = 6.5e9;
constexpr double kZoomShareOfRange = 1.0 / 50;

using BlockRanges = std::vector<std::vector<ValueRange>>;

struct Table {
  std::vector<std::vector<double>> columns;
  BlockRanges ranges;
  std::vector<DimScale> scales;
};

// Columns of different spreads and shapes, each scaled as start-up scales it.
const Table& benchTable() {
  static const Table table = [] {
    Table t;
    std::mt19937_64 random(20240611);
    std::normal_distribution<double> normal(0, 1);
    std::uniform_real_distribution<double> uniform(-1000, 1000);
    t.columns.assign(kColumns, std::vector<double>(kRows));
    for (std::size_t i = 0; i < kRows; ++i) {
      const double a = normal(random);
      t.columns[0][i] = a;
      t.columns[1][i] = 0.5 * a + 0.6 * normal(random);
      t.columns[2][i] = uniform(random);
      t.columns[3][i] = 1e-4 * normal(random);
      t.columns[4][i] = uniform(random);
      t.columns[5][i] = 5000 + 300 * normal(random);
    }
    for (const auto& column : t.columns) {
      t.ranges.push_back(blockRangesOf(column));
      t.scales.push_back(autoScale(column));
    }
    return t;
  }();
  return table;
}

std::size_t rowsOf(const std::vector<std::vector<double>>& columns) {
  return columns.empty() ? 0 : columns[0].size();
}

// Calls `paint` once per iteration on a client-sized image; rows per second are the table's
// rows, whether read or not.
void runOnImage(benchmark::State& state, std::size_t rows,
                const std::function<void(CairoCanvas&)>& paint) {
  cairo_surface_t* image =
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kClientWidth, kClientHeight);
  {
    CairoCanvas canvas(image);
    for (auto _ : state) {
      paint(canvas);
      benchmark::ClobberMemory();
    }
  }
  cairo_surface_destroy(image);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * rows));
}

void runPlot(benchmark::State& state, const std::vector<std::vector<double>>& columns,
             const BlockRanges& ranges, const std::vector<DimScale>& dims, int xDim, int yDim) {
  runOnImage(state, rowsOf(columns), [&](CairoCanvas& canvas) {
    plotPoints(canvas, kClientWidth, kClientHeight, columns, ranges, dims, xDim, yDim);
  });
}

void runRandomTable(benchmark::State& state, const std::vector<DimScale>& dims, bool withRanges) {
  const Table& table = benchTable();
  runPlot(state, table.columns, withRanges ? table.ranges : BlockRanges{}, dims, 0, 1);
  if (withRanges) return;
  int testedDims = 0;
  for (const DimScale& d : dims) testedDims += d.mode != DimMode::Free;
  const double bytesPerPass = static_cast<double>(kRows) * sizeof(double) * testedDims;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytesPerPass));
  state.counters["memory_share"] = benchmark::Counter(
      state.iterations() * bytesPerPass / kMemoryBytesPerSecond, benchmark::Counter::kIsRate);
}

std::vector<DimScale> axisScales() {
  std::vector<DimScale> dims = benchTable().scales;
  dims[0].mode = DimMode::XAxis;
  dims[1].mode = DimMode::YAxis;
  for (DimScale& d : dims) deriveScale(d);
  return dims;
}

// X and Y on two columns, a band on a third and five near values on a fourth; two stay free.
void BM_FilterAndPlot(benchmark::State& state, bool withRanges) {
  std::vector<DimScale> dims = axisScales();
  dims[2].mode = DimMode::Band;
  dims[3].mode = DimMode::Multi;
  for (DimScale& d : dims) deriveScale(d);
  runRandomTable(state, dims, withRanges);
}

// Only the axes: nearly every row is drawn, so this is the pixel writes' worst case.
void BM_PlotAxesOnly(benchmark::State& state, bool withRanges) {
  runRandomTable(state, axisScales(), withRanges);
}

std::filesystem::path corpusFolder() {
  if (const char* given = std::getenv("VELOPLOT_CORPUS")) return given;
  return std::filesystem::temp_directory_path() / "veloplot-corpus";
}

// A table as start-up leaves it, loaded once per run; null (and a message) when it did not load.
AppState* loadedOnce(const std::string& path) {
  static std::vector<std::pair<std::string, std::unique_ptr<AppState>>> loaded;
  for (const auto& [loadedPath, state] : loaded) {
    if (loadedPath == path) return state.get();
  }
  auto state = std::make_unique<AppState>();
  startUpWithTokens(*state, {path});
  if (state->messageText) {
    std::fprintf(stderr, "repaint_bench: %s: %s\n", path.c_str(), state->messageText->c_str());
    state.reset();
  }
  return loaded.emplace_back(path, std::move(state)).second.get();
}

// The flight table's time is its first column and start-up's X axis.
void BM_ZoomedTimeAxis(benchmark::State& state, bool withRanges) {
  const std::string path = (corpusFolder() / "flights-30M.csv").string();
  const AppState* flights = loadedOnce(path);
  if (flights == nullptr) {
    state.SkipWithError("no flight table: run bench/fetch_flights.sh");
    return;
  }
  double smallest = 0;
  double largest = 0;
  columnRange(flights->blockRanges[0], smallest, largest);
  std::vector<DimScale> dims = flights->dims;
  DimScale& time = dims[0];
  while (time.maxValue - time.minValue > kZoomShareOfRange * (largest - smallest) &&
         narrowScale(time)) {
  }
  recenterScale(time, (smallest + largest) / 2);
  state.counters["window_share"] = (time.maxValue - time.minValue) / (largest - smallest);
  runPlot(state, flights->columns, withRanges ? flights->blockRanges : BlockRanges{}, dims,
          flights->xDim, flights->yDim);
}

struct KeyStep {
  const char* name;
  std::function<void(AppState&)> keys;
};

void pressKey(AppState& state, int virtualKey, int times = 1) {
  for (int i = 0; i < times; ++i) onKeyDown(state, virtualKey);
}

// Typical first steps on a table of six columns; X is selected at start-up.
const std::vector<KeyStep>& keySteps() {
  static const std::vector<KeyStep> steps = {
      {"start", [](AppState&) {}},
      {"band_on_third",
       [](AppState& s) {
         pressKey(s, kKeyPageDown, 2);
         onChar(s, 'c');
       }},
      {"band_and_near_values",
       [](AppState& s) {
         pressKey(s, kKeyPageDown, 2);
         onChar(s, 'c');
         pressKey(s, kKeyPageDown);
         onChar(s, 'm');
       }},
      {"x_narrowed_3_steps", [](AppState& s) { pressKey(s, kKeyDown, 3); }},
      {"x_narrowed_and_shifted",
       [](AppState& s) {
         pressKey(s, kKeyDown, 3);
         pressKey(s, kKeyRight, 2);
       }},
  };
  return steps;
}

// Every step starts from the start-up view: the keys act on a copy of the loaded state whose
// columns and ranges are lent to it for the paint only.
void BM_KeyStep(benchmark::State& state, const std::string& path, const KeyStep& step,
                bool withRanges) {
  AppState* table = loadedOnce(path);
  if (table == nullptr) {
    state.SkipWithError("the table did not load");
    return;
  }
  std::vector<std::vector<double>> columns = std::move(table->columns);
  BlockRanges ranges = std::move(table->blockRanges);
  AppState view = *table;
  step.keys(view);
  view.columns = std::move(columns);
  if (withRanges) view.blockRanges = std::move(ranges);
  runOnImage(state, rowCount(view), [&](CairoCanvas& canvas) {
    paintClientArea(view, canvas, kClientWidth, kClientHeight, kClientWidth);
  });
  table->columns = std::move(view.columns);
  table->blockRanges = withRanges ? std::move(view.blockRanges) : std::move(ranges);
}

}  // namespace

BENCHMARK_CAPTURE(BM_FilterAndPlot, ranges, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_FilterAndPlot, full_scan, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_PlotAxesOnly, ranges, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_PlotAxesOnly, full_scan, false)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_ZoomedTimeAxis, ranges, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_ZoomedTimeAxis, full_scan, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (const char* path = std::getenv("VELOPLOT_REPAINT_TABLE")) {
    for (const KeyStep& step : keySteps()) {
      for (const bool withRanges : {true, false}) {
        const std::string name =
            std::string("BM_KeyStep/") + step.name + (withRanges ? "/ranges" : "/full_scan");
        benchmark::RegisterBenchmark(name.c_str(), BM_KeyStep, std::string(path), step, withRanges)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
      }
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
