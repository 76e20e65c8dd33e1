// CSV table reader.
//
// Contract: readCsvTable empties `table`, reads a header line of comma-separated names and then
// data lines of numbers, and returns true with every column of equal length, or false with
// `message` set to one line-numbered message:
//   "Invalid value detected in line N."      a number that cannot be extracted (also overflow)
//   "Too many values in line N."             a value beyond the last column, or two in one field
//   "Not enough values in line N."           a line that ends too early or has an empty field
//   "Invalid character detected in line N."  a character that cannot start or separate a value
// Line N counts data lines from 1, blank lines included. CR LF reads as LF; a lone CR is an
// ordinary (invalid) character. Numbers follow the grammar of the standard formatted extraction
// of a double and convert to the same, correctly rounded, value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "data/data_table.h"

// Reads from an already opened file (opened in binary mode; line ends are handled here).
// `expectedBytes`, when known, lets the reader size the columns once instead of growing them.
bool readCsvTable(std::FILE* file, DataTable& table, std::string& message,
                  std::uint64_t expectedBytes = 0);

// As readCsvTable, reading `blockBytes` at a time; tests shrink the blocks to cut numbers and line
// ends at every position.
bool readCsvTableBlockwise(std::FILE* file, DataTable& table, std::string& message,
                           std::uint64_t expectedBytes, std::size_t blockBytes);

// The same reader over bytes in memory.
bool readCsvText(std::string_view text, DataTable& table, std::string& message);

// Removes leading and trailing spaces and tabs in place; a blank-only string stays as it is.
void trimBlanks(std::string& text);
