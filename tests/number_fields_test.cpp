// Every shape of number field near the edges of the reader's whole-field paths (one word, two
// words, point and exponent positions, the 2^53 and 10^22 limits), in every place on a line,
// against the literal reference: the same outcome, message and bits.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "data/csv_reader.h"
#include "field_reading.h"
#include "reference_csv_reader.h"

namespace {

class NumberFields : public EveryFieldReading {};

// Digits that vary from field to field, so that no shape is tested with one value only.
std::string digits(int count, unsigned& seed) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    seed = seed * 1103515245 + 12345;
    text += static_cast<char>('0' + (seed >> 16) % 10);
  }
  return text;
}

// Mantissas of 0 to 18 integer and fraction digits, with and without sign, leading zeros and
// the two forms a point may take at either end.
std::vector<std::string> mantissas() {
  std::vector<std::string> texts;
  unsigned seed = 7;
  for (const std::string sign : {"", "-"}) {
    for (int integer = 0; integer <= 18; ++integer) {
      for (int fraction = -1; fraction <= 18; ++fraction) {
        std::string text = sign + digits(integer, seed);
        if (fraction >= 0) {
          text += '.';
          text += digits(fraction, seed);
        }
        texts.push_back(text);
      }
      texts.push_back(sign + "0" + digits(integer, seed));
    }
  }
  return texts;
}

std::vector<std::string> exponents() {
  std::vector<std::string> texts = {""};
  unsigned seed = 11;
  for (const std::string mark : {"e", "E"}) {
    for (const std::string sign : {"", "+", "-"}) {
      for (int count = 0; count <= 5; ++count) {
        texts.push_back(mark + sign + digits(count, seed));
      }
    }
  }
  for (const char* edge : {"e22", "e-22", "e23", "e-23", "e308", "e309", "e-324", "e-400"}) {
    texts.push_back(edge);
  }
  return texts;
}

struct Result {
  bool ok = false;
  std::string message;
  DataTable table;
};

// Empty when the fast reader and the reference agree on `text`, else what differs.
std::string compare(const std::string& text) {
  Result fast;
  Result reference;
  fast.ok = readCsvText(text, fast.table, fast.message);
  reference.ok = referenceReadCsv(text, reference.table, reference.message);
  if (fast.ok != reference.ok || fast.message != reference.message ||
      !identicalTables(fast.table, reference.table)) {
    return "\"" + text + "\": " + (fast.ok ? "success" : fast.message) + ", the reference " +
           (reference.ok ? "success" : reference.message);
  }
  return {};
}

// The field alone, and first, in the middle and last of three, with LF and CR LF.
std::vector<std::string> tablesAround(const std::string& field) {
  return {"a\n" + field + "\n",         "a,b,c\n" + field + ",1,2\n",
          "a,b,c\n1," + field + ",2\n", "a,b,c\n1,2," + field + "\n",
          "a,b\n-3," + field + "\r\n",  "a,b\n" + field + ",4\r\n5,6"};
}

void expectAllAgree(const std::vector<std::string>& fields) {
  int failures = 0;
  for (const std::string& field : fields) {
    for (const std::string& table : tablesAround(field)) {
      const std::string difference = compare(table);
      if (!difference.empty() && ++failures <= 10) ADD_FAILURE() << difference;
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST_P(NumberFields, EveryMantissaAndExponentShape) {
  std::vector<std::string> fields;
  const std::vector<std::string> tails = exponents();
  for (const std::string& mantissa : mantissas()) {
    for (const std::string& tail : tails) fields.push_back(mantissa + tail);
  }
  expectAllAgree(fields);
}

TEST_P(NumberFields, ValuesAtTheLimitsOfExactArithmetic) {
  expectAllAgree(
      {// 2^53 and its neighbours, with and without a point and exponent
       "9007199254740992", "9007199254740993", "9007199254740991", "900719925474099.3",
       "9007199254740993e-16", "18014398509481985", "-9999999999999999", "1234567890123456",
       "0.000000000000001", "1e22", "1e-22", "12345678e15", "4.9406564584124654e-324",
       "2.4703282292062328e-324", "1.7976931348623157e308", "1.7976931348623159e308", "0.5e-323",
       "-0", "-0.0", "-0e5", "00000000", "000000000", "0000000000000000.5", "5.", "-5.", "-.5",
       "-.5e1", ".5", "5.e3", "-.", "-", "-e5", "1e", "1e+", "1e-", "1.2.3", "1-2", "1 2", "1e5e3",
       "1ee5", "+1", "12345678.", "1234567.8", "12345678.9", "0x10", "1,5",
       // numbers longer than the whole-field readers take, and what looks like them
       "-.5000000000000000001", "0000000000000000000000001.5", "123456789012345678901234567890",
       "1.000000000000000000001e400", "1.000000000000000000001e-400", "12345678901234567890123e-5x",
       "-infinity", "-nan", "-.e5"});
}

TEST_P(NumberFields, BlanksAroundAndInsideFields) {
  expectAllAgree({" 1", "1 ", "\t-2.5\t", " 1e5 ", "- 1", "1 .5", "1. 5", "1e 5", "  ",
                  " 123456789012345678 ", "\t0.000012345678912\t", "   -12.5", "7                ",
                  " 1234567890123456789012 ", " 1e5e3 ", " .5", "\t-.5"});
}

// The header and 64 lines of two copies of `lead`: enough for the reader to choose the readers
// of the columns by it.
std::string leadLines(const std::string& lead) {
  std::string text = "a,b\n";
  for (int line = 0; line < 64; ++line) text += lead + "," + lead + "\n";
  return text;
}

// The readers of a column are chosen from the first lines of each block; every field shape that
// follows, whichever reader its column got (integers, short and long decimals, any form, each
// with and without blanks), reads as the reference reads it. Valid shapes share one table per
// reader; each other shape, which ends its read with a message, gets a table of its own.
TEST_P(NumberFields, EveryShapeBehindLinesThatChoseTheirReader) {
  std::vector<std::string> shapes;
  const std::vector<std::string> tails = {"", "e7", "E-3", "e+300", "e-05", "E+16", "e-9", "e+0a"};
  for (const std::string& mantissa : mantissas()) {
    for (const std::string& tail : tails) {
      const std::string number = mantissa + tail;
      shapes.push_back(number);
      shapes.push_back(std::string(" ").append(number).append("\t"));
      // A blank inside the number makes two numbers of it, or a fault.
      if (number.size() >= 2) {
        const std::size_t half = number.size() / 2;
        shapes.push_back(std::string(" ").append(number, 0, half).append(" ").append(number, half));
      }
    }
  }
  int failures = 0;
  for (const std::string lead :
       {"12", "-3.25", "1.5e-3", " 7", "-0.125\t", " 2E+5 ", "-18.82788183813798"}) {
    const std::string lines = leadLines(lead);
    std::string valid = lines;
    for (const std::string& shape : shapes) {
      const std::string rows = shape + "," + lead + "\n" + lead + "," + shape + "\r\n";
      DataTable table;
      std::string message;
      if (referenceReadCsv("a,b\n" + rows, table, message)) {
        valid += rows;
      } else if (const std::string difference = compare(lines + rows);
                 !difference.empty() && ++failures <= 10) {
        ADD_FAILURE() << "behind \"" << lead << "\": " << difference.substr(0, 200);
      }
    }
    if (const std::string difference = compare(valid); !difference.empty()) {
      ++failures;
      ADD_FAILURE() << "behind \"" << lead << "\": " << difference.substr(0, 200);
    }
  }
  EXPECT_EQ(failures, 0);
}

// The decimal digits of value x factor^count, for a factor below 10.
std::string timesPower(std::uint64_t value, int factor, int count) {
  std::string text = std::to_string(value);
  for (; count > 0; --count) {
    int carry = 0;
    for (auto digit = text.rbegin(); digit != text.rend(); ++digit) {
      const int product = (*digit - '0') * factor + carry;
      *digit = static_cast<char>('0' + product % 10);
      carry = product / 10;
    }
    if (carry != 0) text.insert(text.begin(), static_cast<char>('0' + carry));
  }
  return text;
}

// The decimal digits of a number of at least two digits, one unit up or down.
std::string oneUnit(std::string text, bool up) {
  for (auto digit = text.rbegin(); digit != text.rend(); ++digit) {
    if (*digit != (up ? '9' : '0')) {
      *digit = static_cast<char>(*digit + (up ? 1 : -1));
      break;
    }
    *digit = up ? '0' : '9';
  }
  return text;
}

// How many of the tables made of `numbers`, one a line beside a column of each lead, differ from
// the reference; the first four differences are reported.
int failuresBehindLeads(const std::vector<std::string>& numbers) {
  int failures = 0;
  for (const std::string lead :
       {"12", "-3.25", "1.5e-3", "-1.1174522265362539e-05", "18.82788183813798"}) {
    std::string table = leadLines(lead);
    for (const std::string& number : numbers) table += number + "," + lead + "\n";
    if (const std::string difference = compare(table); !difference.empty() && ++failures <= 4) {
      ADD_FAILURE() << "behind \"" << lead << "\": " << difference.substr(0, 200);
    }
  }
  return failures;
}

// Halfway between two doubles from 2^60 to 2^72 lies an integer of 19 to 22 digits, more than
// the reader's mantissa holds: it must round to even there, and away from the tie one unit
// either side, in every form that writes the same number, whichever reader the column got.
TEST_P(NumberFields, TiesBetweenDoublesWrittenInFullDigits) {
  std::vector<std::string> numbers;
  unsigned seed = 5;
  for (int i = 0; i < 400; ++i) {
    seed = seed * 1103515245 + 12345;
    const std::uint64_t mantissa = (std::uint64_t{1} << 52) | (std::uint64_t{seed} << 20 ^ i);
    const std::string halfway = timesPower(2 * mantissa + 1, 2, 7 + i % 12);
    for (const std::string& near : {halfway, oneUnit(halfway, false), oneUnit(halfway, true)}) {
      const std::string exponent = std::to_string(near.size() - 1);
      numbers.push_back(near);
      numbers.push_back("-" + near + ".0");
      numbers.push_back(near.substr(0, 1) + "." + near.substr(1) + "e" + exponent);
      numbers.push_back(near.substr(0, 1) + "." + near.substr(1) + "E+" + exponent);
      numbers.push_back("0." + near + "e" + std::to_string(near.size()));
    }
  }
  EXPECT_EQ(failuresBehindLeads(numbers), 0);
}

// The numbers halfway between two doubles from 2^49 to 2^53, the first four just below 2^53, to
// which rounding up carries: 400 of them, with `places` digits behind the point, as digits alone.
std::vector<std::string> halfwaysBelowTwoToThe53(int places) {
  std::vector<std::string> numbers;
  unsigned seed = 9;
  for (int i = 0; i < 400; ++i) {
    seed = seed * 1103515245 + 12345;
    const std::uint64_t mantissa = i < 4
                                       ? (std::uint64_t{1} << 53) - 1
                                       : (std::uint64_t{1} << 52) | (std::uint64_t{seed} << 20 ^ i);
    numbers.push_back(timesPower(2 * mantissa + 1, 5, places));
  }
  return numbers;
}

// The number of `digits` with `places` of them behind the point, and its negative.
void addWithPoint(const std::string& digits, int places, std::vector<std::string>& numbers) {
  const std::string number =
      digits.substr(0, digits.size() - places) + "." + digits.substr(digits.size() - places);
  numbers.push_back(number);
  numbers.push_back("-" + number);
}

// With 1 to 4 places behind the point these ties have 17 to 20 digits, which a 64-bit mantissa
// still holds whole: the one case where the wide product must itself find the tie and round to
// even.
TEST_P(NumberFields, TiesBetweenDoublesWithFewPlacesBehindThePoint) {
  std::vector<std::string> numbers;
  for (int places = 1; places <= 4; ++places) {
    for (const std::string& halfway : halfwaysBelowTwoToThe53(places)) {
      for (const std::string& near : {halfway, oneUnit(halfway, false), oneUnit(halfway, true)}) {
        addWithPoint(near, places, numbers);
      }
    }
  }
  EXPECT_EQ(failuresBehindLeads(numbers), 0);
}

// With 5 to 10 places they have 20 to 24 digits, more than the reader keeps: the tie, and the
// numbers a unit of the last or of the 19th digit beside it, lie between the 19 leading digits
// and their successor or just beside them, where the bounds' products must not be trusted.
TEST_P(NumberFields, TiesBetweenDoublesWithManyPlacesBehindThePoint) {
  std::vector<std::string> numbers;
  for (int places = 5; places <= 10; ++places) {
    for (const std::string& halfway : halfwaysBelowTwoToThe53(places)) {
      const std::string kept = halfway.substr(0, 19);
      const std::string dropped = halfway.substr(19);
      for (const std::string& near : {halfway, oneUnit(halfway, false), oneUnit(halfway, true),
                                      oneUnit(kept, false) + dropped, oneUnit(kept, true) + dropped,
                                      oneUnit(oneUnit(kept, true), true) + dropped}) {
        addWithPoint(near, places, numbers);
      }
    }
  }
  EXPECT_EQ(failuresBehindLeads(numbers), 0);
}

INSTANTIATE_FOR_EVERY_FIELD_READING(NumberFields);

}  // namespace
