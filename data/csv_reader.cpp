#include "data/csv_reader.h"

#include <fast_float/fast_float.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <new>
#include <system_error>
#include <vector>

#include "data/large_pages.h"

namespace {

constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
constexpr std::size_t kDefaultReservedRows = 10000;

using Columns = std::vector<std::vector<double>>;

enum class Fault { None, InvalidValue, TooManyValues, NotEnoughValues, InvalidCharacter };

// The input bytes at hand, [pos, end). `final` means that no byte follows `end`.
struct Window {
  const char* pos;
  const char* end;
  bool final;
};

// Where the window's bytes come from: a file read block by block, or text already in memory, in
// which case the first window is final and nothing more is ever read.
struct Source {
  std::FILE* file = nullptr;
  std::size_t blockBytes = kBlockBytes;
  std::vector<char> buffer;
  const char* base = nullptr;
  std::uint64_t droppedBytes = 0;
};

std::uint64_t bytesConsumed(const Source& source, const Window& window) {
  return source.droppedBytes + static_cast<std::uint64_t>(window.pos - source.base);
}

// Keeps the unconsumed bytes and reads behind them. A token longer than a block makes the next
// read as long as the token, so even a huge number is read in linear time.
void readMore(Source& source, Window& window) {
  const std::size_t kept = static_cast<std::size_t>(window.end - window.pos);
  source.droppedBytes += static_cast<std::uint64_t>(window.pos - source.base);
  if (kept > 0) std::memmove(source.buffer.data(), window.pos, kept);
  const std::size_t wanted = std::max(source.blockBytes, kept);
  source.buffer.resize(std::max(source.buffer.size(), kept + wanted));
  char* data = source.buffer.data();
  const std::size_t got = std::fread(data + kept, 1, wanted, source.file);
  source.base = data;
  window = {data, data + kept + got, got < wanted};
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
// '-' or a digit. One test for both, as a branch on the sign would be mispredicted on every
// column of random signs. Counted from '-', the characters up to '9' are "-./0123456789".
bool startsNumber(char c) {
  const unsigned offset = static_cast<unsigned char>(c) - unsigned{'-'};
  constexpr unsigned kMinusAndDigits = 0b1111111111001;
  return offset <= 12 && (kMinusAndDigits >> offset & 1) != 0;
}
bool isExponentMark(char c) {
  return c == 'e' || c == 'E';
}

void finishName(std::string& token, std::vector<std::string>& names) {
  trimBlanks(token);
  if (!token.empty()) names.push_back(token);
  token.clear();
}

// Collects names up to the first line end. Returns false when the window ran out first; a CR at
// its very end stays unread until the next byte tells whether it ends the line.
bool readHeader(Window& window, std::string& token, std::vector<std::string>& names) {
  const char* p = window.pos;
  for (;;) {
    const char* stop = p;
    while (stop != window.end && *stop != ',' && *stop != '\n' && *stop != '\r') ++stop;
    token.append(p, stop);
    p = stop;
    if (p == window.end) break;
    if (*p == '\r') {
      if (p + 1 == window.end && !window.final) break;
      if (p + 1 == window.end || p[1] != '\n') token += '\r';
      ++p;
      continue;
    }
    finishName(token, names);
    if (*p++ == '\n') {
      window.pos = p;
      return true;
    }
  }
  window.pos = p;
  if (!window.final) return false;
  finishName(token, names);
  return true;
}

std::size_t countLineFeeds(const char* p, const char* end) {
  std::size_t count = 0;
  while ((p = static_cast<const char*>(std::memchr(p, '\n', end - p))) != nullptr) {
    ++count;
    ++p;
  }
  return count;
}

// Rows to reserve per column: the line density of the first bytes projected over the expected
// size, with a margin so that the estimate rarely falls short. Reserved pages that are never
// touched cost no memory.
std::size_t estimateRows(const Window& window, std::uint64_t remainingBytes,
                         std::size_t columnCount) {
  if (columnCount == 0) return 0;
  const double lines = static_cast<double>(countLineFeeds(window.pos, window.end));
  double rows = lines + 1;
  if (!window.final) {
    if (lines == 0) return kDefaultReservedRows;
    const double sampleBytes = static_cast<double>(window.end - window.pos);
    rows = lines * (static_cast<double>(remainingBytes) / sampleBytes) * (1.0 + 1.0 / 16) + 64;
  }
  // Every value takes at least a digit and a separator.
  const double mostValues = static_cast<double>(remainingBytes) / (2.0 * columnCount) + 1;
  const double largestVector = static_cast<double>(std::vector<double>().max_size());
  return static_cast<std::size_t>(std::min({rows, mostValues, largestVector}));
}

void createColumns(DataTable& table, std::size_t reservedRows) {
  table.columns.assign(table.names.size(), {});
  try {
    for (auto& column : table.columns) {
      column.reserve(reservedRows);
      adviseLargePages(column.data(), column.capacity() * sizeof(double));
    }
  } catch (const std::bad_alloc&) {
    // The estimate is only a hint: without room for all of it, the columns grow as they fill.
    table.columns.assign(table.names.size(), {});
    for (auto& column : table.columns) column.reserve(kDefaultReservedRows);
  }
}

struct LineState {
  std::int64_t line = 1;
  std::size_t field = 0;
  bool fieldHasValue = false;
  // The first fault of the line that the plain line test cannot see (an empty field, two numbers
  // in one field); reported only when the line passes that test, so its messages stay the same.
  Fault deferred = Fault::None;
};

void defer(LineState& state, Fault fault) {
  if (state.deferred == Fault::None) state.deferred = fault;
}

Fault endLine(LineState& state, std::size_t columnCount) {
  if (state.field != 0 && (state.field + 1 < columnCount || !state.fieldHasValue)) {
    return Fault::NotEnoughValues;
  }
  if (state.deferred != Fault::None) return state.deferred;
  // One value and no comma under two or more names would leave the other columns short.
  if (state.field == 0 && state.fieldHasValue && columnCount >= 2) return Fault::NotEnoughValues;
  ++state.line;
  state.field = 0;
  state.fieldHasValue = false;
  return Fault::None;
}

enum class Scan { Value, Invalid, Incomplete };

// Whether double arithmetic rounds once, to double, so that one multiplication or division of
// exact operands is correctly rounded (not so with x87 extended precision).
constexpr bool kExactDoubleArithmetic = FLT_EVAL_METHOD == 0 || FLT_EVAL_METHOD == 1;
constexpr std::uint64_t kLargestExactMantissa = std::uint64_t{1} << 53;
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kLargestExactPower = 22;

// Whether `p` may be read. With a line feed known to lie ahead (kBounded false), scanning stops on
// it at the latest, and the comparisons with the window's end, one per digit, can go.
template <bool kBounded>
bool inWindow(const char* p, const char* end) {
  return !kBounded || p != end;
}

// Skips the digits at `p`, folding them into `accumulated` (which wraps beyond 19 digits; only
// shorter numbers use it).
template <bool kBounded>
const char* skipDigits(const char* p, const char* end, std::uint64_t& accumulated) {
  for (; inWindow<kBounded>(p, end); ++p) {
    const unsigned digit = static_cast<unsigned char>(*p) - unsigned{'0'};
    if (digit > 9) break;
    accumulated = accumulated * 10 + digit;
  }
  return p;
}

// A number as the stream's formatted extraction delimits it: an optional '-', digits with at most
// one point, and, after at least one digit, an optional exponent mark, sign and digits.
struct NumberText {
  const char* end;
  bool negative;
  std::uint64_t mantissa;  // the digits without the point; wraps beyond 19 of them
  std::ptrdiff_t digitCount;
  std::ptrdiff_t power;  // of ten, scaling the mantissa; exponents are clamped far beyond a double
  bool exponentWithoutDigits;  // the stream takes the mark and sign, then fails
};

// Reads the exponent after its mark: sign and digits, the value clamped to +-1000.
template <bool kBounded>
const char* readExponent(const char* p, const char* end, std::ptrdiff_t& exponent,
                         bool& hasDigits) {
  bool negative = false;
  if (inWindow<kBounded>(p, end) && (*p == '+' || *p == '-')) negative = *p++ == '-';
  const char* const digitsStart = p;
  for (; inWindow<kBounded>(p, end) && isDigit(*p); ++p) {
    exponent = std::min<std::ptrdiff_t>(exponent * 10 + (*p - '0'), 1000);
  }
  hasDigits = p != digitsStart;
  if (negative) exponent = -exponent;
  return p;
}

template <bool kBounded>
NumberText delimitNumber(const char* p, const char* end) {
  // Locals rather than the struct's fields, which the compiler would keep in memory.
  const bool negative = *p == '-';
  std::uint64_t mantissa = 0;
  const char* const digitsStart = p + negative;
  p = skipDigits<kBounded>(digitsStart, end, mantissa);
  std::ptrdiff_t digitCount = p - digitsStart;
  std::ptrdiff_t power = 0;
  if (inWindow<kBounded>(p, end) && *p == '.') {
    const char* const fractionStart = ++p;
    p = skipDigits<kBounded>(fractionStart, end, mantissa);
    power = -(p - fractionStart);
    digitCount -= power;
  }
  bool exponentWithoutDigits = false;
  if (digitCount > 0 && inWindow<kBounded>(p, end) && isExponentMark(*p)) {
    std::ptrdiff_t exponent = 0;
    bool hasDigits = false;
    p = readExponent<kBounded>(p + 1, end, exponent, hasDigits);
    power += exponent;
    exponentWithoutDigits = !hasDigits;
  }
  return {p, negative, mantissa, digitCount, power, exponentWithoutDigits};
}

// Short numbers with small exponents are exact after one multiplication or division (Clinger).
bool isExactlyConvertible(const NumberText& number) {
  return kExactDoubleArithmetic && number.digitCount <= 19 &&
         number.mantissa <= kLargestExactMantissa && number.power >= -kLargestExactPower &&
         number.power <= kLargestExactPower;
}

double exactValue(const NumberText& number) {
  const double mantissa = static_cast<double>(number.mantissa);
  const double magnitude = number.power < 0 ? mantissa / kExactPowersOfTen[-number.power]
                                            : mantissa * kExactPowersOfTen[number.power];
  // Signs are often random; setting the bit costs no mispredicted branch. Exact for -0 too.
  const std::uint64_t sign = std::uint64_t{number.negative} << 63;
  return std::bit_cast<double>(std::bit_cast<std::uint64_t>(magnitude) | sign);
}

// Reads the number at `p` as the stream's formatted extraction of a double does: the same
// characters taken, the same rejections, the same correctly rounded value.
template <bool kBounded>
Scan scanNumber(const char* p, const Window& window, double& value, const char*& stop) {
  const NumberText number = delimitNumber<kBounded>(p, window.end);
  // At the end of a block the number may go on in the next one.
  if (number.end == window.end && !window.final) return Scan::Incomplete;
  if (number.digitCount == 0 || number.exponentWithoutDigits) return Scan::Invalid;
  stop = number.end;
  if (isExactlyConvertible(number)) {
    value = exactValue(number);
    return Scan::Value;
  }
  fast_float::from_chars(p, number.end, value);
  // Overflow gives infinity, which the stream rejects; underflow gives 0 or a subnormal, as there.
  return std::isinf(value) ? Scan::Invalid : Scan::Value;
}

enum class Progress { Finished, NeedMore, Failed };

Progress readDataLines(Window& window, LineState& state, Columns& columns, Fault& fault) {
  const std::size_t columnCount = columns.size();
  const char* p = window.pos;
  // A number before this line feed ends on it at the latest and is scanned without end checks.
  const char* lastLineFeed = window.end;
  while (lastLineFeed != p && *--lastLineFeed != '\n') {
  }
  while (p != window.end) {
    const char c = *p;
    if (startsNumber(c)) {
      double value;
      const char* stop;
      const Scan scan = p < lastLineFeed ? scanNumber<false>(p, window, value, stop)
                                         : scanNumber<true>(p, window, value, stop);
      if (scan == Scan::Incomplete) break;
      if (scan == Scan::Invalid || state.field >= columnCount) {
        fault = scan == Scan::Invalid ? Fault::InvalidValue : Fault::TooManyValues;
        return Progress::Failed;
      }
      if (state.fieldHasValue) defer(state, Fault::TooManyValues);
      columns[state.field].push_back(value);
      state.fieldHasValue = true;
      p = stop;
    } else if (c == ',') {
      if (!state.fieldHasValue) defer(state, Fault::NotEnoughValues);
      ++state.field;
      state.fieldHasValue = false;
      ++p;
    } else if (c == ' ' || c == '\t') {
      ++p;
    } else if (c == '\r' && p + 1 == window.end && !window.final) {
      break;
    } else if (c == '\n' || (c == '\r' && p + 1 != window.end && p[1] == '\n')) {
      p += c == '\r' ? 2 : 1;
      fault = endLine(state, columnCount);
      if (fault != Fault::None) return Progress::Failed;
    } else {
      fault = Fault::InvalidCharacter;
      return Progress::Failed;
    }
  }
  window.pos = p;
  if (p != window.end || !window.final) return Progress::NeedMore;
  fault = endLine(state, columnCount);
  return fault == Fault::None ? Progress::Finished : Progress::Failed;
}

const char* faultText(Fault fault) {
  switch (fault) {
    case Fault::InvalidValue:
      return "Invalid value detected in line ";
    case Fault::TooManyValues:
      return "Too many values in line ";
    case Fault::NotEnoughValues:
      return "Not enough values in line ";
    case Fault::InvalidCharacter:
      return "Invalid character detected in line ";
    case Fault::None:
      break;
  }
  return "";
}

bool readCsv(Source& source, Window window, DataTable& table, std::string& message,
             std::uint64_t expectedBytes) {
  table.names.clear();
  table.columns.clear();
  std::string token;
  while (!readHeader(window, token, table.names)) readMore(source, window);
  const std::uint64_t headerBytes = bytesConsumed(source, window);
  const std::uint64_t remainingBytes =
      expectedBytes > headerBytes ? expectedBytes - headerBytes : 0;
  createColumns(table, expectedBytes == 0
                           ? kDefaultReservedRows
                           : estimateRows(window, remainingBytes, table.names.size()));
  LineState state;
  Fault fault = Fault::None;
  for (;;) {
    switch (readDataLines(window, state, table.columns, fault)) {
      case Progress::NeedMore:
        readMore(source, window);
        break;
      case Progress::Finished:
        return true;
      case Progress::Failed:
        message = faultText(fault) + std::to_string(state.line) + ".";
        return false;
    }
  }
}

}  // namespace

bool readCsvTable(std::FILE* file, DataTable& table, std::string& message,
                  std::uint64_t expectedBytes) {
  return readCsvTableBlockwise(file, table, message, expectedBytes, kBlockBytes);
}

bool readCsvTableBlockwise(std::FILE* file, DataTable& table, std::string& message,
                           std::uint64_t expectedBytes, std::size_t blockBytes) {
  Source source;
  source.file = file;
  source.blockBytes = std::max<std::size_t>(blockBytes, 1);
  Window window{nullptr, nullptr, false};
  readMore(source, window);
  return readCsv(source, window, table, message, expectedBytes);
}

bool readCsvText(std::string_view text, DataTable& table, std::string& message) {
  Source source;
  source.base = text.data();
  const Window window{text.data(), text.data() + text.size(), true};
  return readCsv(source, window, table, message, text.size());
}

void trimBlanks(std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return;
  text.erase(text.find_last_not_of(" \t") + 1);
  text.erase(0, first);
}
