// A deliberately literal CSV reader for checking the fast one: a text-mode stream read one
// character at a time with get and putback, numbers taken by the stream's own extraction, plus the
// end-of-line checks that keep every column the same length. Slow, and obviously right.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "data/data_table.h"

// Reads the bytes of a file as a text-mode stream would deliver them (CR LF as LF).
bool referenceReadCsv(std::string_view fileBytes, DataTable& table, std::string& message);

// True when both tables hold the same names and the same values, bit for bit.
bool identicalTables(const DataTable& a, const DataTable& b);

// Loads the bytes with the fast reader from a stream, as from a file, `blockBytes` at a time.
bool readCsvThroughFile(std::string_view fileBytes, std::size_t blockBytes, DataTable& table,
                        std::string& message, std::uint64_t expectedBytes = 0);
