// Block ranges: the reader's equal those of the columns it stores, however the lines were read,
// and a whole column's range from them equals the one found in the column.
#include "data/value_ranges.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "data/csv_reader.h"
#include "scale/dim_scale.h"

namespace {

bool sameRanges(const std::vector<ValueRange>& a, const std::vector<ValueRange>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const bool bothNaN = std::isnan(a[i].smallest) && std::isnan(b[i].smallest);
    if (!bothNaN && (a[i].smallest != b[i].smallest || a[i].largest != b[i].largest)) {
      return false;
    }
  }
  return true;
}

// Rows of plain lines, with now and then a line the reader reads character by character (blanks
// inside a field's line, CR LF) and blank lines, which store no row.
std::string tableOf(std::size_t rows) {
  std::string text = "a,b,c\n";
  for (std::size_t i = 0; i < rows; ++i) {
    const long up = static_cast<long>(i);
    const long wave = static_cast<long>((i * 7919) % 10007) - 5000;
    text += std::to_string(up) + "," + std::to_string(wave) + "," + std::to_string(wave) + ".5";
    text += i % 997 == 0 ? " \r\n" : "\n";
    if (i % 1499 == 0) text += "\n";
  }
  return text;
}

TEST(BlockRanges, TheReadersAreThoseOfItsColumns) {
  for (const std::size_t rows : {0, 1, 4095, 4096, 4097, 20000}) {
    DataTable table;
    std::string message;
    ASSERT_TRUE(readCsvText(tableOf(rows), table, message)) << message;
    ASSERT_EQ(table.blockRanges.size(), 3u);
    for (std::size_t j = 0; j < 3; ++j) {
      EXPECT_EQ(table.columns[j].size(), rows);
      EXPECT_TRUE(coversRows(table.blockRanges[j], rows)) << rows;
      EXPECT_TRUE(sameRanges(table.blockRanges[j], blockRangesOf(table.columns[j]))) << rows;
    }
  }
}

TEST(BlockRanges, RangeOfMarksNaNAndKeepsInfinities) {
  std::vector<double> values(37);
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = std::sin(static_cast<double>(i));
  values[30] = -std::numeric_limits<double>::infinity();
  ValueRange range = rangeOf(values.data(), values.size());
  EXPECT_EQ(range.smallest, values[30]);
  EXPECT_EQ(range.largest, std::sin(33.0));
  values[3] = std::numeric_limits<double>::quiet_NaN();
  range = rangeOf(values.data(), values.size());
  EXPECT_TRUE(std::isnan(range.smallest));
}

TEST(BlockRanges, ColumnRangeIsFindRangesUnlessANaNIsThere) {
  std::vector<double> column;
  for (int i = 0; i < 10000; ++i) column.push_back(std::cos(i) * (i % 5000));
  double smallest = 0, largest = 0, expectedSmallest = 0, expectedLargest = 0;
  ASSERT_TRUE(columnRange(blockRangesOf(column), smallest, largest));
  findRange(column, expectedSmallest, expectedLargest);
  EXPECT_EQ(smallest, expectedSmallest);
  EXPECT_EQ(largest, expectedLargest);
  EXPECT_TRUE(columnRange({}, smallest, largest));
  EXPECT_EQ(smallest, 0.0);
  column[9000] = std::numeric_limits<double>::quiet_NaN();
  EXPECT_FALSE(columnRange(blockRangesOf(column), smallest, largest));
}

}  // namespace
