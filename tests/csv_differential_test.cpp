// The fast reader against the literal reference over thousands of generated files: the same
// outcome, message, names and values, bit for bit, whole in memory and read in small blocks.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "bench/corpus.h"
#include "data/csv_reader.h"
#include "field_reading.h"
#include "reference_csv_reader.h"

namespace {

class CsvDifferential : public EveryFieldReading {};

using Rng = std::mt19937_64;

int pick(Rng& rng, int low, int high) {
  return std::uniform_int_distribution<int>(low, high)(rng);
}
bool chance(Rng& rng, double probability) {
  return std::bernoulli_distribution(probability)(rng);
}

std::string printable(std::string_view bytes) {
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 32 && byte < 127 && c != '\\') {
      text += c;
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", byte);
      text += escape;
    }
  }
  return text;
}

// The shortest text that reads back as the value, and its bits in hexadecimal.
std::string withBits(double value) {
  char digits[32];
  std::string text(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
  const auto bits = std::bit_cast<std::uint64_t>(value);
  text += " (0x";
  text.append(digits, std::to_chars(digits, digits + sizeof digits, bits, 16).ptr);
  return text + ")";
}

// Where two tables that hold the same names first differ: the column, the value and both bits.
std::string firstDifference(const DataTable& got, const DataTable& expected) {
  if (got.names != expected.names || got.columns.size() != expected.columns.size()) {
    return "other names";
  }
  for (std::size_t j = 0; j < got.columns.size(); ++j) {
    const auto& x = got.columns[j];
    const auto& y = expected.columns[j];
    if (x.size() != y.size()) {
      return "column " + std::to_string(j + 1) + " holds " + std::to_string(x.size()) +
             " values, the reference's " + std::to_string(y.size());
    }
    for (std::size_t i = 0; i < x.size(); ++i) {
      if (std::bit_cast<std::uint64_t>(x[i]) == std::bit_cast<std::uint64_t>(y[i])) continue;
      return "value " + std::to_string(i + 1) + " of column " + std::to_string(j + 1) + " is " +
             withBits(x[i]) + ", the reference's " + withBits(y[i]);
    }
  }
  return {};
}

// Empty when every way of reading `text` agrees with the reference; else what differed. Long
// texts are named by their size alone.
std::string mismatch(const std::string& text, std::size_t blockBytes) {
  DataTable expected;
  std::string expectedMessage;
  const bool expectedOk = referenceReadCsv(text, expected, expectedMessage);
  DataTable inMemory;
  std::string inMemoryMessage;
  const bool inMemoryOk = readCsvText(text, inMemory, inMemoryMessage);
  DataTable inBlocks;
  std::string inBlocksMessage;
  const bool inBlocksOk =
      readCsvThroughFile(text, blockBytes, inBlocks, inBlocksMessage, text.size());
  const auto describe = [&](const char* how, bool ok, const std::string& message,
                            const DataTable& table) {
    const std::string values =
        ok && expectedOk ? "; " + firstDifference(table, expected) : std::string();
    const std::string input = text.size() <= 2000 ? "\"" + printable(text) + "\""
                                                  : std::to_string(text.size()) + " bytes";
    return std::string(how) + " gave " + (ok ? "success" : message) + ", the reference " +
           (expectedOk ? "success" : expectedMessage) + values + ", for " + input;
  };
  if (inMemoryOk != expectedOk || inMemoryMessage != expectedMessage ||
      !identicalTables(inMemory, expected)) {
    return describe("readCsvText", inMemoryOk, inMemoryMessage, inMemory);
  }
  if (inBlocksOk != expectedOk || inBlocksMessage != expectedMessage ||
      !identicalTables(inBlocks, expected)) {
    return describe(("blocks of " + std::to_string(blockBytes)).c_str(), inBlocksOk,
                    inBlocksMessage, inBlocks);
  }
  return {};
}

std::size_t randomBlockBytes(Rng& rng) {
  return chance(rng, 0.9) ? static_cast<std::size_t>(pick(rng, 1, 16)) : 4096;
}

std::string_view randomPiece(Rng& rng) {
  static constexpr std::array<std::string_view, 30> kPieces = {
      "0", "1", "2",    "5",    "7",       "9",    "-",  "+",  ".",  "e",
      "E", ",", " ",    "\t",   "\n",      "\r\n", "\r", "x",  "i",  "n",
      "f", "a", "\xb1", "\xff", {"\0", 1}, "00",   "-.", "e-", "1e", ",,"};
  static constexpr std::array<int, 30> kWeights = {6, 6, 4, 4, 3, 3, 6, 2, 5, 3, 1, 10, 4, 2, 6,
                                                   3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 1,  1, 2, 1};
  static std::discrete_distribution<int> index(kWeights.begin(), kWeights.end());
  return kPieces[index(rng)];
}

std::string randomBytes(Rng& rng) {
  static constexpr std::array<std::string_view, 5> kHeaders = {"a,b\n", "a,b,c\n", "x\n", "",
                                                               "p , q,\r\n"};
  std::string text;
  if (chance(rng, 0.8)) {
    text = kHeaders[pick(rng, 0, kHeaders.size() - 1)];
  } else {
    for (int n = pick(rng, 0, 8); n > 0; --n) text += randomPiece(rng);
  }
  for (int n = pick(rng, 0, 120); n > 0; --n) text += randomPiece(rng);
  return text;
}

std::string randomDigits(Rng& rng, int count) {
  std::string digits;
  for (int i = 0; i < count; ++i) digits += static_cast<char>('0' + pick(rng, 0, 9));
  return digits;
}

// Mostly modest exponents; the extreme ones mostly negative, so that most tables still load.
std::string randomExponent(Rng& rng) {
  std::string exponent = chance(rng, 0.5) ? "e" : "E";
  const bool extreme = chance(rng, 0.2);
  if (extreme) {
    exponent += chance(rng, 0.9) ? "-" : "+";
  } else if (chance(rng, 0.5)) {
    exponent += chance(rng, 0.5) ? "-" : "+";
  }
  if (chance(rng, 0.1)) exponent += std::string(pick(rng, 1, 30), '0');
  if (!extreme) return exponent + std::to_string(pick(rng, 0, 30));
  switch (pick(rng, 0, 2)) {
    case 0:
      return exponent + std::to_string(pick(rng, 280, 345));
    case 1:
      return exponent + std::to_string(pick(rng, 300, 5000));
    default:
      return exponent + randomDigits(rng, pick(rng, 1, 25));
  }
}

// A number near a double, written with more digits than it needs: rounding ties and near-ties.
std::string nearDouble(Rng& rng) {
  const double value =
      std::uniform_real_distribution<double>(-1, 1)(rng) * std::pow(10.0, pick(rng, -320, 308));
  char text[64];
  std::snprintf(text, sizeof text, "%.*e", pick(rng, 14, 40), value);
  return text;
}

std::string randomNumber(Rng& rng) {
  static constexpr std::array<std::string_view, 10> kEdges = {
      "4.9406564584124654e-324", "2.4703282292062327e-324",
      "2.4703282292062328e-324", "1.7976931348623157e308",
      "1.7976931348623158e308",  "1.7976931348623159e308",
      "2.2250738585072011e-308", "-0",
      "00000.000001e+00006",     "9007199254740993"};
  const std::string sign = chance(rng, 0.3) ? "-" : "";
  switch (pick(rng, 0, 6)) {
    case 0:
      return sign + randomDigits(rng, pick(rng, 1, 8));
    case 1:
      return sign + randomDigits(rng, pick(rng, sign.empty() ? 1 : 0, 6)) + "." +
             randomDigits(rng, pick(rng, 1, 9));
    case 2:
      return sign + randomDigits(rng, pick(rng, 1, 3)) + "." + randomDigits(rng, pick(rng, 0, 3)) +
             randomExponent(rng);
    case 3:
      return sign + randomDigits(rng, pick(rng, 0, 200)) + "." +
             randomDigits(rng, pick(rng, 1, 400)) + (chance(rng, 0.5) ? randomExponent(rng) : "");
    case 4:
      return nearDouble(rng);
    case 5:
      return sign + "0." + std::string(pick(rng, 0, 330), '0') +
             randomDigits(rng, pick(rng, 1, 20));
    default:
      return std::string(kEdges[pick(rng, 0, kEdges.size() - 1)]);
  }
}

std::string blanks(Rng& rng) {
  if (chance(rng, 0.8)) return "";
  return chance(rng, 0.5) ? " " : " \t ";
}

std::string randomTable(Rng& rng) {
  const int columns = pick(rng, 1, 6);
  const std::string lineEnd = chance(rng, 0.3) ? "\r\n" : "\n";
  std::string text;
  for (int j = 0; j < columns; ++j) {
    if (j > 0) text += ',';
    text += blanks(rng) + "c" + std::to_string(j);
  }
  for (int rows = pick(rng, 0, 12); rows > 0; --rows) {
    text += lineEnd;
    if (chance(rng, 0.05)) text += blanks(rng) + lineEnd;
    for (int j = 0; j < columns; ++j) {
      if (j > 0) text += ',';
      text += blanks(rng) + randomNumber(rng) + blanks(rng);
    }
  }
  if (chance(rng, 0.5)) text += lineEnd;
  for (int n = chance(rng, 0.3) ? pick(rng, 1, 3) : 0; n > 0; --n) {
    const std::size_t at = std::uniform_int_distribution<std::size_t>(0, text.size())(rng);
    if (chance(rng, 0.5) && at < text.size()) {
      text.erase(at, 1);
    } else {
      text.insert(at, randomPiece(rng));
    }
  }
  return text;
}

// Short integers and decimals, the form read two fields at a time, now and then a longer or
// other field.
std::string randomShortDecimal(Rng& rng) {
  if (chance(rng, 0.05)) return randomNumber(rng);
  const std::string sign = chance(rng, 0.3) ? "-" : "";
  const std::string integer = randomDigits(rng, pick(rng, 1, 4));
  return sign + integer + (chance(rng, 0.5) ? "." + randomDigits(rng, pick(rng, 0, 3)) : "");
}

// Integers of up to 8 digits, now and then another field.
std::string randomShortInteger(Rng& rng) {
  if (chance(rng, 0.05)) return randomNumber(rng);
  return (chance(rng, 0.3) ? "-" : "") + randomDigits(rng, pick(rng, 1, 8));
}

// One field in four of another form: still columns of the short decimal reader, which hands those
// fields to the reader of any form.
std::string randomShortDecimalOrOther(Rng& rng) {
  return chance(rng, 0.25) ? randomNumber(rng) : randomShortDecimal(rng);
}

// Integers of 15 to 19 digits, the form of the long integer reader, now and then one longer
// than it takes or another field.
std::string randomLongInteger(Rng& rng) {
  if (chance(rng, 0.05)) return randomNumber(rng);
  return (chance(rng, 0.3) ? "-" : "") +
         randomDigits(rng, pick(rng, 15, chance(rng, 0.1) ? 21 : 19));
}

// Decimals of 16 to 31 digits, the form of the long decimal reader, now and then one longer than
// it takes, without a point, or another field (mostly with an exponent, which it hands on).
std::string randomLongDecimal(Rng& rng) {
  if (chance(rng, 0.05)) return randomNumber(rng);
  const int count = pick(rng, 16, chance(rng, 0.1) ? 34 : 31);
  std::string digits = randomDigits(rng, count);
  if (chance(rng, 0.9)) digits.insert(static_cast<std::size_t>(pick(rng, 0, count)), ".");
  return (chance(rng, 0.3) ? "-" : "") + digits;
}

// Columns of one form of field, an odd or even count of them, with the same random faults as
// randomTable's.
template <typename RandomField>
std::string randomTableOf(Rng& rng, RandomField randomField, int fewestColumns = 1,
                          int mostColumns = 7, int mostRows = 12) {
  const int columns = pick(rng, fewestColumns, mostColumns);
  std::string text = "c0";
  for (int j = 1; j < columns; ++j) text += ",c" + std::to_string(j);
  for (int rows = pick(rng, 1, mostRows); rows > 0; --rows) {
    text += '\n';
    for (int j = 0; j < columns; ++j) {
      if (j > 0) text += ',';
      text += randomField(rng);
    }
  }
  text += '\n';
  for (int n = chance(rng, 0.5) ? pick(rng, 1, 2) : 0; n > 0; --n) {
    const std::size_t at = std::uniform_int_distribution<std::size_t>(0, text.size() - 1)(rng);
    if (chance(rng, 0.5)) {
      text.erase(at, 1);
    } else {
      text.insert(at, randomPiece(rng));
    }
  }
  return text;
}

// 3,000 tables from `makeTable` (given the generator and the table's number) against the
// reference reader, each cut into blocks of a random size.
template <typename MakeTable>
void expectTablesReadAsTheReferenceDoes(std::uint64_t seed, MakeTable makeTable) {
  Rng rng(seed);
  for (int i = 0; i < 3000; ++i) {
    const std::string text = makeTable(rng, i);
    ASSERT_EQ(mismatch(text, randomBlockBytes(rng)), "") << "file " << i;
  }
}

TEST_P(CsvDifferential, TablesOfShortDecimals) {
  expectTablesReadAsTheReferenceDoes(
      20261210, [](Rng& rng, int) { return randomTableOf(rng, randomShortDecimal); });
}

// Eight columns or more, which are read eight fields at a time where the processor can: whole
// lines of eight, groups within longer lines, and the columns behind the last group. Columns of
// short decimals, of short integers, or (with an even count) of both in turn, which are read as
// short decimals.
TEST_P(CsvDifferential, TablesOfEightShortColumnsOrMore) {
  expectTablesReadAsTheReferenceDoes(20261214, [](Rng& rng, int i) {
    int field = 0;
    const auto integerThenDecimal = [&field](Rng& rng) {
      return field++ % 2 == 0 ? randomShortInteger(rng) : randomShortDecimal(rng);
    };
    return i % 3 == 0   ? randomTableOf(rng, randomShortDecimal, 8, 24)
           : i % 3 == 1 ? randomTableOf(rng, randomShortInteger, 8, 24)
                        : randomTableOf(rng, integerThenDecimal, 8, 24);
  });
}

// A short decimal or integer of at most 8 bytes, the fields that blocks of lines take.
std::string randomEightByteDecimal(Rng& rng) {
  const std::string sign = chance(rng, 0.3) ? "-" : "";
  const std::string integer = randomDigits(rng, pick(rng, 1, 3));
  return sign + integer + (chance(rng, 0.5) ? "." + randomDigits(rng, pick(rng, 0, 3)) : "");
}

std::string randomEightByteInteger(Rng& rng) {
  return (chance(rng, 0.3) ? "-" : "") + randomDigits(rng, pick(rng, 1, 7));
}

// Fewer than eight columns of fields of at most 8 bytes, which are read in blocks of lines eight
// fields at a time where the processor can: blocks cut by the window's end and by the stage's, and
// lines that a block does not take (a longer field, a blank line, a CR, a fault) at any place in a
// block. Columns of short decimals, of short integers (which take a reader of their own), or of
// both in turn.
TEST_P(CsvDifferential, TablesOfFewShortColumns) {
  expectTablesReadAsTheReferenceDoes(20261215, [](Rng& rng, int i) {
    int field = 0;
    const auto integerThenDecimal = [&field](Rng& rng) {
      return field++ % 2 == 0 ? randomEightByteInteger(rng) : randomEightByteDecimal(rng);
    };
    return i % 3 == 0   ? randomTableOf(rng, randomEightByteDecimal, 1, 7, 100)
           : i % 3 == 1 ? randomTableOf(rng, randomEightByteInteger, 1, 7, 100)
                        : randomTableOf(rng, integerThenDecimal, 1, 7, 100);
  });
}

// The same in text of several windows, where the bytes behind a window are the next lines, which a
// block must not read as its own.
TEST_P(CsvDifferential, FewShortColumnsAcrossWindowsOfText) {
  Rng rng(20261216);
  for (const int columns : {1, 3, 7}) {
    std::string text = "c0";
    for (int j = 1; j < columns; ++j) text += ",c" + std::to_string(j);
    text += '\n';
    while (text.size() < 2 * kCsvBlockBytes + 1000) {
      for (int j = 0; j < columns; ++j) {
        if (j > 0) text += ',';
        text += randomDigits(rng, pick(rng, 1, 8));
      }
      text += '\n';
    }
    ASSERT_EQ(mismatch(text, kCsvBlockBytes), "") << columns << " columns";
  }
}

TEST_P(CsvDifferential, TablesOfShortDecimalsAndOtherForms) {
  expectTablesReadAsTheReferenceDoes(
      20261213, [](Rng& rng, int) { return randomTableOf(rng, randomShortDecimalOrOther); });
}

TEST_P(CsvDifferential, TablesOfLongIntegers) {
  expectTablesReadAsTheReferenceDoes(
      20261211, [](Rng& rng, int) { return randomTableOf(rng, randomLongInteger); });
}

TEST_P(CsvDifferential, TablesOfLongDecimals) {
  expectTablesReadAsTheReferenceDoes(
      20261212, [](Rng& rng, int) { return randomTableOf(rng, randomLongDecimal); });
}

// Columns whose fields change form every few hundred lines, among short integers and decimals,
// long integers and decimals, numbers of any form, and any of these with blanks around them:
// each window of the reader then meets forms that the lines sampled in the windows before did
// not have. Read whole, in windows of a page, and in small blocks.
TEST_P(CsvDifferential, ColumnsThatChangeFormFromWindowToWindow) {
  using RandomField = std::string (*)(Rng&);
  static constexpr std::array<RandomField, 6> kForms = {
      randomShortInteger, randomShortDecimal, randomShortDecimalOrOther,
      randomLongInteger,  randomLongDecimal,  randomNumber};
  Rng rng(20261210);
  for (int i = 0; i < 40; ++i) {
    const int columns = pick(rng, 1, 6);
    std::vector<RandomField> forms(static_cast<std::size_t>(columns));
    std::vector<bool> blanks(forms.size());
    std::string text = "c0";
    for (int j = 1; j < columns; ++j) text += ",c" + std::to_string(j);
    text += '\n';
    for (int stretch = 0; stretch < 6; ++stretch) {
      for (std::size_t j = 0; j < forms.size(); ++j) {
        forms[j] =
            kForms[static_cast<std::size_t>(pick(rng, 0, static_cast<int>(kForms.size()) - 1))];
        blanks[j] = chance(rng, 0.2);
      }
      for (int rows = pick(rng, 50, 400); rows > 0; --rows) {
        for (std::size_t j = 0; j < forms.size(); ++j) {
          if (j > 0) text += ',';
          const bool blank = blanks[j] && chance(rng, 0.5);
          if (blank) text += ' ';
          text += forms[j](rng);
          if (blank) text += '\t';
        }
        text += '\n';
      }
    }
    ASSERT_EQ(mismatch(text, 4096), "") << "file " << i;
    ASSERT_EQ(mismatch(text, static_cast<std::size_t>(pick(rng, 1, 16))), "") << "file " << i;
  }
}

// Short decimals with other forms among them, the fields of other forms read at the end of each
// stage of rows; one field, anywhere in the rows around a stage's end, that no vector reader takes:
// valid for the plain reading, or its first fault, whose line must be the field's own.
TEST_P(CsvDifferential, AFieldThatNoVectorReaderTakesAmongFieldsReadLate) {
  static constexpr std::array<std::string_view, 12> kOdd = {
      "+2.5", ".5", "5.", "1e400", "0x10", "1.5.5", "x", "-", "", "1e", "2 5", "7\r"};
  Rng rng(20261210);
  for (int i = 0; i < 300; ++i) {
    const int columns = pick(rng, 1, 6);
    const int rows = pick(rng, 20, 120);
    const int oddRow = pick(rng, 0, rows - 1);
    const int oddColumn = pick(rng, 0, columns - 1);
    const std::string lineEnd = chance(rng, 0.3) ? "\r\n" : "\n";
    std::string text = "c0";
    for (int j = 1; j < columns; ++j) text += ",c" + std::to_string(j);
    text += lineEnd;
    for (int r = 0; r < rows; ++r) {
      for (int j = 0; j < columns; ++j) {
        if (j > 0) text += ',';
        const bool odd = r == oddRow && j == oddColumn;
        text += odd ? std::string(kOdd[static_cast<std::size_t>(i) % kOdd.size()])
                    : randomShortDecimalOrOther(rng);
      }
      text += lineEnd;
    }
    ASSERT_EQ(mismatch(text, 4096), "") << "file " << i;
    ASSERT_EQ(mismatch(text, static_cast<std::size_t>(pick(rng, 1, 16))), "") << "file " << i;
  }
}

// Runs of blanks of every length, now and then past a block of 64 bytes.
std::string randomBlankRun(Rng& rng) {
  static constexpr std::array<std::string_view, 4> kRuns = {" ", "\t", "  ", " \t "};
  if (chance(rng, 0.02)) return std::string(static_cast<std::size_t>(pick(rng, 60, 140)), ' ');
  return std::string(kRuns[static_cast<std::size_t>(pick(rng, 0, kRuns.size() - 1))]);
}

// Tables long enough to be read in many pieces, blanks around half their fields and on blank
// lines, some with one field whose blanks separate what the blanks around fields do not: inside
// a number, behind a CR (mostly in the last column, where taking them away would end the line).
TEST_P(CsvDifferential, BlanksAroundTheFieldsOfLongTables) {
  static constexpr std::array<std::string_view, 10> kOdd = {
      "1 2", "1 e5", "1 .5", "- 1", "5\r ", "5\r \t", "5 \r", "\r ", "x ", " \r 5"};
  Rng rng(20261211);
  for (int i = 0; i < 60; ++i) {
    const int columns = pick(rng, 1, 9);
    const std::string lineEnd = chance(rng, 0.3) ? "\r\n" : "\n";
    const int rows = pick(rng, 200, 2000);
    const int oddRow = chance(rng, 0.7) ? pick(rng, 0, rows - 1) : -1;
    const int oddColumn = chance(rng, 0.5) ? columns - 1 : pick(rng, 0, columns - 1);
    std::string text = "c0";
    for (int j = 1; j < columns; ++j) text += ",c" + std::to_string(j);
    text += lineEnd;
    for (int r = 0; r < rows; ++r) {
      if (chance(rng, 0.03)) text += (chance(rng, 0.5) ? randomBlankRun(rng) : "") + lineEnd;
      for (int j = 0; j < columns; ++j) {
        if (j > 0) text += ',';
        if (chance(rng, 0.5)) text += randomBlankRun(rng);
        text += r == oddRow && j == oddColumn
                    ? std::string(kOdd[static_cast<std::size_t>(i) % kOdd.size()])
                    : randomShortDecimalOrOther(rng);
        if (chance(rng, 0.5)) text += randomBlankRun(rng);
      }
      text += lineEnd;
    }
    ASSERT_EQ(mismatch(text, 4096), "") << "file " << i;
    ASSERT_EQ(mismatch(text, static_cast<std::size_t>(pick(rng, 100, 70000))), "") << "file " << i;
  }
}

TEST_P(CsvDifferential, RandomBytesFromAWeightedAlphabet) {
  Rng rng(20240611);
  for (int i = 0; i < 4000; ++i) {
    const std::string text = randomBytes(rng);
    ASSERT_EQ(mismatch(text, randomBlockBytes(rng)), "") << "file " << i;
  }
}

TEST_P(CsvDifferential, MostlyValidTablesOfManyNumberShapes) {
  Rng rng(7);
  int accepted = 0;
  const int files = 2500;
  for (int i = 0; i < files; ++i) {
    const std::string text = randomTable(rng);
    ASSERT_EQ(mismatch(text, randomBlockBytes(rng)), "") << "file " << i;
    DataTable table;
    std::string message;
    accepted += readCsvText(text, table, message);
  }
  // The generator must keep producing loadable tables, or the values go unchecked.
  EXPECT_GT(accepted, files / 3);
}

// Small versions of every benchmark table, whole and cut into blocks of every small size and of a
// page, so that every number form and line end of the corpus also meets a block's end.
TEST_P(CsvDifferential, EveryCorpusShapeInBlocksOfEverySize) {
  for (const CorpusShape& shape : corpusShapes()) {
    const std::string text = corpusText(shape, 300);
    DataTable table;
    std::string message;
    ASSERT_TRUE(referenceReadCsv(text, table, message)) << shape.name << ": " << message;
    for (std::size_t blockBytes = 1; blockBytes <= 16; ++blockBytes) {
      ASSERT_EQ(mismatch(text, blockBytes), "") << shape.name;
    }
    ASSERT_EQ(mismatch(text, 4096), "") << shape.name;
  }
}

// Many more values of every shape, for the rarer digit patterns of the slow conversion path.
TEST_P(CsvDifferential, EveryCorpusShapeAtLength) {
  for (const CorpusShape& shape : corpusShapes()) {
    ASSERT_EQ(mismatch(corpusText(shape, 20000), 4096), "") << shape.name;
  }
}

INSTANTIATE_FOR_EVERY_FIELD_READING(CsvDifferential);

}  // namespace
