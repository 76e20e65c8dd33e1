// CSV table reader.
//
// Contract: a read empties the table, reads a header line of comma-separated names and then
// data lines of numbers, and succeeds with every column of equal length and the range of every
// block of rows, or fails with one line-numbered message:
//   "Invalid value detected in line N."      a number that cannot be extracted (also overflow)
//   "Too many values in line N."             a value beyond the last column, or two in one field
//   "Not enough values in line N."           a line that ends too early or has an empty field
//   "Invalid character detected in line N."  a character that cannot start or separate a value
// Line N counts data lines from 1, blank lines included. CR LF reads as LF; a lone CR is an
// ordinary (invalid) character. Numbers follow the grammar of the standard formatted extraction
// of a double and convert to the same, correctly rounded, value. After a failure the table holds
// what a reader storing value by value would have stored up to the fault.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "data/data_table.h"

inline constexpr std::size_t kCsvBlockBytes = std::size_t{1} << 20;

enum class CsvStatus { Reading, Loaded, Failed };

// The reader's own state between two steps of a load.
struct CsvReaderState;
struct CsvReaderStateDeleter {
  void operator()(CsvReaderState* state) const;
};

// A load in steps, for a caller that has other work between them (a window that must stay
// responsive while a big file loads). The table fills as the load goes on; it is complete once
// the status is Loaded, and the caller may then move it out.
struct CsvLoad {
  CsvStatus status = CsvStatus::Reading;
  DataTable table;
  std::string message;  // set when the status is Failed
  std::uint64_t bytesRead = 0;
  std::unique_ptr<CsvReaderState, CsvReaderStateDeleter> reader;
};

// Starts a load from an already opened file (opened in binary mode; line ends are handled
// here), read `blockBytes` at a time. `expectedBytes`, when known, lets the reader size the
// columns once instead of growing them. The file stays open and must outlive the load.
CsvLoad beginCsvLoad(std::FILE* file, std::uint64_t expectedBytes = 0,
                     std::size_t blockBytes = kCsvBlockBytes);
// Starts a load of bytes in memory, which must outlive the load.
CsvLoad beginCsvLoad(std::string_view text);

// Reads on until at least `byteBudget` more bytes are read or the load ends; returns the status.
// A budget of 0 reads one block.
CsvStatus continueCsvLoad(CsvLoad& load, std::uint64_t byteBudget);

// The whole load in one call: true with the table filled, or false with `message` set.
bool readCsvTable(std::FILE* file, DataTable& table, std::string& message,
                  std::uint64_t expectedBytes = 0);

// As readCsvTable, reading `blockBytes` at a time; tests shrink the blocks to cut numbers and line
// ends at every position.
bool readCsvTableBlockwise(std::FILE* file, DataTable& table, std::string& message,
                           std::uint64_t expectedBytes, std::size_t blockBytes);

// The same reader over bytes in memory.
bool readCsvText(std::string_view text, DataTable& table, std::string& message);

// How the data lines' fields are read: by default with the fastest code this processor runs for
// each column; tests also read with the baseline code, which every processor of the platform
// runs, with the vector reader of any form on every column (where the processor has AVX2), and
// with the vector readers of one or two fields but neither the one of eight nor the removal of
// blanks around fields (AVX-512). All give the same tables and messages.
enum class FieldReading { Fastest, Baseline, AnyForm, OneOrTwoAtATime };
void setFieldReading(FieldReading reading);

// Removes leading and trailing spaces and tabs in place; a blank-only string stays as it is.
void trimBlanks(std::string& text);
