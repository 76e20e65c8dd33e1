// Start-up: from the command-line text to a complete AppState, or to a message that the window
// shows in place of the data. Never fails: every fault ends in state.messageText.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/app_state.h"

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
