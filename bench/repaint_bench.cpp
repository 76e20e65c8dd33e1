// The repaint's hot loop: filter and plot 10 000 000 rows of six columns into the 1000 x 700
// client image through the cairo canvas, as every repaint of the plot does.
//
// Reported: rows per second, bytes of the tested columns read per second, and that rate as a
// share of what one core of the development machine reads from memory (about 6.5 GB/s).
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cstdint>
#include <random>
#include <vector>

#include "render/cairo_canvas.h"
#include "render/plot.h"
#include "scale/dim_scale.h"

namespace {

constexpr std::size_t kRows = 10'000'000;
constexpr int kColumns = 6;
constexpr int kClientWidth = 1000;
constexpr int kClientHeight = 700;
constexpr double kMemoryBytesPerSecond = 6.5e9;

struct Table {
  std::vector<std::vector<double>> columns;
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
    for (const auto& column : t.columns) t.scales.push_back(autoScale(column));
    return t;
  }();
  return table;
}

void runPlot(benchmark::State& state, const std::vector<DimScale>& dims) {
  const Table& table = benchTable();
  int testedDims = 0;
  for (const DimScale& d : dims) testedDims += d.mode != DimMode::Free;

  cairo_surface_t* image =
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kClientWidth, kClientHeight);
  {
    CairoCanvas canvas(image);
    for (auto _ : state) {
      plotPoints(canvas, kClientWidth, kClientHeight, table.columns, dims, 0, 1);
      benchmark::ClobberMemory();
    }
  }
  cairo_surface_destroy(image);

  const double bytesPerPass = static_cast<double>(kRows) * sizeof(double) * testedDims;
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kRows));
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
void BM_FilterAndPlot(benchmark::State& state) {
  std::vector<DimScale> dims = axisScales();
  dims[2].mode = DimMode::Band;
  dims[3].mode = DimMode::Multi;
  for (DimScale& d : dims) deriveScale(d);
  runPlot(state, dims);
}

// Only the axes: nearly every row is drawn, so this is the pixel writes' worst case.
void BM_PlotAxesOnly(benchmark::State& state) {
  runPlot(state, axisScales());
}

}  // namespace

BENCHMARK(BM_FilterAndPlot)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlotAxesOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
