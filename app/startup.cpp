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
  load.csv.reset();
  load.file.reset();
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
  load.csv = beginCsvLoad(load.file.get(), load.fileBytes);
  return false;
}

bool continueStartUp(AppState& state, StartUpLoad& load, std::uint64_t byteBudget) {
  if (!load.csv) return true;
  try {
    if (continueCsvLoad(*load.csv, byteBudget) == CsvStatus::Reading) return false;
    finishStartUp(state, load);
  } catch (const std::bad_alloc&) {
    state.names.clear();
    state.columns.clear();
    state.blockRanges.clear();
    state.dims.clear();
    state.messageText = kOutOfMemoryMessage;
    load.csv.reset();
    load.file.reset();
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
