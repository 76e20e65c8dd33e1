// The loaded table: one name and one column of doubles per dimension, and the range of values
// of every block of rows, which lets the repaint skip blocks that no constraint can pass.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Rows per block of the block ranges: 16 bytes of range per 32 KiB of column.
inline constexpr std::size_t kRangeBlockRows = 4096;

// The smallest and largest value of a run of values. A run that holds a NaN has the smallest
// value NaN, and its largest value may then be short of the true one: such a block says nothing
// of its values and is always read.
struct ValueRange {
  double smallest;
  double largest;
};

struct DataTable {
  std::vector<std::string> names;
  // After a successful read every column holds the same number of values; row r of the table
  // is the r-th value of every column.
  std::vector<std::vector<double>> columns;
  // After a successful read, per column, the range of rows [b * kRangeBlockRows, (b + 1) *
  // kRangeBlockRows) for every block b; the last block may be shorter.
  std::vector<std::vector<ValueRange>> blockRanges;
};
