// Load throughput of the CSV reader on one core: the whole file as start-up loads it, next to the
// cost of merely storing as many values, and the parsing of a prefix next to the literal reference
// reader, with their ratio. Run from a Release build; the summary comes last.
//
// The table is $VELOPLOT_BENCH_CSV, or else 10 000 000 rows x 6 columns (about 550 MB) generated
// once into the temporary folder and kept there for later runs.
#include <benchmark/benchmark.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "big_csv.h"
#include "data/csv_reader.h"
#include "reference_csv_reader.h"

namespace {

// The reference manages about 30 MB/s; a prefix keeps its runs to a second or two.
constexpr std::size_t kPrefixBytes = std::size_t{32} << 20;

std::filesystem::path benchFile() {
  if (const char* given = std::getenv("VELOPLOT_BENCH_CSV")) return given;
  const auto path = std::filesystem::temp_directory_path() / "veloplot-bench-10M.csv";
  if (std::filesystem::exists(path)) return path;
  std::printf("Writing %s ...\n", path.string().c_str());
  auto partial = path;
  partial += ".partial";
  std::FILE* out = std::fopen(partial.string().c_str(), "wb");
  const bool written = out != nullptr && writeBigCsv(out, kBigCsvRows);
  if (out == nullptr || std::fclose(out) != 0 || !written) return {};
  std::filesystem::rename(partial, path);
  return path;
}

// The first bytes of the file, cut after the last whole line.
std::string prefixOf(const std::filesystem::path& path) {
  std::string text(kPrefixBytes, '\0');
  std::FILE* file = std::fopen(path.string().c_str(), "rb");
  if (file == nullptr) return {};
  text.resize(std::fread(text.data(), 1, text.size(), file));
  std::fclose(file);
  text.resize(text.rfind('\n') + 1);
  return text;
}

bool tableShape(const std::filesystem::path& path, std::size_t& columnCount, std::size_t& rows) {
  std::FILE* file = std::fopen(path.string().c_str(), "rb");
  DataTable table;
  std::string message;
  const bool ok = file != nullptr && readCsvTable(file, table, message);
  if (file != nullptr) std::fclose(file);
  if (!ok || table.columns.empty()) {
    std::fprintf(stderr, "load_bench: the table does not load: %s\n", message.c_str());
    return false;
  }
  columnCount = table.columns.size();
  rows = table.columns[0].size();
  return true;
}

void loadFile(benchmark::State& state, const std::filesystem::path& path) {
  const std::uint64_t bytes = std::filesystem::file_size(path);
  for (auto _ : state) {
    std::FILE* file = std::fopen(path.string().c_str(), "rb");
    DataTable table;
    std::string message;
    const bool ok = readCsvTable(file, table, message, bytes);
    std::fclose(file);
    if (!ok) state.SkipWithError(message.c_str());
    benchmark::DoNotOptimize(table.columns.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

// Filling the same columns with as many doubles, without parsing: what storing the values costs
// any loader. Where first touches of fresh memory are slow (some virtual machines), this rather
// than the parsing bounds the whole-file load. Reported per byte of the file, for comparison.
void storeOnly(benchmark::State& state, std::size_t columnCount, std::size_t rows,
               std::uint64_t fileBytes) {
  for (auto _ : state) {
    std::vector<std::vector<double>> columns(columnCount);
    for (auto& column : columns) column.reserve(rows);
    for (std::size_t row = 0; row < rows; ++row) {
      for (auto& column : columns) column.push_back(static_cast<double>(row));
    }
    benchmark::DoNotOptimize(columns.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fileBytes));
}

template <typename Reader>
void readText(benchmark::State& state, const std::string& text, Reader reader) {
  for (auto _ : state) {
    DataTable table;
    std::string message;
    if (!reader(text, table, message)) state.SkipWithError(message.c_str());
    benchmark::DoNotOptimize(table.columns.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

struct Throughput {
  double cpuMegabytesPerSecond = 0;
  double wallMegabytesPerSecond = 0;
};

// The console report, plus each benchmark's throughput for the summary. Google Benchmark divides
// the bytes by CPU time; the wall-clock figure also counts waiting for a shared core.
class ThroughputReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, Throughput> throughputs;

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const auto rate = run.counters.find("bytes_per_second");
      if (rate == run.counters.end()) continue;
      const double cpuRate = rate->second / 1e6;
      throughputs[run.run_name.function_name] = {
          cpuRate, cpuRate * run.GetAdjustedCPUTime() / run.GetAdjustedRealTime()};
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

void printSummary(std::map<std::string, Throughput>& throughputs) {
  const Throughput file = throughputs["LoadFile/fast"];
  const Throughput store = throughputs["LoadFile/store-only"];
  const Throughput fast = throughputs["ReadPrefix/fast"];
  const Throughput reference = throughputs["ReadPrefix/reference"];
  std::printf("\n%-42s %10s %10s\n", "MB/s (1 MB = 10^6 bytes)", "CPU time", "wall");
  std::printf("%-42s %10.1f %10.1f\n", "fast reader, whole file from the page cache",
              file.cpuMegabytesPerSecond, file.wallMegabytesPerSecond);
  std::printf("%-42s %10.1f %10.1f\n", "storing the same values alone, no parsing",
              store.cpuMegabytesPerSecond, store.wallMegabytesPerSecond);
  std::printf("%-42s %10.1f %10.1f\n", "fast reader, prefix, memory reused",
              fast.cpuMegabytesPerSecond, fast.wallMegabytesPerSecond);
  std::printf("%-42s %10.1f %10.1f\n", "reference reader, same prefix",
              reference.cpuMegabytesPerSecond, reference.wallMegabytesPerSecond);
  if (reference.cpuMegabytesPerSecond <= 0 || reference.wallMegabytesPerSecond <= 0) return;
  std::printf("%-42s %10.1f %10.1f\n", "ratio fast / reference, prefix",
              fast.cpuMegabytesPerSecond / reference.cpuMegabytesPerSecond,
              fast.wallMegabytesPerSecond / reference.wallMegabytesPerSecond);
  std::printf("%-42s %10.1f %10.1f\n", "ratio fast whole file / reference prefix",
              file.cpuMegabytesPerSecond / reference.cpuMegabytesPerSecond,
              file.wallMegabytesPerSecond / reference.wallMegabytesPerSecond);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
#if defined(__GLIBC__)
  // Memory that one prefix run frees serves the next, so the prefix figures measure the parsing.
  // The whole-file columns lie above this threshold and come fresh from the system every time.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
#endif
  const std::filesystem::path path = benchFile();
  const std::string prefix = path.empty() ? std::string() : prefixOf(path);
  if (prefix.empty()) {
    std::fprintf(stderr, "load_bench: no benchmark table\n");
    return 1;
  }
  const std::uint64_t fileBytes = std::filesystem::file_size(path);
  std::printf("Table: %s, %.0f MB; prefix %.0f MB\n", path.string().c_str(), fileBytes / 1e6,
              prefix.size() / 1e6);
  std::size_t columnCount = 0;
  std::size_t rows = 0;
  if (!tableShape(path, columnCount, rows)) return 1;

  benchmark::RegisterBenchmark("LoadFile/fast", loadFile, path)
      ->Iterations(3)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("LoadFile/store-only", storeOnly, columnCount, rows, fileBytes)
      ->Iterations(3)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("ReadPrefix/fast", readText<decltype(&readCsvText)>, prefix,
                               &readCsvText)
      ->Iterations(20)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("ReadPrefix/reference", readText<decltype(&referenceReadCsv)>,
                               prefix, &referenceReadCsv)
      ->Iterations(2)
      ->Unit(benchmark::kMillisecond);
  ThroughputReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  printSummary(reporter.throughputs);
  return 0;
}
