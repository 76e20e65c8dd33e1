// Ranges of column values: per block of rows while a table loads, and for a whole column from
// its blocks, so that start-up need not read the columns again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "data/data_table.h"

// The range of values[0, count); count must not be 0.
ValueRange rangeOf(const double* values, std::size_t count);

// Two doubles a register: the comparisons below compile to packed minimum and maximum
// instructions, which a plain loop over one running minimum cannot use.
using DoublePair = double __attribute__((vector_size(16)));
using MaskPair = std::int64_t __attribute__((vector_size(16)));
inline constexpr std::size_t kRangeLanes = 4;
// Values a running range takes at a time: two in each lane.
inline constexpr std::size_t kRangeStride = 2 * kRangeLanes;

// The range of a run of values taken a few rows at a time, as the reader stores them, while they
// are still in the cache. Each value goes to the same lane as in rangeOf, so the range comes out
// the same to the bit, the sign of a zero included.
struct RunningRange {
  double first;
  DoublePair low[kRangeLanes], high[kRangeLanes];
  MaskPair unordered[kRangeLanes];
};

// startRange takes the run's first `count` values, extendRange the next `count`, and finishRange
// gives the range of all of them; every count is a nonzero multiple of kRangeStride.
void startRange(RunningRange& range, const double* values, std::size_t count);
void extendRange(RunningRange& range, const double* values, std::size_t count);
ValueRange finishRange(const RunningRange& range);

// Whether running ranges take four lanes a register where the processor has them (the default),
// or two; both give the same bits. For the tests.
void setFourWideRanges(bool enabled);

// The block ranges of a column made elsewhere than by the reader (tests, benchmarks).
std::vector<ValueRange> blockRangesOf(const std::vector<double>& column);

// Whether `ranges` are the block ranges of a column of `rows` values, one per block.
bool coversRows(const std::vector<ValueRange>& ranges, std::size_t rows);

// Smallest and largest value of a whole column from its block ranges, as findRange finds them
// in the column; false when a block holds a NaN, for which only the column can tell.
bool columnRange(const std::vector<ValueRange>& ranges, double& smallest, double& largest);
