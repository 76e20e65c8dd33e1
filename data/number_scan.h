// Numbers as the CSV reader reads them: the grammar and the correctly rounded value of the
// standard formatted extraction of a double, found fast.
//
// Contract: scanNumber reads from a '-' or a digit exactly what the extraction would take and
// gives the value it would give, or reports the failure it would report. readPlainField reads a
// whole field [p, end) that holds one such number and nothing else (blanks aside), and refuses
// every other field, leaving it to the caller's character-by-character reading.
//
// Every function may read up to 16 bytes before its field and 64 bytes past the character that
// ends it: the caller's buffer keeps that much readable around the input.
#pragma once

#include <emmintrin.h>
#include <fast_float/fast_float.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <system_error>

static_assert(std::endian::native == std::endian::little,
              "numbers are read eight bytes at a time in little-endian order");

namespace number_scan {

// Whether double arithmetic rounds once, to double, so that one multiplication or division of
// exact operands is correctly rounded (not so with x87 extended precision).
inline constexpr bool kExactDoubleArithmetic = FLT_EVAL_METHOD == 0 || FLT_EVAL_METHOD == 1;
inline constexpr std::uint64_t kLargestExactMantissa = std::uint64_t{1} << 53;
inline constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
inline constexpr int kLargestExactPower = 22;
inline constexpr std::uint64_t kIntegerPowersOfTen[] = {1,
                                                        10,
                                                        100,
                                                        1000,
                                                        10000,
                                                        100000,
                                                        1000000,
                                                        10000000,
                                                        100000000,
                                                        1000000000,
                                                        10000000000,
                                                        100000000000,
                                                        1000000000000,
                                                        10000000000000,
                                                        100000000000000,
                                                        1000000000000000,
                                                        10000000000000000,
                                                        100000000000000000,
                                                        1000000000000000000,
                                                        10000000000000000000u};

inline constexpr std::uint64_t kEachByte = 0x0101010101010101;
inline constexpr std::uint64_t kZeroDigits = 0x30 * kEachByte;

// kTopBytes[n]: the top n bytes of a word.
inline constexpr std::uint64_t kTopBytes[] = {
    0,
    0xFF00000000000000,
    0xFFFF000000000000,
    0xFFFFFF0000000000,
    0xFFFFFFFF00000000,
    0xFFFFFFFFFF000000,
    0xFFFFFFFFFFFF0000,
    0xFFFFFFFFFFFFFF00,
    0xFFFFFFFFFFFFFFFF,
};

inline bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

inline const char* skipBlanks(const char* p) {
  while (isBlank(*p)) ++p;
  return p;
}

// '-' or a digit. One test for both, as a branch on the sign would be mispredicted on every
// column of random signs. Counted from '-', the characters up to '9' are "-./0123456789".
inline bool startsNumber(char c) {
  const unsigned offset = static_cast<unsigned char>(c) - unsigned{'-'};
  constexpr unsigned kMinusAndDigits = 0b1111111111001;
  return offset <= 12 && (kMinusAndDigits >> offset & 1) != 0;
}

inline std::uint64_t loadEightBytes(const char* p) {
  std::uint64_t bytes;
  std::memcpy(&bytes, p, sizeof bytes);
  return bytes;
}

// The top bit of every byte that is not a decimal digit. Carries and borrows run toward higher
// bytes only, so the lowest marked byte is exactly the first non-digit; bytes above it may be
// marked wrongly.
inline std::uint64_t nonDigitBytes(std::uint64_t bytes) {
  return ((bytes + 0x46 * kEachByte) | (bytes - kZeroDigits)) & 0x80 * kEachByte;
}

// The value of eight digit values (0 to 9, one a byte, the first in the lowest byte).
inline std::uint64_t eightDigitsValue(std::uint64_t digits) {
  digits = digits * 10 + (digits >> 8);
  constexpr std::uint64_t kPairMask = 0x000000FF000000FF;
  constexpr std::uint64_t kHighPairs = 100 + (std::uint64_t{1000000} << 32);
  constexpr std::uint64_t kLowPairs = 1 + (std::uint64_t{10000} << 32);
  return ((digits & kPairMask) * kHighPairs + ((digits >> 16) & kPairMask) * kLowPairs) >> 32;
}

inline double withSign(double magnitude, bool negative) {
  // Signs are often random; setting the bit costs no mispredicted branch. Exact for -0 too.
  return std::bit_cast<double>(std::bit_cast<std::uint64_t>(magnitude) | std::uint64_t{negative}
                                                                             << 63);
}

// mantissa x 10^power for a mantissa and power that make it exact.
inline double exactValue(std::uint64_t mantissa, std::ptrdiff_t power, bool negative) {
  const auto m = static_cast<double>(static_cast<std::int64_t>(mantissa));
  return withSign(power < 0 ? m / kExactPowersOfTen[-power] : m * kExactPowersOfTen[power],
                  negative);
}

inline bool isExact(std::uint64_t mantissa, std::ptrdiff_t power) {
  return kExactDoubleArithmetic && mantissa <= kLargestExactMantissa &&
         power >= -kLargestExactPower && power <= kLargestExactPower;
}

// The correctly rounded double of a number that one multiplication or division cannot give:
// from the mantissa where it holds every digit (at most 19), else, or where only the digits can
// decide (a value within a hair of halfway between two doubles), from the text. Out of line: it
// is rare in most files and large. Returns false for an infinite result, which the extraction
// rejects; underflow gives 0 or a subnormal, as there.
[[gnu::noinline]] inline bool roundedValue(const char* start, const char* end,
                                           std::uint64_t mantissa, std::ptrdiff_t digitCount,
                                           std::ptrdiff_t power, bool negative, double& value) {
  using Format = fast_float::binary_format<double>;
  if (digitCount <= 19) {
    const fast_float::adjusted_mantissa rounded =
        fast_float::compute_float<Format>(power, mantissa);
    if (rounded.power2 >= 0) {
      fast_float::to_float(negative, rounded, value);
      return !std::isinf(value);
    }
  }
  fast_float::from_chars(start, end, value);
  return !std::isinf(value);
}

inline bool numberValue(const char* start, const char* end, std::uint64_t mantissa,
                        std::ptrdiff_t digitCount, std::ptrdiff_t power, bool negative,
                        double& value) {
  if (digitCount <= 19 && isExact(mantissa, power)) {
    value = exactValue(mantissa, power, negative);
    return true;
  }
  return roundedValue(start, end, mantissa, digitCount, power, negative, value);
}

// ---- Any number, character by character where it must be

// Skips the digits at `p`, eight at a time, folding them into `mantissa` (which wraps beyond 19
// digits; only shorter numbers use it) and counting them.
[[gnu::always_inline]] inline const char* scanDigits(const char* p, std::uint64_t& mantissa,
                                                     std::ptrdiff_t& count) {
  for (;;) {
    const std::uint64_t bytes = loadEightBytes(p);
    const std::uint64_t marks = nonDigitBytes(bytes);
    const std::uint64_t digits = bytes - kZeroDigits;
    if (marks != 0) {
      const int taken = std::countr_zero(marks) >> 3;
      // The taken digits moved to the top, zeros (leading zero digits) below them; the shift is
      // split in two, as one of 64 bits would be undefined when no digit is taken.
      const int shift = 32 - 4 * taken;
      mantissa = mantissa * kIntegerPowersOfTen[taken] + eightDigitsValue(digits << shift << shift);
      count += taken;
      return p + taken;
    }
    mantissa = mantissa * 100000000 + eightDigitsValue(digits);
    count += 8;
    p += 8;
  }
}

// Reads the exponent digits, the value clamped to 1000: far beyond a double either way.
inline const char* scanExponentDigits(const char* p, std::ptrdiff_t& exponent, bool& hasDigits) {
  const char* const start = p;
  for (; static_cast<unsigned char>(*p - '0') <= 9; ++p) {
    exponent = std::min<std::ptrdiff_t>(exponent * 10 + (*p - '0'), 1000);
  }
  hasDigits = p != start;
  return p;
}

// Reads the number at `p` (a '-' or a digit) as the extraction does: an optional '-', digits
// with at most one point, and, after at least one digit, an optional exponent mark, sign and
// digits. Returns the end of the number, or nullptr when the extraction fails. The input must
// hold a byte behind the number that cannot continue it.
[[gnu::always_inline]] inline const char* scanNumber(const char* p, double& value) {
  const char* const start = p;
  const bool negative = *p == '-';
  p += negative;
  std::uint64_t mantissa = 0;
  std::ptrdiff_t digitCount = 0;
  p = scanDigits(p, mantissa, digitCount);
  std::ptrdiff_t power = 0;
  if (*p == '.') {
    const char* const fraction = p + 1;
    p = scanDigits(fraction, mantissa, digitCount);
    power = -(p - fraction);
  }
  if (digitCount == 0) return nullptr;
  if ((*p | 0x20) == 'e') {
    ++p;
    const bool negativeExponent = *p == '-';
    p += *p == '-' || *p == '+';
    std::ptrdiff_t exponent = 0;
    bool hasDigits = false;
    p = scanExponentDigits(p, exponent, hasDigits);
    // The extraction has taken the mark and the sign by then, and fails.
    if (!hasDigits) return nullptr;
    power += negativeExponent ? -exponent : exponent;
  }
  return numberValue(start, p, mantissa, digitCount, power, negative, value) ? p : nullptr;
}

// The number that fills the field [p, end) but for blanks around it, or false when the field
// holds anything else. A CR may stand behind the last field of a line, before its line feed.
inline bool readField(const char* p, const char* end, double& value) {
  p = skipBlanks(p);
  if (!startsNumber(*p)) return false;
  p = scanNumber(p, value);
  if (p == nullptr) return false;
  p = skipBlanks(p);
  return p == end || (*p == '\r' && p + 1 == end && *end == '\n');
}

// A number of any length that fills [p, end), read by the correctly rounded conversion in one
// pass, or false for any other field and for an infinite value. Used for the numbers too long
// for the readers below; the conversion's grammar agrees with the extraction's on every field that
// starts with a digit, or with a '-' and a digit or point.
inline bool readLongField(const char* p, const char* end, double& value) {
  const char* const digits = p + (*p == '-');
  if (static_cast<unsigned char>(*digits - '0') > 9 && !(*digits == '.' && digits != p)) {
    return false;
  }
  const fast_float::from_chars_result read = fast_float::from_chars(p, end, value);
  return read.ec == std::errc() && read.ptr == end && !std::isinf(value);
}

// The field [p, end) without the blanks around it.
inline void trimBlanks(const char*& p, const char*& end) {
  while (isBlank(*p)) ++p;
  while (end != p && isBlank(end[-1])) --end;
}

// ---- Plain fields, read whole

// The digits of a field of at most 8 bytes that ends at `end`, in the top bytes of a word; the
// bytes before the field read as zero digits.
inline std::uint64_t fieldWord(const char* end, std::ptrdiff_t length) {
  const std::uint64_t inField = kTopBytes[length];
  return (loadEightBytes(end - 8) & inField) | (kZeroDigits & ~inField);
}

// The word without its byte `at`, the bytes below it moved up one place and `fill` put below
// them, as when a point is taken out of the digits around it.
inline std::uint64_t withoutByte(std::uint64_t word, int at, std::uint64_t fill) {
  const std::uint64_t above = kTopBytes[7 - at];
  const std::uint64_t below = ~kTopBytes[8 - at];
  return (word & above) | ((word & below) << 8) | fill;
}

// Mantissas without exponent: digits with at most one point among them. Each gives the digits'
// value and how many follow the point, or false. `startsWithPoint` is set when the point comes
// first (which only a signed field may have).

// At most 8 bytes ending at `end`: at most 8 digits, exact as a double.
[[gnu::always_inline]] inline bool readShortMantissa(const char* end, std::ptrdiff_t length,
                                                     std::uint64_t& mantissa, int& fraction,
                                                     bool& startsWithPoint) {
  const std::uint64_t word = fieldWord(end, length);
  const std::uint64_t marks = nonDigitBytes(word);
  if (marks == 0) {
    mantissa = eightDigitsValue(word - kZeroDigits);
    fraction = 0;
    startsWithPoint = false;
    return true;
  }
  const int point = std::countr_zero(marks) >> 3;
  const std::uint64_t pointAsZero = word ^ std::uint64_t{'.' ^ '0'} << (8 * point);
  if (((word >> (8 * point)) & 0xFF) != '.' || nonDigitBytes(pointAsZero) != 0 || length < 2) {
    return false;
  }
  mantissa = eightDigitsValue(withoutByte(pointAsZero, point, '0') - kZeroDigits);
  fraction = 7 - point;
  startsWithPoint = point == 8 - length;
  return true;
}

// 9 to 16 bytes ending at `end`.
[[gnu::always_inline]] inline bool readLongMantissa(const char* end, std::ptrdiff_t length,
                                                    std::uint64_t& mantissa, int& fraction,
                                                    bool& startsWithPoint) {
  std::uint64_t low = loadEightBytes(end - 8);
  std::uint64_t high = fieldWord(end - 8, length - 8);
  const std::uint64_t lowMarks = nonDigitBytes(low);
  const std::uint64_t highMarks = nonDigitBytes(high);
  fraction = 0;
  startsWithPoint = false;
  if (lowMarks != 0) {
    const int point = std::countr_zero(lowMarks) >> 3;
    if (((low >> (8 * point)) & 0xFF) != '.' || highMarks != 0) return false;
    low ^= std::uint64_t{'.' ^ '0'} << (8 * point);
    if (nonDigitBytes(low) != 0) return false;
    low = withoutByte(low, point, high >> 56);
    high = (high << 8) | '0';
    fraction = 7 - point;
  } else if (highMarks != 0) {
    const int point = std::countr_zero(highMarks) >> 3;
    if (((high >> (8 * point)) & 0xFF) != '.') return false;
    high ^= std::uint64_t{'.' ^ '0'} << (8 * point);
    if (nonDigitBytes(high) != 0) return false;
    high = withoutByte(high, point, '0');
    fraction = 15 - point;
    startsWithPoint = point == 16 - length;
  }
  mantissa = eightDigitsValue(high - kZeroDigits) * 100000000 + eightDigitsValue(low - kZeroDigits);
  return true;
}

inline bool readPlainMantissa(const char* end, std::ptrdiff_t length, std::uint64_t& mantissa,
                              int& fraction, bool& startsWithPoint) {
  return length <= 8 ? readShortMantissa(end, length, mantissa, fraction, startsWithPoint)
                     : readLongMantissa(end, length, mantissa, fraction, startsWithPoint);
}

// The first exponent mark in the at most 16 bytes [p, end), or nullptr.
inline const char* exponentMark(const char* p, const char* end) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i lowered = _mm_or_si128(bytes, _mm_set1_epi8(0x20));
  const auto marks =
      static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(lowered, _mm_set1_epi8('e'))));
  const unsigned inField = (1u << (end - p)) - 1;
  return (marks & inField) != 0 ? p + std::countr_zero(marks & inField) : nullptr;
}

// An exponent of a sign and one to four digits, the whole of [p, end).
inline bool readPlainExponent(const char* p, const char* end, std::ptrdiff_t& exponent) {
  const bool negative = *p == '-';
  p += negative || *p == '+';
  const std::ptrdiff_t length = end - p;
  if (length < 1 || length > 4) return false;
  const std::uint64_t word = fieldWord(end, length);
  if (nonDigitBytes(word) != 0) return false;
  const auto value = static_cast<std::ptrdiff_t>(eightDigitsValue(word - kZeroDigits));
  exponent = negative ? -value : value;
  return true;
}

// The common fields, an optional '-', at most 16 bytes of digits with at most one point, and an
// optional exponent, are read whole with a few loads and hardly a branch on their shape. False
// for every other field.
[[gnu::always_inline]] inline bool readPlainNumber(const char* p, const char* end, double& value) {
  const bool negative = *p == '-';
  const char* const digits = p + negative;
  const std::ptrdiff_t length = end - digits;
  std::uint64_t mantissa = 0;
  int fraction = 0;
  bool startsWithPoint = false;
  // A point that starts an unsigned field is a character no number starts with.
  if (length >= 1 && length <= 8 &&
      readShortMantissa(end, length, mantissa, fraction, startsWithPoint)) {
    if (startsWithPoint && !negative) return false;
    const auto magnitude = static_cast<double>(static_cast<std::int64_t>(mantissa));
    value = withSign(fraction == 0 ? magnitude : magnitude / kExactPowersOfTen[fraction], negative);
    return true;
  }
  if (length > 8 && length <= 16 &&
      readLongMantissa(end, length, mantissa, fraction, startsWithPoint)) {
    if (startsWithPoint && !negative) return false;
    return numberValue(p, end, mantissa, length, -fraction, negative, value);
  }
  if (length >= 1 && length <= 16) {
    const char* const mark = exponentMark(digits, end);
    std::ptrdiff_t exponent = 0;
    if (mark != nullptr && mark > digits &&
        readPlainMantissa(mark, mark - digits, mantissa, fraction, startsWithPoint) &&
        (negative || !startsWithPoint) && readPlainExponent(mark + 1, end, exponent)) {
      return numberValue(p, end, mantissa, mark - digits, exponent - fraction, negative, value);
    }
  }
  return false;
}

// Every field that a whole-field reader, `readNumber`, does not take: a number with blanks around
// it (read again by `readNumber` without them), a number too long for it, and anything else,
// which the character-by-character reading decides.
template <bool (*readNumber)(const char*, const char*, double&)>
bool readOtherField(const char* p, const char* end, double& value) {
  const char* start = p;
  const char* stop = end;
  trimBlanks(start, stop);
  if ((start != p || stop != end) && readNumber(start, stop, value)) return true;
  if (stop - start > 16 && readLongField(start, stop, value)) return true;
  return readField(p, end, value);
}

[[gnu::always_inline]] inline bool readPlainField(const char* p, const char* end, double& value) {
  return readPlainNumber(p, end, value) || readOtherField<readPlainNumber>(p, end, value);
}

}  // namespace number_scan
