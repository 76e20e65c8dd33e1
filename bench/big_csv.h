// The benchmark table: a header of six names and rows of numbers in the shapes real exports have
// (-123.456789, 0.000123, 4567.1, 1.5e-07), the same bytes on every run and every platform.
#pragma once

#include <cstdint>
#include <cstdio>

inline constexpr std::uint64_t kBigCsvRows = 10'000'000;

// Writes the header and `rows` data lines; false when the file could not be written.
bool writeBigCsv(std::FILE* out, std::uint64_t rows);
