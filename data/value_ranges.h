// Ranges of column values: per block of rows while a table loads, and for a whole column from
// its blocks, so that start-up need not read the columns again.
#pragma once

#include <cstddef>
#include <vector>

#include "data/data_table.h"

// The range of values[0, count); count must not be 0.
ValueRange rangeOf(const double* values, std::size_t count);

// The block ranges of a column made elsewhere than by the reader (tests, benchmarks).
std::vector<ValueRange> blockRangesOf(const std::vector<double>& column);

// Whether `ranges` are the block ranges of a column of `rows` values, one per block.
bool coversRows(const std::vector<ValueRange>& ranges, std::size_t rows);

// Smallest and largest value of a whole column from its block ranges, as findRange finds them
// in the column; false when a block holds a NaN, for which only the column can tell.
bool columnRange(const std::vector<ValueRange>& ranges, double& smallest, double& largest);
