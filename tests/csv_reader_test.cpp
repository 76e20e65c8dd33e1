#include "data/csv_reader.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "reference_csv_reader.h"

namespace {

using Names = std::vector<std::string>;
using Column = std::vector<double>;

struct Outcome {
  bool ok = false;
  std::string message;
  DataTable table;
};

Outcome read(std::string_view text) {
  Outcome outcome;
  outcome.ok = readCsvText(text, outcome.table, outcome.message);
  return outcome;
}

Outcome readInBlocks(std::string_view text, std::size_t blockBytes) {
  Outcome outcome;
  outcome.ok = readCsvThroughFile(text, blockBytes, outcome.table, outcome.message);
  return outcome;
}

std::string messageOf(std::string_view text) {
  const Outcome outcome = read(text);
  EXPECT_FALSE(outcome.ok) << text;
  return outcome.message;
}

TEST(TrimBlanks, RemovesOnlySpacesAndTabsAtBothEnds) {
  std::string text = " \t a b\t \n \t";
  trimBlanks(text);
  EXPECT_EQ(text, "a b\t \n");
  std::string blanks = " \t ";
  trimBlanks(blanks);
  EXPECT_EQ(blanks, " \t ");
  std::string empty;
  trimBlanks(empty);
  EXPECT_EQ(empty, "");
}

TEST(CsvHeader, TrimsNamesAndSkipsEmptyFields) {
  EXPECT_EQ(read("a, b ,c\n").table.names, (Names{"a", "b", "c"}));
  EXPECT_EQ(read("a,,b,\n").table.names, (Names{"a", "b"}));
  EXPECT_EQ(read("a, \t ,b").table.names, (Names{"a", " \t ", "b"}));
  EXPECT_EQ(read(",,\n").table.names, Names{});
}

TEST(CsvHeader, LineEndsAndOddBytes) {
  EXPECT_EQ(read("a,b\r\n1,2").table.names, (Names{"a", "b"}));
  EXPECT_EQ(read("a\rb,c\r\r\n").table.names, (Names{"a\rb", "c\r"}));
  EXPECT_EQ(read(std::string("x\0\xb1,y\n", 6)).table.names,
            (Names{std::string("x\0\xb1", 3), "y"}));
}

TEST(CsvReader, ReadsValuesIntoColumns) {
  const Outcome outcome = read("a,b,c\n1.5, -2e3 ,7\n\t-.5,5.,0012\n");
  ASSERT_TRUE(outcome.ok) << outcome.message;
  EXPECT_EQ(outcome.table.columns, (std::vector<Column>{{1.5, -0.5}, {-2000, 5}, {7, 12}}));
}

TEST(CsvReader, AcceptsWhatLoadsCleanly) {
  EXPECT_TRUE(read("").ok);
  EXPECT_TRUE(read("a,b").ok);
  EXPECT_TRUE(read("a,b\n1,2").ok);
  EXPECT_TRUE(read("a,b\n\n1,2\n \t \n\n3,4\n\n").ok);
  EXPECT_TRUE(read("a\n1\n2\n").ok);
  EXPECT_TRUE(read(",\n\n \n").ok);
  const Outcome lf = read("a,b\n1,2\n3,4\n");
  const Outcome crlf = read("a,b\r\n1,2\r\n3,4\r\n");
  ASSERT_TRUE(crlf.ok) << crlf.message;
  EXPECT_TRUE(identicalTables(lf.table, crlf.table));
}

TEST(CsvReader, NumbersFollowTheStreamExtraction) {
  const auto value = [](std::string_view number) {
    const Outcome outcome = read("a,b\n" + std::string(number) + ",0\n");
    EXPECT_TRUE(outcome.ok) << number << ": " << outcome.message;
    return outcome.ok ? outcome.table.columns[0][0] : std::numeric_limits<double>::quiet_NaN();
  };
  EXPECT_EQ(value("1e-400"), 0.0);
  EXPECT_EQ(value("4.9e-324"), std::numeric_limits<double>::denorm_min());
  EXPECT_EQ(value("1.7976931348623157e308"), std::numeric_limits<double>::max());
  EXPECT_EQ(std::bit_cast<std::uint64_t>(value("-0")), std::bit_cast<std::uint64_t>(-0.0));
  EXPECT_EQ(value("5.e3"), 5000.0);
  EXPECT_EQ(value("1E+0002"), 100.0);
  EXPECT_EQ(value("0.1000000000000000055511151231257827021181583404541015625000001"), 0.1);
  EXPECT_EQ(value("9007199254740993"), 9007199254740992.0);
}

TEST(CsvReader, RejectsWhatTheExtractionRejects) {
  for (const char* number : {"-", "-.", "-.e5", "1e", "1e+", "1E-", "-e5", "5.e", "1ex", "-inf",
                             "-nan", "--1", "-+1", "1e400", "-1e400", "1.8e308"}) {
    EXPECT_EQ(messageOf("a,b\n" + std::string(number) + ",0\n"),
              "Invalid value detected in line 1.")
        << number;
  }
  EXPECT_EQ(messageOf("a,b\n0,1e"), "Invalid value detected in line 1.");
}

TEST(CsvReader, NumberEndsAtTheFirstCharacterThatCannotContinueIt) {
  for (const char* line : {"0x1,2", "1e5e3,2", "1.5.3,2", "1e5.3,2", "1,2f", "1,2\r3"}) {
    EXPECT_EQ(messageOf(std::string("a,b\n") + line), "Invalid character detected in line 1.")
        << line;
  }
}

TEST(CsvReader, EveryMessageWithItsLine) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"a,b,c\n+1,2,3", "Invalid character detected in line 1."},
      {"a,b,c\n.5,1,2", "Invalid character detected in line 1."},
      {"a,b,c\n-,1,2", "Invalid value detected in line 1."},
      {"a,b\n1,2,", "Not enough values in line 1."},
      {"a,b\n1,2,3", "Too many values in line 1."},
      {"a,b\n1,2\n\n \n1,2,3\n", "Too many values in line 4."},
      {"a,b\r\n1,2\r\n3,4\r\n5\r\n", "Not enough values in line 3."},
      {"a,b\n1,2\n3,", "Not enough values in line 2."},
      {"a,b,c\n1,2\n", "Not enough values in line 1."},
      {"a,b\n1,2\r\r\n", "Invalid character detected in line 1."},
      {"a,b\n1,\xb1", "Invalid character detected in line 1."},
      {"a,b\n\n\n1;2", "Invalid character detected in line 3."},
      {"\n1", "Too many values in line 1."},
  };
  for (const auto& c : cases) EXPECT_EQ(messageOf(c.text), c.message) << c.text;
  EXPECT_EQ(messageOf(std::string("a,b\n1,\0", 7)), "Invalid character detected in line 1.");
}

TEST(CsvReader, NeverHandsOnColumnsOfUnequalLength) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"a,b\n1,2\n3\n", "Not enough values in line 2."},
      {"a,b,c\n1,,3", "Not enough values in line 1."},
      {"a,b,c\n ,2,3", "Not enough values in line 1."},
      {"a,b\n1 2,3", "Too many values in line 1."},
      {"a,b\n1-2,3", "Too many values in line 1."},
      {"a,b\n1,2 3\n", "Too many values in line 1."},
      {"a\n1 2\n", "Too many values in line 1."},
      {"a,b\n1 2\n", "Too many values in line 1."},
      {"a,b,c\n1 2,,3", "Too many values in line 1."},
      {"a,b,c\n1,,2 3", "Not enough values in line 1."},
      {"a,b,c\n1 2,3,", "Not enough values in line 1."},
  };
  for (const auto& c : cases) EXPECT_EQ(messageOf(c.text), c.message) << c.text;
}

TEST(CsvReader, BlockBoundariesChangeNothing) {
  const std::string longNumber = "1" + std::string(3000, '0') + "e-3000";
  const std::string texts[] = {
      "alpha, beta ,gamma\r\n1.25,-3e+2,7\r\n\r\n-.5,5.,1E-2\r\n",
      "a,b\r\n1,2\r3\r\n",
      "a,b\n" + longNumber + ",-" + longNumber + "\n",
      "a,b\n12345,1e+\n",
      "a,b\n1,2\n3,4 5",
      "head\rer,b\r",
  };
  for (const std::string& text : texts) {
    const Outcome whole = read(text);
    for (std::size_t block = 1; block <= text.size() + 1; block += block < 40 ? 1 : 97) {
      const Outcome split = readInBlocks(text, block);
      EXPECT_EQ(split.ok, whole.ok) << text << " in blocks of " << block;
      EXPECT_EQ(split.message, whole.message) << text << " in blocks of " << block;
      EXPECT_TRUE(identicalTables(split.table, whole.table)) << text << " in blocks of " << block;
    }
  }
  EXPECT_EQ(read(texts[2]).table.columns[1], Column{-1.0});
}

// A line read before the input's last line feed and the same line at the very end, where the reader
// must mind the end of its input, both as the reference reads them. A digit lies in memory behind
// the input, to be misread by any scan that overruns it.
TEST(CsvReader, ReadsALineAlikeBeforeAndAfterTheLastLineFeed) {
  for (const std::string line : {"-0,0", "-1.5e-7,-2E+3", "-.5,5.", "1/2,3", "/1,2", ".5,1", "1,-",
                                 "-12345678901234567890,1e-", "1e5e3,2", "3,4 -5"}) {
    for (const std::string& text : {"a,b\n" + line + "\n1,2\n", "a,b\n" + line}) {
      DataTable expected;
      std::string expectedMessage;
      const bool expectedOk = referenceReadCsv(text, expected, expectedMessage);
      const std::string followedByADigit = text + "7";
      const Outcome outcome = read(std::string_view(followedByADigit).substr(0, text.size()));
      EXPECT_EQ(outcome.ok, expectedOk) << text;
      EXPECT_EQ(outcome.message, expectedMessage) << text;
      EXPECT_TRUE(identicalTables(outcome.table, expected)) << text;
    }
  }
}

TEST(CsvReader, LongLinesAndLongNames) {
  std::string text = std::string(5000, 'n') + ",x\n";
  const std::string row = std::string(200000, ' ') + "7," + std::string(200000, '\t') + "8\n";
  text += row + row;
  const Outcome outcome = readInBlocks(text, 4096);
  ASSERT_TRUE(outcome.ok) << outcome.message;
  EXPECT_EQ(outcome.table.names[0].size(), 5000u);
  EXPECT_EQ(outcome.table.columns, (std::vector<Column>{{7, 7}, {8, 8}}));
}

std::string tableOfRows(int rows) {
  std::string text = "x,y,z\n";
  for (int i = 0; i < rows; ++i) {
    text += std::to_string(i * 37 % 1000) + "." + std::to_string(i % 97) + ",-" +
            std::to_string(100000 + i) + ",1.5e-7\n";
  }
  return text;
}

TEST(CsvReaderMemory, SizesColumnsOnceFromTheExpectedBytes) {
  const int rows = 200000;
  const std::string text = tableOfRows(rows);
  Outcome outcome;
  ASSERT_TRUE(readCsvThroughFile(text, 64 * 1024, outcome.table, outcome.message, text.size()));
  for (const Column& column : outcome.table.columns) {
    EXPECT_EQ(column.size(), static_cast<std::size_t>(rows));
    EXPECT_LE(column.capacity(), rows * 11u / 10);
  }
}

// Read in one window, a table's lines are counted exactly: lines of 16 bytes put a line feed into
// the same byte of every sixteen, the most that the count of each byte has to hold.
TEST(CsvReaderMemory, ReservesTheLinesOfATableInOneWindowExactly) {
  for (const std::size_t rows : {4999u, 5000u}) {
    std::string text = "x,y\n";
    for (std::size_t i = 0; i < rows; ++i) text += "1234567,7654321\n";
    text += "1,2\n3,4";
    Outcome outcome;
    ASSERT_TRUE(readCsvText(text, outcome.table, outcome.message)) << outcome.message;
    EXPECT_EQ(outcome.table.columns[0].size(), rows + 2);
    EXPECT_EQ(outcome.table.columns[0].capacity(), rows + 2);
  }
}

TEST(CsvReaderMemory, FallsBackToGrowingWhenTheHintIsWrongOrMissing) {
  const std::string text = tableOfRows(30000);
  for (const std::uint64_t hint : {0, 100}) {
    Outcome outcome;
    ASSERT_TRUE(readCsvThroughFile(text, 4096, outcome.table, outcome.message, hint)) << hint;
    EXPECT_EQ(outcome.table.columns[2].size(), 30000u);
  }
  Outcome small;
  ASSERT_TRUE(readCsvThroughFile("a,b\n1,2\n", 4096, small.table, small.message));
  EXPECT_EQ(small.table.columns[0].capacity(), 10000u);
}

// A size hint far beyond memory (a wrong size from the system, or a file that shrank) must not
// stop a file that fits. The sanitizers stop the process on such a request instead of failing it.
#ifndef __SANITIZE_ADDRESS__
TEST(CsvReaderMemory, AHintBeyondMemoryStillLoads) {
  Outcome outcome;
  ASSERT_TRUE(readCsvThroughFile("a,b\n1,2\n3,4\n", 4096, outcome.table, outcome.message,
                                 std::uint64_t{1} << 62));
  EXPECT_EQ(outcome.table.columns[1], (Column{2, 4}));
}
#endif

}  // namespace
