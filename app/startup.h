// Start-up: from the command-line text to a complete AppState, or to a message that the window
// shows in place of the data. Never fails: every fault ends in state.messageText.
#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/app_state.h"
#include "data/csv_reader.h"
#include "data/mapped_file.h"

inline constexpr char kProgramName[] = "Veloplot";
inline constexpr char kClassName[] = "VELOPLOT";
inline constexpr std::size_t kMaxTitleLength = 999;

inline constexpr char kUsageMessage[] = "Usage: Veloplot.exe <file name>";
inline constexpr char kOpenFailedMessage[] = "Cound not open file: ";
inline constexpr char kTooFewColumnsMessage[] =
    "There must be at least 2 columns in the input data.";
inline constexpr char kNoRowsMessage[] = "There are no data rows in the input file.";
inline constexpr char kOutOfMemoryMessage[] = "There is not enough memory to load the input file.";

// The maximal runs of characters other than space and tab, in order. Quotes mean nothing.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

// Splits the command line, loads the first word as the data file, builds the scales and the
// panel text and forms the title. `programName` and `className` come from the platform's
// string resources where it has them.
void startUp(AppState& state, std::string_view commandLine,
             std::string_view programName = kProgramName, std::string_view className = kClassName);

// The same start-up from words already split, as a shell passes them: the first names the file,
// blanks and all.
void startUpWithTokens(AppState& state, std::vector<std::string> tokens,
                       std::string_view programName = kProgramName,
                       std::string_view className = kClassName);

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// A start-up whose data file is still being read: from its mapping where the system maps it,
// else from the stream.
struct StartUpLoad {
  std::unique_ptr<std::FILE, FileCloser> file;
  MappedFilePointer mapped;
  std::uint64_t fileBytes = 0;
  std::optional<CsvLoad> csv;
};

// The same start-up in steps, for a window that appears before a big file is in and stays
// responsive meanwhile. beginStartUp takes the words, forms the title and opens the file; it
// returns true when start-up is complete already (no file name, or one that does not open).
// Until continueStartUp returns true, the state has its title and nothing else.
bool beginStartUp(AppState& state, StartUpLoad& load, std::vector<std::string> tokens,
                  std::string_view programName = kProgramName,
                  std::string_view className = kClassName);
// Reads on for about `byteBudget` bytes; once the data is in or the read failed, completes the
// start-up exactly as startUpWithTokens would have, closes the file and returns true.
bool continueStartUp(AppState& state, StartUpLoad& load, std::uint64_t byteBudget);
// How much of the file is read, from 0 to 1.
double loadedShare(const StartUpLoad& load);
