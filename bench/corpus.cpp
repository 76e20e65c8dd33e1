#include "bench/corpus.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>

namespace {

// SplitMix64. The standard engines are portable but their distributions are not; this one and
// the modulo below are fully specified here.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}

  std::uint64_t next() {
    std::uint64_t z = state_ += 0x9e3779b97f4a7c15;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9;
    z = (z ^ (z >> 27)) * 0x94d049bb133111eb;
    return z ^ (z >> 31);
  }
  // The modulo bias is far below anything a benchmark could notice.
  std::uint64_t below(std::uint64_t count) { return next() % count; }
  int between(int low, int high) {
    return low + static_cast<int>(below(static_cast<std::uint64_t>(high - low) + 1));
  }
  bool percent(int chance) { return below(100) < static_cast<std::uint64_t>(chance); }

 private:
  std::uint64_t state_;
};

enum class Values {
  Mixed,
  ShortIntegers,
  LongIntegers,
  FixedDecimals,
  Doubles,
  Wide,
  LongDigits,
  Readings
};
enum class Layout { Plain, CrLf, Blanks };

struct Recipe {
  Values values;
  int columns;
  Layout layout;
  std::uint64_t seed;
};

// The three variants of the mixed table share their seed, and so their values: only the bytes
// between the values differ, which makes their figures comparable.
constexpr std::array<CorpusShape, 10> kShapes = {{
    {"mixed",
     "6 columns; each value an integer, fixed decimals, a small value, an exponent (e or E) or 1 "
     "to 17 significant digits"},
    {"ints", "8 columns of short integers, -999 to 9999"},
    {"longints", "4 columns of 15- to 19-digit integers, beyond 2^53 but for the shortest"},
    {"fixed", "6 columns of 6 decimals, 0 to 4 integer digits"},
    {"doubles", "4 columns of random doubles in shortest round-trip form: 16 or 17 digits"},
    {"wide", "64 columns of short integers and one-decimal values"},
    {"long", "2 columns of 18 to 24 significant digits"},
    {"crlf", "the mixed table with CR LF line ends"},
    {"blanks", "the mixed table with blanks around fields and names, and blank lines"},
    {"readings", "16 columns of readings: integer columns beside columns of 1 or 2 decimals"},
}};
constexpr std::array<Recipe, kShapes.size()> kRecipes = {{
    {Values::Mixed, 6, Layout::Plain, 1},
    {Values::ShortIntegers, 8, Layout::Plain, 2},
    {Values::LongIntegers, 4, Layout::Plain, 3},
    {Values::FixedDecimals, 6, Layout::Plain, 4},
    {Values::Doubles, 4, Layout::Plain, 5},
    {Values::Wide, 64, Layout::Plain, 6},
    {Values::LongDigits, 2, Layout::Plain, 7},
    {Values::Mixed, 6, Layout::CrLf, 1},
    {Values::Mixed, 6, Layout::Blanks, 1},
    {Values::Readings, 16, Layout::Plain, 8},
}};

const Recipe& recipeOf(const CorpusShape& shape) {
  for (std::size_t i = 0; i < kShapes.size(); ++i) {
    if (kShapes[i].name == shape.name) return kRecipes[i];
  }
  return kRecipes[0];
}

void appendDigits(std::string& out, Rng& rng, int count) {
  for (int i = 0; i < count; ++i) out += static_cast<char>('0' + rng.below(10));
}

// `count` digits, the first not a zero.
void appendLeadingDigits(std::string& out, Rng& rng, int count) {
  out += static_cast<char>('1' + rng.below(9));
  appendDigits(out, rng, count - 1);
}

void appendInteger(std::string& out, std::int64_t value) {
  char text[24];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

void appendSign(std::string& out, Rng& rng, int negativePercent) {
  if (rng.percent(negativePercent)) out += '-';
}

// An integer part of `digits` digits, "0" for none.
void appendIntegerPart(std::string& out, Rng& rng, int digits) {
  if (digits == 0) {
    out += '0';
  } else {
    appendLeadingDigits(out, rng, digits);
  }
}

// -180, 7
void appendPlainInteger(std::string& out, Rng& rng) {
  appendSign(out, rng, 40);
  const int digits = rng.between(1, 6);
  if (digits == 1) {
    appendDigits(out, rng, 1);
  } else {
    appendLeadingDigits(out, rng, digits);
  }
}

// 15.1760: exports that print a fixed number of decimals keep their trailing zeros.
void appendFixedDecimals(std::string& out, Rng& rng) {
  appendSign(out, rng, 40);
  appendIntegerPart(out, rng, rng.between(0, 4));
  out += '.';
  const int decimals = rng.between(1, 9);
  const int zeros = rng.percent(30) ? rng.between(1, std::min(decimals, 3)) : 0;
  appendDigits(out, rng, decimals - zeros);
  out.append(static_cast<std::size_t>(zeros), '0');
}

// 0.0000431758
void appendSmallValue(std::string& out, Rng& rng) {
  appendSign(out, rng, 30);
  out += "0.";
  out.append(static_cast<std::size_t>(rng.between(2, 6)), '0');
  appendLeadingDigits(out, rng, rng.between(4, 10));
}

// 4.381413E-5, 8.496167e-1, 1.5e-07, 2.25e+12
void appendExponentForm(std::string& out, Rng& rng) {
  appendSign(out, rng, 40);
  appendLeadingDigits(out, rng, 1);
  out += '.';
  appendDigits(out, rng, rng.between(1, 8));
  out += rng.percent(50) ? 'e' : 'E';
  const int sign = rng.between(0, 9);
  if (sign < 6) {
    out += '-';
  } else if (sign < 8) {
    out += '+';
  }
  const int exponent = rng.between(0, 20);
  if (exponent < 10 && rng.percent(30)) out += '0';
  appendInteger(out, exponent);
}

// 1 to `most` significant digits with the point anywhere: past 15 or so digits the mantissa no
// longer fits a double exactly and conversion needs the correctly rounded path.
void appendSignificantDigits(std::string& out, Rng& rng, int fewest, int most, int mostInteger) {
  const int digits = rng.between(fewest, most);
  const int integerDigits = rng.between(0, std::min(digits, mostInteger));
  if (integerDigits == 0) {
    out += "0.";
    appendLeadingDigits(out, rng, digits);
    return;
  }
  appendLeadingDigits(out, rng, integerDigits);
  if (integerDigits == digits) return;
  out += '.';
  appendDigits(out, rng, digits - integerDigits);
}

void appendMixedValue(std::string& out, Rng& rng) {
  switch (rng.below(5)) {
    case 0:
      return appendPlainInteger(out, rng);
    case 1:
      return appendFixedDecimals(out, rng);
    case 2:
      return appendSmallValue(out, rng);
    case 3:
      return appendExponentForm(out, rng);
    default:
      appendSign(out, rng, 40);
      return appendSignificantDigits(out, rng, 1, 17, 17);
  }
}

// A double of random sign and mantissa between 2^-20 and 2^20, in std::to_chars's shortest form,
// which picks fixed or scientific notation, whichever is shorter.
void appendShortestDouble(std::string& out, Rng& rng) {
  const std::uint64_t sign = rng.next() >> 63 << 63;
  const auto exponent = static_cast<std::uint64_t>(1023 + rng.between(-20, 19)) << 52;
  const std::uint64_t mantissa = rng.next() & ((std::uint64_t{1} << 52) - 1);
  const double value = std::bit_cast<double>(sign | exponent | mantissa);
  char text[32];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

void appendValue(std::string& out, Rng& rng, Values values, int column) {
  switch (values) {
    case Values::Mixed:
      return appendMixedValue(out, rng);
    case Values::ShortIntegers:
      return appendInteger(out, static_cast<std::int64_t>(rng.below(10999)) - 999);
    case Values::LongIntegers:
      appendSign(out, rng, 20);
      return appendLeadingDigits(out, rng, rng.between(15, 19));
    case Values::FixedDecimals:
      appendSign(out, rng, 50);
      appendIntegerPart(out, rng, column % 5);
      out += '.';
      return appendDigits(out, rng, 6);
    case Values::Doubles:
      return appendShortestDouble(out, rng);
    case Values::Wide:
      if (rng.percent(60)) return appendInteger(out, rng.between(0, 999));
      appendSign(out, rng, 20);
      appendInteger(out, rng.between(0, 99));
      out += '.';
      return appendDigits(out, rng, 1);
    case Values::LongDigits:
      appendSign(out, rng, 50);
      return appendSignificantDigits(out, rng, 18, 24, 8);
    case Values::Readings:
      // Counts and codes in every other column, measures with their decimals in the rest.
      if (column % 2 == 0) return appendInteger(out, rng.between(0, 99999));
      appendSign(out, rng, 20);
      appendInteger(out, rng.between(0, 999));
      out += '.';
      return appendDigits(out, rng, 1 + column % 4 / 2);
  }
}

// Writes the header and the rows of one shape. Values and layout draw on separate streams, so
// that a layout's blanks leave the values as they are.
class TableWriter {
 public:
  explicit TableWriter(const Recipe& recipe)
      : recipe_(recipe), values_(recipe.seed), layout_(~recipe.seed) {}

  void header(std::string& out) {
    for (int column = 0; column < recipe_.columns; ++column) {
      if (column > 0) out += ',';
      blanks(out);
      out += 'c';
      appendInteger(out, column + 1);
      blanks(out);
    }
    lineEnd(out);
  }

  void row(std::string& out) {
    for (int column = 0; column < recipe_.columns; ++column) {
      if (column > 0) out += ',';
      blanks(out);
      appendValue(out, values_, recipe_.values, column);
      blanks(out);
    }
    lineEnd(out);
    if (recipe_.layout == Layout::Blanks && layout_.percent(3)) {
      blanks(out);
      lineEnd(out);
    }
  }

 private:
  void blanks(std::string& out) {
    static constexpr std::array<std::string_view, 4> kBlanks = {" ", "  ", "\t", " \t "};
    if (recipe_.layout == Layout::Blanks && layout_.percent(30)) {
      out += kBlanks[layout_.below(kBlanks.size())];
    }
  }
  void lineEnd(std::string& out) const { out += recipe_.layout == Layout::CrLf ? "\r\n" : "\n"; }

  const Recipe& recipe_;
  Rng values_;
  Rng layout_;
};

}  // namespace

std::span<const CorpusShape> corpusShapes() {
  return kShapes;
}

const CorpusShape* findCorpusShape(std::string_view name) {
  for (const CorpusShape& shape : kShapes) {
    if (shape.name == name) return &shape;
  }
  return nullptr;
}

std::string corpusText(const CorpusShape& shape, std::uint64_t rows) {
  TableWriter writer(recipeOf(shape));
  std::string text;
  writer.header(text);
  for (std::uint64_t row = 0; row < rows; ++row) writer.row(text);
  return text;
}

bool writeCorpusFile(std::FILE* out, const CorpusShape& shape, CorpusSize size) {
  TableWriter writer(recipeOf(shape));
  std::string block;
  writer.header(block);
  std::uint64_t written = 0;
  for (std::uint64_t row = 0; size.rows > 0 ? row < size.rows : written + block.size() < size.bytes;
       ++row) {
    writer.row(block);
    if (block.size() > (std::size_t{1} << 20)) {
      if (std::fwrite(block.data(), 1, block.size(), out) != block.size()) return false;
      written += block.size();
      block.clear();
    }
  }
  return std::fwrite(block.data(), 1, block.size(), out) == block.size();
}
