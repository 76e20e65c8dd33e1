// The benchmark corpus: every shape holds the number forms it promises, the layout variants hold
// the mixed table's very values, and the bytes are the same on every platform.
#include "bench/corpus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Fields = std::vector<std::string_view>;

const CorpusShape& shape(std::string_view name) {
  const CorpusShape* found = findCorpusShape(name);
  EXPECT_NE(found, nullptr) << name;
  return found != nullptr ? *found : corpusShapes().front();
}

std::vector<std::string_view> lines(std::string_view text) {
  std::vector<std::string_view> result;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    result.push_back(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  return result;
}

// The fields of every data line, as written; views into the text, which must outlive them.
std::vector<Fields> dataRows(const std::string& text) {
  std::vector<Fields> rows;
  const std::vector<std::string_view> all = lines(text);
  for (std::size_t i = 1; i < all.size(); ++i) {
    Fields fields;
    std::string_view line = all[i];
    for (std::size_t comma; (comma = line.find(',')) != std::string_view::npos;) {
      fields.push_back(line.substr(0, comma));
      line.remove_prefix(comma + 1);
    }
    fields.push_back(line);
    rows.push_back(fields);
  }
  return rows;
}

std::vector<Fields> dataRows(std::string&&) = delete;

std::vector<std::string_view> allFields(const std::string& text) {
  std::vector<std::string_view> fields;
  for (const Fields& row : dataRows(text)) fields.insert(fields.end(), row.begin(), row.end());
  return fields;
}
std::vector<std::string_view> allFields(std::string&&) = delete;

// The digits of the mantissa from the first that is not zero.
int significantDigits(std::string_view number) {
  number = number.substr(0, number.find_first_of("eE"));
  int count = 0;
  for (const char c : number) {
    if (c >= '1' && c <= '9') ++count;
    if (c == '0' && count > 0) ++count;
  }
  return count;
}

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

std::string without(std::string text, std::string_view dropped) {
  std::erase_if(text, [&](char c) { return dropped.find(c) != std::string_view::npos; });
  return text;
}

TEST(Corpus, MixedHoldsEveryFormOfNumber) {
  const std::string text = corpusText(shape("mixed"), 3000);
  std::map<std::string, int> seen;
  for (const Fields& row : dataRows(text)) ASSERT_EQ(row.size(), 6u);
  for (const std::string_view field : allFields(text)) {
    ASSERT_FALSE(field.empty());
    ASSERT_TRUE(field[0] == '-' || (field[0] >= '0' && field[0] <= '9')) << field;
    const bool exponent = contains(field, "e") || contains(field, "E");
    const bool point = contains(field, ".");
    seen["integer"] += !exponent && !point;
    seen["trailing zero"] += !exponent && point && field.back() == '0';
    seen["small"] += field.starts_with("0.0000") || field.starts_with("-0.0000");
    seen["e"] += contains(field, "e");
    seen["E"] += contains(field, "E");
    seen["negative"] += field[0] == '-';
    seen["17 digits"] += significantDigits(field) == 17;
    seen["1 digit"] += significantDigits(field) == 1;
  }
  for (const auto& [form, count] : seen) EXPECT_GT(count, 30) << form;
}

TEST(Corpus, IntegerAndFixedShapesKeepTheirForms) {
  const std::string ints = corpusText(shape("ints"), 2000);
  for (const Fields& row : dataRows(ints)) {
    ASSERT_EQ(row.size(), 8u);
    for (const std::string_view field : row) {
      int value = 0;
      ASSERT_EQ(std::from_chars(field.begin(), field.end(), value).ptr, field.end()) << field;
      ASSERT_TRUE(value >= -999 && value <= 9999) << field;
    }
  }
  std::map<int, int> lengths;
  int beyondExactIntegers = 0;
  const std::string longIntegers = corpusText(shape("longints"), 2000);
  for (const std::string_view field : allFields(longIntegers)) {
    const std::string_view digits = field.substr(field[0] == '-');
    ASSERT_EQ(digits.find_first_not_of("0123456789"), std::string_view::npos) << field;
    ++lengths[static_cast<int>(digits.size())];
    std::uint64_t magnitude = 0;
    std::from_chars(digits.begin(), digits.end(), magnitude);
    beyondExactIntegers += magnitude > (std::uint64_t{1} << 53);
  }
  EXPECT_EQ(lengths.begin()->first, 15);
  EXPECT_EQ(lengths.rbegin()->first, 19);
  EXPECT_EQ(lengths.size(), 5u);
  EXPECT_GT(beyondExactIntegers, 4000);
  const std::string fixed = corpusText(shape("fixed"), 2000);
  for (const std::string_view field : allFields(fixed)) {
    ASSERT_EQ(field.size() - field.find('.'), 7u) << field;
  }
}

TEST(Corpus, DoublesAreInShortestRoundTripForm) {
  // Random mantissas need all 17 digits about half the time, and 16 nearly all the rest.
  std::map<int, int> digitCounts;
  const std::string doubles = corpusText(shape("doubles"), 2000);
  const std::vector<std::string_view> fields = allFields(doubles);
  for (const std::string_view field : fields) {
    double value = 0;
    ASSERT_EQ(std::from_chars(field.begin(), field.end(), value).ptr, field.end()) << field;
    char shortest[32];
    const auto written = std::to_chars(shortest, shortest + sizeof shortest, value);
    ASSERT_EQ(std::string_view(shortest, written.ptr), field);
    ++digitCounts[significantDigits(field)];
  }
  const auto total = static_cast<double>(fields.size());
  EXPECT_GT(digitCounts[17] / total, 0.4);
  EXPECT_GT((digitCounts[16] + digitCounts[17]) / total, 0.9);
}

TEST(Corpus, WideShapeHasManyColumnsAndLongShapeLongValues) {
  const std::string wide = corpusText(shape("wide"), 500);
  for (const Fields& row : dataRows(wide)) ASSERT_GE(row.size(), 50u);
  const std::string longValues = corpusText(shape("long"), 2000);
  for (const Fields& row : dataRows(longValues)) {
    ASSERT_EQ(row.size(), 2u);
    for (const std::string_view field : row) ASSERT_GE(significantDigits(field), 18) << field;
  }
}

TEST(Corpus, LayoutVariantsHoldTheMixedValues) {
  const std::string mixed = corpusText(shape("mixed"), 2000);
  const std::string crlf = corpusText(shape("crlf"), 2000);
  for (const std::string_view line : lines(crlf)) ASSERT_TRUE(line.ends_with('\r'));
  EXPECT_EQ(without(crlf, "\r"), mixed);

  const std::string blanks = corpusText(shape("blanks"), 2000);
  EXPECT_TRUE(contains(blanks, " ,") && contains(blanks, ",\t") && contains(blanks, "\n\n"));
  EXPECT_TRUE(contains(lines(blanks).front(), " "));
  std::string packed = without(blanks, " \t");
  for (std::size_t at; (at = packed.find("\n\n")) != std::string::npos;) packed.erase(at, 1);
  EXPECT_EQ(packed, mixed);
}

TEST(Corpus, FilesHoldTheTextToTheRowsOrBytesAsked) {
  for (const CorpusShape& each : corpusShapes()) {
    const std::string text = corpusText(each, 400);
    for (const CorpusSize size : {CorpusSize{400, 0}, CorpusSize{0, 5000}}) {
      std::FILE* file = std::tmpfile();
      ASSERT_NE(file, nullptr);
      ASSERT_TRUE(writeCorpusFile(file, each, size));
      std::string written(text.size() + 1, '\0');
      std::rewind(file);
      written.resize(std::fread(written.data(), 1, written.size(), file));
      std::fclose(file);
      if (size.rows > 0) {
        EXPECT_EQ(written, text) << each.name;
        continue;
      }
      // Whole rows, up to the first that ends at or past the size; a row of the blanks shape may
      // bring a blank line with it.
      std::size_t longestLine = 0;
      for (const std::string_view line : lines(text))
        longestLine = std::max(longestLine, line.size());
      ASSERT_TRUE(text.starts_with(written)) << each.name;
      ASSERT_EQ(written.back(), '\n') << each.name;
      EXPECT_GE(written.size(), 5000u) << each.name;
      EXPECT_LT(written.size(), 5000 + longestLine + 8) << each.name;
    }
  }
}

// FNV-1a, the same on every platform.
std::uint64_t fingerprint(std::string_view bytes) {
  std::uint64_t hash = 0xcbf29ce484222325;
  for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3;
  return hash;
}

// As written on Linux; the Windows builds of this test must see the very same bytes, or their
// benchmark figures would be of other data.
TEST(Corpus, SameBytesOnEveryPlatform) {
  const std::map<std::string_view, std::uint64_t> expected = {
      {"mixed", 0xe1227c57e052f981},    {"ints", 0x5771a123d8ee53c0},
      {"longints", 0xf245ad22c1e0397d}, {"fixed", 0x59ffce415e423ef7},
      {"doubles", 0x71252cd706d35cb6},  {"wide", 0xd5ffef5021f29555},
      {"long", 0xc52501986d89daf7},     {"crlf", 0x3c26492c9e16712a},
      {"blanks", 0x367db371f6a06365},   {"readings", 0xf914aea58bb2125d},
  };
  for (const CorpusShape& each : corpusShapes()) {
    EXPECT_EQ(fingerprint(corpusText(each, 300)), expected.at(each.name)) << each.name;
  }
}

}  // namespace
