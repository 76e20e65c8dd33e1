// Block ranges: the reader's equal those of the columns it stores, however the lines were read,
// and a whole column's range from them equals the one found in the column.
#include "data/value_ranges.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "data/csv_reader.h"
#include "scale/dim_scale.h"

namespace {

// To the bit: a zero's sign shows in the scale the range makes.
bool sameRange(ValueRange a, ValueRange b) {
  return std::bit_cast<std::uint64_t>(a.smallest) == std::bit_cast<std::uint64_t>(b.smallest) &&
         std::bit_cast<std::uint64_t>(a.largest) == std::bit_cast<std::uint64_t>(b.largest);
}

bool sameRanges(const std::vector<ValueRange>& a, const std::vector<ValueRange>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), sameRange);
}

// A run whose smallest (or, for odd seeds, largest) value is zero, with zeros of both signs in
// every lane after a first value that is not zero: which zero comes out depends on the lane each
// value goes to. From seed 8 on, some runs hold infinities or NaNs too.
std::vector<double> zerosOfBothSigns(std::size_t count, unsigned seed) {
  const double side = seed % 2 == 0 ? 1.0 : -1.0;
  std::vector<double> values(count);
  values[0] = side;
  for (std::size_t i = 1; i < count; ++i) {
    const unsigned draw = (static_cast<unsigned>(i) * 2654435761u + seed * 97u) >> 9;
    values[i] = draw % 2 == 0 ? 0.0 : -0.0;
    if (draw % 11 == 0) values[i] = side * 2.5;
    if (seed >= 8 && seed % 4 == 1 && draw % 37 == 0) {
      values[i] = side * std::numeric_limits<double>::infinity();
    }
    if (seed >= 8 && seed % 4 == 3 && draw % 53 == 0) {
      values[i] = std::numeric_limits<double>::quiet_NaN();
    }
  }
  return values;
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

// Runs taken a stage at a time, two lanes a register or four, give rangeOf's range of the whole
// run to the bit.
TEST(BlockRanges, ARunningRangeIsRangeOfTheWholeRun) {
  for (unsigned seed = 0; seed < 12; ++seed) {
    const std::vector<double> values = zerosOfBothSigns(512 + 8 * seed, seed);
    setFourWideRanges(false);
    const ValueRange whole = rangeOf(values.data(), values.size());
    for (const bool fourWide : {false, true}) {
      setFourWideRanges(fourWide);
      EXPECT_TRUE(sameRange(rangeOf(values.data(), values.size()), whole)) << seed;
      for (const std::size_t stage : {8, 16, 32, 64}) {
        RunningRange running;
        startRange(running, values.data(), stage);
        for (std::size_t i = stage; i < values.size(); i += stage) {
          extendRange(running, values.data() + i, std::min(stage, values.size() - i));
        }
        EXPECT_TRUE(sameRange(finishRange(running), whole)) << seed << " " << stage;
      }
    }
  }
  setFourWideRanges(true);
}

// Blocks of zeros of both signs, as zerosOfBothSigns makes them, in few columns, whose ranges
// the reader takes a stage at a time, and in so many that a stage holds fewer rows than a running
// range takes at a time.
TEST(BlockRanges, TheReadersKeepTheSignsOfZeros) {
  for (const std::size_t columns : {3, 4200}) {
    const std::size_t rows = columns == 3 ? 3 * kRangeBlockRows + 17 : kRangeBlockRows + 1;
    std::vector<std::vector<double>> blocks;
    for (std::size_t j = 0; j < columns; ++j) {
      blocks.push_back(zerosOfBothSigns(kRangeBlockRows, static_cast<unsigned>(j % 4)));
    }
    std::string text;
    for (std::size_t j = 0; j < columns; ++j) {
      text += 'c' + std::to_string(j);
      text += j + 1 < columns ? ',' : '\n';
    }
    for (std::size_t i = 0; i < rows; ++i) {
      for (std::size_t j = 0; j < columns; ++j) {
        const double value = blocks[j][i % kRangeBlockRows];
        text += value != 0 ? std::to_string(value) : std::signbit(value) ? "-0" : "0.0";
        text += j + 1 < columns ? ',' : '\n';
      }
    }
    DataTable table;
    std::string message;
    ASSERT_TRUE(readCsvText(text, table, message)) << message;
    for (std::size_t j = 0; j < columns; ++j) {
      ASSERT_TRUE(sameRanges(table.blockRanges[j], blockRangesOf(table.columns[j]))) << j;
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
