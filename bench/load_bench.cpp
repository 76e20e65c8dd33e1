// Load throughput of the CSV reader on one core, for every table of the benchmark corpus and any
// other table in its folder (such as the flight tables of bench/fetch_flights.sh): the parsing of
// a prefix with memory reused; the whole file as start-up loads it, back to back and after pauses
// that let the host take back freed memory, each beside the cost of merely storing as many values
// in fresh memory; the general correctly rounded conversion alone on the prefix's fields, for
// the floor of a loader built on it; then the literal reference reader on a prefix of two shapes,
// for the ratio.
// Run from a Release build; the summary table comes last.
//
// The folder is $VELOPLOT_CORPUS, or else veloplot-corpus in the temporary folder. Corpus tables
// missing there are generated once (about 500 MB each) and kept for later runs.
// $VELOPLOT_BENCH_PAUSE sets the pause in seconds (8; 0 leaves the paused loads out).
#include <benchmark/benchmark.h>
#include <fast_float/fast_float.h>
#include <sys/resource.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/startup.h"
#include "bench/corpus.h"
#include "data/csv_reader.h"
#include "data/large_pages.h"
#include "reference_csv_reader.h"

namespace {

namespace fs = std::filesystem;

// Large enough to leave the caches far behind, small enough that its columns stay below the
// threshold where the allocator maps fresh memory for every run.
constexpr std::size_t kPrefixBytes = std::size_t{64} << 20;
// Timed one at a time, for their median: this machine's speed drifts within a run, and one slow
// stretch would pull a mean of many passes down.
constexpr int kPrefixPasses = 21;
// The reference manages about 50 MB/s.
constexpr std::size_t kReferencePrefixBytes = std::size_t{8} << 20;
constexpr std::string_view kReferenceShapes[] = {"mixed", "ints"};
constexpr int kDefaultPauseSeconds = 8;

fs::path corpusFolder() {
  if (const char* given = std::getenv("VELOPLOT_CORPUS")) return given;
  return fs::temp_directory_path() / "veloplot-corpus";
}

bool writeMissingShapes(const fs::path& folder) {
  fs::create_directories(folder);
  for (const CorpusShape& shape : corpusShapes()) {
    const fs::path path = folder / (std::string(shape.name) + ".csv");
    if (fs::exists(path)) continue;
    std::printf("Writing %s ...\n", path.string().c_str());
    std::fflush(stdout);
    fs::path partial = path;
    partial += ".partial";
    std::FILE* out = std::fopen(partial.string().c_str(), "wb");
    const bool written = out != nullptr && writeCorpusFile(out, shape, {0, kCorpusFileBytes});
    if (out == nullptr || std::fclose(out) != 0 || !written) return false;
    fs::rename(partial, path);
  }
  return true;
}

// The corpus shapes in their order, then the folder's other tables by name.
std::vector<fs::path> tablesIn(const fs::path& folder) {
  std::vector<fs::path> tables;
  for (const CorpusShape& shape : corpusShapes()) {
    tables.push_back(folder / (std::string(shape.name) + ".csv"));
  }
  std::vector<fs::path> others;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const fs::path& path = entry.path();
    if (path.extension() == ".csv" && findCorpusShape(path.stem().string()) == nullptr) {
      others.push_back(path);
    }
  }
  std::sort(others.begin(), others.end());
  tables.insert(tables.end(), others.begin(), others.end());
  return tables;
}

struct Table {
  std::string name;
  fs::path path;
  std::uint64_t bytes = 0;
  std::size_t columns = 0;
  std::size_t rows = 0;
  std::string prefix;
  std::size_t prefixValues = 0;
  // Only for the shapes that the reference reads.
  std::string referencePrefix;
  std::size_t referenceValues = 0;
};

std::size_t valueCount(const DataTable& table) {
  return table.columns.size() * (table.columns.empty() ? 0 : table.columns[0].size());
}

// The first bytes of the file, cut after the last whole line.
std::string prefixOf(const fs::path& path, std::size_t bytes) {
  std::string text(bytes, '\0');
  std::FILE* file = std::fopen(path.string().c_str(), "rb");
  if (file == nullptr) return {};
  text.resize(std::fread(text.data(), 1, text.size(), file));
  std::fclose(file);
  text.resize(text.rfind('\n') + 1);
  return text;
}

// Loads the table once, which also brings it into the page cache for the timed loads.
bool describe(const fs::path& path, Table& table) {
  table.name = path.stem().string();
  table.path = path;
  table.bytes = fs::file_size(path);
  std::FILE* file = std::fopen(path.string().c_str(), "rb");
  DataTable whole;
  std::string message;
  if (file == nullptr || !readCsvTable(file, whole, message, table.bytes)) {
    if (file != nullptr) std::fclose(file);
    std::fprintf(stderr, "load_bench: %s does not load: %s\n", path.string().c_str(),
                 message.c_str());
    return false;
  }
  std::fclose(file);
  table.columns = whole.columns.size();
  table.rows = table.columns == 0 ? 0 : whole.columns[0].size();
  table.prefix = prefixOf(path, kPrefixBytes);
  DataTable part;
  readCsvText(table.prefix, part, message);
  table.prefixValues = valueCount(part);
  if (std::find(std::begin(kReferenceShapes), std::end(kReferenceShapes), table.name) !=
      std::end(kReferenceShapes)) {
    table.referencePrefix = table.prefix.substr(0, kReferencePrefixBytes);
    table.referencePrefix.resize(table.referencePrefix.rfind('\n') + 1);
    readCsvText(table.referencePrefix, part, message);
    table.referenceValues = valueCount(part);
  }
  return true;
}

// This machine's host takes back the memory that the guest freed a few seconds ago and backs it
// again, slowly, on the next touch: only loads after a pause see what a program starting on an
// idle machine sees. Loads back to back reuse the pages that the previous one freed.
void pause(int pauseSeconds) {
  std::this_thread::sleep_for(std::chrono::seconds(pauseSeconds));
}

// Where the allocator takes the columns from. At start-up every column is mapped afresh from the
// system (glibc's default above 128 KB, which later frees would raise); for the prefix runs,
// memory that one run frees stays in the heap and serves the next, so that they time the parsing.
// There no column is mapped at all (at start-up, glibc's default of 65536 mappings): the columns
// of flights-30M's prefix, 40 MB each, are above the largest threshold glibc takes (32 MB), and
// each run would fill fresh pages for them.
void useFreshMemory(bool fresh) {
#if defined(__GLIBC__)
  mallopt(M_MMAP_THRESHOLD, fresh ? 128 << 10 : 32 << 20);
  mallopt(M_MMAP_MAX, fresh ? 65536 : 0);
  mallopt(M_TRIM_THRESHOLD, fresh ? 128 << 10 : 1 << 30);
  if (fresh) malloc_trim(0);
#else
  static_cast<void>(fresh);
#endif
}

double userSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec) + 1e-6 * usage.ru_utime.tv_usec;
}

struct StoreCost {
  double wallSeconds = 0;
  double userSeconds = 0;
};

// Fills columns of the table's size with as many doubles, without parsing, in memory asked for
// as the reader asks for it: what storing the values costs any loader. Its time outside its own
// code is the kernel (and the host) handing out fresh pages.
StoreCost storeAlone(const Table& table) {
  const auto start = std::chrono::steady_clock::now();
  const double startUser = userSeconds();
  {
    std::vector<std::vector<double>> columns(table.columns);
    for (auto& column : columns) {
      column.reserve(table.rows);
      adviseLargePages(column.data(), column.capacity() * sizeof(double));
    }
    // Stage by stage, each column's pages filled before its values, as the reader stores them.
    constexpr std::size_t kStageRows = 32;
    PageFill fill;
    for (std::size_t row = 0; row < table.rows; row += kStageRows) {
      const std::size_t stageEnd = std::min(row + kStageRows, table.rows);
      for (auto& column : columns) {
        const double* const end = column.data() + column.size();
        fillPages(fill, end, end + (stageEnd - row), column.data() + column.capacity());
        for (std::size_t r = row; r < stageEnd; ++r) column.push_back(static_cast<double>(r));
      }
    }
    benchmark::DoNotOptimize(columns.data());
  }
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
  return {wall.count(), userSeconds() - startUser};
}

// The prefix benchmarks' timing: kPrefixPasses single passes, reported by their median.
void timeSinglePasses(benchmark::internal::Benchmark* prefixBenchmark) {
  prefixBenchmark->Iterations(1)
      ->Repetitions(kPrefixPasses)
      ->ReportAggregatesOnly(true)
      ->Unit(benchmark::kMillisecond);
}

void setProcessed(benchmark::State& state, std::uint64_t bytes, std::size_t values) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values));
}

// The load as start-up does it. Before each, untimed, the same columns are filled without
// parsing, in the same state of the machine's memory, for the cost of storing alone.
void wholeFile(benchmark::State& state, const Table* table, int pauseSeconds) {
  useFreshMemory(true);
  // Back to back means after a load of the same size, as for every later iteration.
  if (pauseSeconds == 0) storeAlone(*table);
  StoreCost store;
  for (auto _ : state) {
    state.PauseTiming();
    pause(pauseSeconds);
    const StoreCost cost = storeAlone(*table);
    store.wallSeconds += cost.wallSeconds;
    store.userSeconds += cost.userSeconds;
    pause(pauseSeconds);
    state.ResumeTiming();
    AppState loaded;
    startUpWithTokens(loaded, {table->path.string()});
    if (loaded.messageText) state.SkipWithError(loaded.messageText->c_str());
    benchmark::DoNotOptimize(loaded.columns.data());
  }
  const auto perIteration = benchmark::Counter::kAvgIterations;
  state.counters["store_s"] = benchmark::Counter(store.wallSeconds, perIteration);
  state.counters["store_user_s"] = benchmark::Counter(store.userSeconds, perIteration);
  setProcessed(state, table->bytes, table->columns * table->rows);
}

// The reader with the plain field reader on every column, for the gain of the per-column choice.
bool readCsvTextPlainFields(std::string_view text, DataTable& table, std::string& message) {
  setFieldReading(FieldReading::Baseline);
  const bool ok = readCsvText(text, table, message);
  setFieldReading(FieldReading::Fastest);
  return ok;
}

template <typename Reader>
void parseText(benchmark::State& state, const std::string* text, std::size_t values,
               Reader reader) {
  useFreshMemory(false);
  for (auto _ : state) {
    DataTable table;
    std::string message;
    if (!reader(*text, table, message)) state.SkipWithError(message.c_str());
    benchmark::DoNotOptimize(table.columns.data());
  }
  setProcessed(state, text->size(), values);
}

// Each field of the text's data lines converted in turn by the general conversion, blanks before
// it skipped, its value summed, and nothing checked or stored.
double convertFields(const std::string& text) {
  const char* p = text.data() + text.find('\n') + 1;
  const char* const end = text.data() + text.size();
  double sum = 0;
  while (p < end) {
    while (*p == ' ' || *p == '\t') ++p;
    double value = 0;
    p = fast_float::from_chars(p, end, value).ptr;
    sum += value;
    // The text ends with a line feed, which stops this.
    while (*p != ',' && *p != '\n') ++p;
    ++p;
  }
  return sum;
}

void convertText(benchmark::State& state, const std::string* text, std::size_t values) {
  for (auto _ : state) benchmark::DoNotOptimize(convertFields(*text));
  setProcessed(state, text->size(), values);
}

// Per iteration.
struct Timing {
  double cpuSeconds = 0;
  double wallSeconds = 0;
  StoreCost store;
};

// The console report, plus each benchmark's timing for the summary. Google Benchmark's rates
// divide by CPU time; the wall-clock time also counts waiting for a shared core, and for the host
// to back fresh memory.
class TimingReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, Timing> timings;

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred || run.iterations == 0) continue;
      if (run.repetitions > 1 &&
          (run.run_type != Run::RT_Aggregate || run.aggregate_name != "median")) {
        continue;
      }
      const auto iterations = static_cast<double>(run.iterations);
      const auto counter = [&](const char* name) {
        const auto found = run.counters.find(name);
        return found == run.counters.end() ? 0.0 : found->second.value;
      };
      timings[run.run_name.function_name] = {run.cpu_accumulated_time / iterations,
                                             run.real_accumulated_time / iterations,
                                             {counter("store_s"), counter("store_user_s")}};
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

// Millions of units per second, or "-" where nothing was measured.
std::string rate(double units, double seconds) {
  if (seconds <= 0) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.0f", units / seconds / 1e6);
  return text;
}
std::string rates(double units, const Timing& timing) {
  return rate(units, timing.cpuSeconds) + " (" + rate(units, timing.wallSeconds) + ")";
}
// The time that storing alone spends outside its own code, on fresh pages, as a share of the
// load's.
std::string freshShare(const Timing& whole) {
  if (whole.wallSeconds <= 0) return "-";
  char text[32];
  const double fresh = std::max(0.0, whole.store.wallSeconds - whole.store.userSeconds);
  std::snprintf(text, sizeof text, "%.0f%%", 100 * fresh / whole.wallSeconds);
  return text;
}

void printSummary(const std::vector<Table>& tables, std::map<std::string, Timing>& timings,
                  int pauseSeconds) {
  std::printf(
      "\nMB = 10^6 bytes, Mv = 10^6 values; rates by CPU time, by wall time in parentheses.\n"
      "parsing: a prefix of up to %zu MB, memory reused; plain: the same with the plain field\n"
      "reader on every column; convert: the general conversion alone on each field of the same\n"
      "prefix, nothing checked or stored. whole file: the load as start-up does it,\n"
      "back to back, and after %d s pauses (by wall time alone: the host's backing of fresh\n"
      "memory stalls the guest without counting as its CPU time). store: filling as many\n"
      "values without parsing, just before, by wall time; fresh: its time outside its own code,\n"
      "handing out fresh pages, as a share of the load's wall time.\n\n",
      kPrefixBytes >> 20, pauseSeconds);
  std::printf("%-12s %4s %4s | %-11s %4s %5s %7s | %-11s %4s %5s %5s | %-6s %4s %5s %5s\n", "", "",
              "", "parsing", "", "plain", "convert", "whole file", "", "", "", "paused", "", "",
              "");
  std::printf("%-12s %4s %4s | %-11s %4s %5s %7s | %-11s %4s %5s %5s | %-6s %4s %5s %5s\n", "table",
              "MB", "Mv", "MB/s", "Mv/s", "MB/s", "MB/s", "MB/s", "Mv/s", "store", "fresh", "MB/s",
              "Mv/s", "store", "fresh");
  for (const Table& table : tables) {
    // Left out by a benchmark filter.
    if (!timings.contains(table.name + "/parse-prefix") &&
        !timings.contains(table.name + "/whole-file")) {
      continue;
    }
    const Timing parse = timings[table.name + "/parse-prefix"];
    const Timing plain = timings[table.name + "/parse-prefix-plain"];
    const Timing convert = timings[table.name + "/convert-prefix"];
    const Timing whole = timings[table.name + "/whole-file"];
    const Timing paused = timings[table.name + "/whole-file-paused"];
    const double bytes = static_cast<double>(table.bytes);
    const double values = static_cast<double>(table.columns * table.rows);
    std::printf("%-12s %4.0f %4.0f | %-11s %4s %5s %7s | %-11s %4s %5s %5s | %6s %4s %5s %5s\n",
                table.name.c_str(), bytes / 1e6, values / 1e6,
                rates(static_cast<double>(table.prefix.size()), parse).c_str(),
                rate(static_cast<double>(table.prefixValues), parse.cpuSeconds).c_str(),
                rate(static_cast<double>(table.prefix.size()), plain.cpuSeconds).c_str(),
                rate(static_cast<double>(table.prefix.size()), convert.cpuSeconds).c_str(),
                rates(bytes, whole).c_str(), rate(values, whole.cpuSeconds).c_str(),
                rate(bytes, whole.store.wallSeconds).c_str(), freshShare(whole).c_str(),
                rate(bytes, paused.wallSeconds).c_str(), rate(values, paused.wallSeconds).c_str(),
                rate(bytes, paused.store.wallSeconds).c_str(), freshShare(paused).c_str());
  }
  std::printf("\n%-12s %10s %8s | %s\n", "reference", "MB/s", "Mv/s",
              "parsing alone / reference, whole file / reference (by MB/s)");
  for (const Table& table : tables) {
    const auto reference = timings.find(table.name + "/reference-prefix");
    if (reference == timings.end()) continue;
    const double seconds = reference->second.cpuSeconds;
    const double referenceRate = static_cast<double>(table.referencePrefix.size()) / seconds;
    const Timing whole = timings[table.name + "/whole-file"];
    const Timing parse = timings[table.name + "/parse-prefix"];
    const auto times = [&](double bytes, double seconds) {
      if (seconds <= 0) return std::string("-");
      char text[32];
      std::snprintf(text, sizeof text, "%.1fx", bytes / seconds / referenceRate);
      return std::string(text);
    };
    std::printf("%-12s %10.1f %8.1f | %s, %s\n", table.name.c_str(), referenceRate / 1e6,
                static_cast<double>(table.referenceValues) / seconds / 1e6,
                times(static_cast<double>(table.prefix.size()), parse.cpuSeconds).c_str(),
                times(static_cast<double>(table.bytes), whole.cpuSeconds).c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const fs::path folder = corpusFolder();
  if (!writeMissingShapes(folder)) {
    std::fprintf(stderr, "load_bench: cannot write the corpus into %s\n", folder.string().c_str());
    return 1;
  }
  std::vector<Table> tables;
  for (const fs::path& path : tablesIn(folder)) {
    Table table;
    if (!describe(path, table)) return 1;
    std::printf("%-12s %4.0f MB, %zu columns x %zu rows\n", table.name.c_str(), table.bytes / 1e6,
                table.columns, table.rows);
    tables.push_back(std::move(table));
  }
  const char* pause = std::getenv("VELOPLOT_BENCH_PAUSE");
  const int pauseSeconds = pause != nullptr ? std::atoi(pause) : kDefaultPauseSeconds;
  // The benchmarks hold pointers into `tables`, which stays as it is from here on.
  for (const Table& table : tables) {
    benchmark::RegisterBenchmark((table.name + "/whole-file").c_str(), wholeFile, &table, 0)
        ->Iterations(3)
        ->Unit(benchmark::kMillisecond);
    // Small tables touch too little fresh memory for the pause to matter.
    if (pauseSeconds > 0 && table.bytes > kPrefixBytes) {
      benchmark::RegisterBenchmark((table.name + "/whole-file-paused").c_str(), wholeFile, &table,
                                   pauseSeconds)
          ->Iterations(2)
          ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark((table.name + "/parse-prefix").c_str(),
                                 parseText<decltype(&readCsvText)>, &table.prefix,
                                 table.prefixValues, &readCsvText)
        ->Apply(timeSinglePasses);
    benchmark::RegisterBenchmark((table.name + "/parse-prefix-plain").c_str(),
                                 parseText<decltype(&readCsvTextPlainFields)>, &table.prefix,
                                 table.prefixValues, &readCsvTextPlainFields)
        ->Apply(timeSinglePasses);
    benchmark::RegisterBenchmark((table.name + "/convert-prefix").c_str(), convertText,
                                 &table.prefix, table.prefixValues)
        ->Apply(timeSinglePasses);
    if (table.referencePrefix.empty()) continue;
    benchmark::RegisterBenchmark((table.name + "/reference-prefix").c_str(),
                                 parseText<decltype(&referenceReadCsv)>, &table.referencePrefix,
                                 table.referenceValues, &referenceReadCsv)
        ->Iterations(2)
        ->Unit(benchmark::kMillisecond);
  }
  TimingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  printSummary(tables, reporter.timings, pauseSeconds);
  return 0;
}
