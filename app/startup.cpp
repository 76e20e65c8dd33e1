#include "app/startup.h"

#include <cstdio>
#include <filesystem>
#include <new>
#include <system_error>

#include "data/csv_reader.h"
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

// Reads the table into the state, or returns the message that replaces it.
std::optional<std::string> loadTable(AppState& state, const std::string& fileName) {
  // A folder opens as a file on some systems; it is no data file on any.
  std::error_code error;
  std::FILE* file =
      std::filesystem::is_directory(fileName, error) ? nullptr : std::fopen(fileName.c_str(), "rb");
  if (!file) return kOpenFailedMessage + fileName;
  DataTable table;
  std::string message;
  bool read = false;
  try {
    read = readCsvTable(file, table, message, fileSizeOf(fileName));
  } catch (const std::bad_alloc&) {
    message = kOutOfMemoryMessage;
  }
  std::fclose(file);
  if (!read) return message;
  state.names = std::move(table.names);
  state.columns = std::move(table.columns);
  return std::nullopt;
}

std::optional<std::string> buildScales(AppState& state) {
  if (state.columns.size() < 2) return kTooFewColumnsMessage;
  if (rowCount(state) == 0) return kNoRowsMessage;
  state.dims.clear();
  for (const auto& column : state.columns) state.dims.push_back(autoScale(column));
  // The axis records keep their unrounded ticks until a later change derives them again.
  state.dims[0].mode = DimMode::XAxis;
  state.dims[1].mode = DimMode::YAxis;
  return std::nullopt;
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

void startUpWithTokens(AppState& state, std::vector<std::string> tokens,
                       std::string_view programName, std::string_view className) {
  state.tokens = std::move(tokens);
  if (state.tokens.empty()) {
    state.messageText = kUsageMessage;
  } else {
    state.messageText = loadTable(state, state.tokens.front());
    if (!state.messageText) state.messageText = buildScales(state);
    if (!state.messageText) refreshDimensionList(state);
  }
  formTitle(state, programName, className);
}

void startUp(AppState& state, std::string_view commandLine, std::string_view programName,
             std::string_view className) {
  startUpWithTokens(state, splitCommandLine(commandLine), programName, className);
}
