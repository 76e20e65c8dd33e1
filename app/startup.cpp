#include "app/startup.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <new>
#include <system_error>

#include "data/csv_reader.h"
#include "data/value_ranges.h"
#include "render/panel.h"

std::vector<std::string> splitCommandLine(std::string_view commandLine) {
  std::vector<std::string> tokens;
  std::size_t i = 0;
  while (i < commandLine.size()) {
    while (i < commandLine.size() && (commandLine[i] == ' ' || commandLine[i] == '\t')) ++i;
    const std::size_t start = i;
    while (i < commandLine.size() && commandLine[i] != ' ' && commandLine[i] != '\t') ++i;
    if (i > start) tokens.emplace_back(commandLine.substr(start, i - start));
  }
  return tokens;
}

namespace {

// A mapped file is read this many bytes at a time, and after each step the pages of the steps
// before it are given back; the reader may still read the last step's.
constexpr std::uint64_t kMappedStepBytes = std::uint64_t{2} << 20;

std::uint64_t fileSizeOf(const std::string& fileName) {
  std::error_code error;
  const auto size = std::filesystem::file_size(fileName, error);
  return error ? 0 : static_cast<std::uint64_t>(size);
}

// A folder opens as a file on some systems; it is no data file on any.
std::FILE* openDataFile(const std::string& fileName) {
  std::error_code error;
  return std::filesystem::is_directory(fileName, error) ? nullptr
                                                        : std::fopen(fileName.c_str(), "rb");
}

// Smallest and largest value of a column: from the reader's block ranges where they cover it.
void columnExtremes(const AppState& state, std::size_t j, double& smallest, double& largest) {
  const std::vector<double>& column = state.columns[j];
  if (j < state.blockRanges.size() && coversRows(state.blockRanges[j], column.size()) &&
      columnRange(state.blockRanges[j], smallest, largest)) {
    return;
  }
  findRange(column, smallest, largest);
}

std::optional<std::string> buildScales(AppState& state) {
  if (state.columns.size() < 2) return kTooFewColumnsMessage;
  if (rowCount(state) == 0) return kNoRowsMessage;
  state.dims.clear();
  for (std::size_t j = 0; j < state.columns.size(); ++j) {
    double smallest = 0;
    double largest = 0;
    columnExtremes(state, j, smallest, largest);
    state.dims.push_back(autoScale(smallest, largest));
  }
  // The axis records keep their unrounded ticks until a later change derives them again.
  state.dims[0].mode = DimMode::XAxis;
  state.dims[1].mode = DimMode::YAxis;
  return std::nullopt;
}

// Reads on for about `byteBudget` bytes. A mapped file is read a few megabytes at a time, and
// the pages behind the reading are given back after each step.
CsvStatus readOn(StartUpLoad& load, std::uint64_t byteBudget) {
  CsvLoad& csv = *load.csv;
  if (!load.mapped) return continueCsvLoad(csv, byteBudget);
  const std::uint64_t stopAt = csv.bytesRead + std::min(byteBudget, UINT64_MAX - csv.bytesRead);
  CsvStatus status = CsvStatus::Reading;
  while (status == CsvStatus::Reading && csv.bytesRead < stopAt) {
    status = continueCsvLoad(csv, std::min(kMappedStepBytes, stopAt - csv.bytesRead));
    releaseMappedBytes(*load.mapped, csv.bytesRead - std::min(csv.bytesRead, kMappedStepBytes));
  }
  return status;
}

// The reader first: its windows may lie in the mapping.
void closeLoad(StartUpLoad& load) {
  load.csv.reset();
  load.mapped.reset();
  load.file.reset();
}

// What start-up does once the reader is done: the table and scales, or the message.
void finishStartUp(AppState& state, StartUpLoad& load) {
  CsvLoad& csv = *load.csv;
  if (csv.status == CsvStatus::Loaded) {
    state.names = std::move(csv.table.names);
    state.columns = std::move(csv.table.columns);
    state.blockRanges = std::move(csv.table.blockRanges);
    state.messageText = buildScales(state);
    if (!state.messageText) refreshDimensionList(state);
  } else {
    state.messageText = csv.message;
  }
  closeLoad(load);
}

void formTitle(AppState& state, std::string_view programName, std::string_view className) {
  state.titleText = programName;
  if (!state.tokens.empty()) {
    state.titleText += " - ";
    state.titleText += state.tokens.front();
  }
  if (state.titleText.size() > kMaxTitleLength) state.titleText.resize(kMaxTitleLength);
  state.className = className;
}

}  // namespace

bool beginStartUp(AppState& state, StartUpLoad& load, std::vector<std::string> tokens,
                  std::string_view programName, std::string_view className) {
  state.tokens = std::move(tokens);
  // The title does not depend on the data, so the window can show it while the data loads.
  formTitle(state, programName, className);
  if (state.tokens.empty()) {
    state.messageText = kUsageMessage;
    return true;
  }
  const std::string& fileName = state.tokens.front();
  load.file.reset(openDataFile(fileName));
  if (!load.file) {
    state.messageText = kOpenFailedMessage + fileName;
    return true;
  }
  load.fileBytes = fileSizeOf(fileName);
  load.mapped = mapDataFile(load.file.get());
  load.csv = load.mapped ? beginCsvLoad(std::string_view(load.mapped->data, load.mapped->size))
                         : beginCsvLoad(load.file.get(), load.fileBytes);
  return false;
}

bool continueStartUp(AppState& state, StartUpLoad& load, std::uint64_t byteBudget) {
  if (!load.csv) return true;
  try {
    if (readOn(load, byteBudget) == CsvStatus::Reading) return false;
    if (load.mapped && mappedFileChanged(*load.mapped)) {
      // What was read may mix the file's old and new bytes: all of it is read again.
      load.csv.reset();
      load.mapped.reset();
      std::rewind(load.file.get());
      load.csv = beginCsvLoad(load.file.get(), load.fileBytes);
      if (readOn(load, byteBudget) == CsvStatus::Reading) return false;
    }
    finishStartUp(state, load);
  } catch (const std::bad_alloc&) {
    state.names.clear();
    state.columns.clear();
    state.blockRanges.clear();
    state.dims.clear();
    state.messageText = kOutOfMemoryMessage;
    closeLoad(load);
  }
  return true;
}

double loadedShare(const StartUpLoad& load) {
  if (!load.csv || load.fileBytes == 0) return 1.0;
  return std::min(1.0, static_cast<double>(load.csv->bytesRead) / load.fileBytes);
}

void startUpWithTokens(AppState& state, std::vector<std::string> tokens,
                       std::string_view programName, std::string_view className) {
  StartUpLoad load;
  if (beginStartUp(state, load, std::move(tokens), programName, className)) return;
  continueStartUp(state, load, UINT64_MAX);
}

void startUp(AppState& state, std::string_view commandLine, std::string_view programName,
             std::string_view className) {
  startUpWithTokens(state, splitCommandLine(commandLine), programName, className);
}
