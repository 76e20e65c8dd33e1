// Whole number fields read with SSSE3 vectors on one path, without a branch on the field's form:
// an optional '-', up to 32 bytes of digits (at most 19 after any leading zeros) with at most one
// point, and an optional exponent of a sign and 1 to 4 digits. The plain reader of
// number_scan.h branches on the form, which a column that changes form from value to value (an
// integer, then a decimal, then an exponent) mispredicts about every other field.
//
// Contract: readVectorField gives exactly what number_scan::readPlainField gives for every field
// (the fields it does not take go to the same character-by-character reading), and reads no
// further around its field than that does. Only for processors with SSSE3 and POPCNT: the
// callers are compiled for them with the same target and check the processor first.
#pragma once

#include <immintrin.h>

#include <array>
#include <bit>
#include <cstdint>

#include "data/number_scan.h"

namespace number_scan {

// Loaded from kLastBytesOf16 + n: 0xFF in the last n of 16 bytes.
alignas(32) inline constexpr std::array<std::uint8_t, 32> kLastBytesOf16 = {
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// kClosePoint[q]: the byte shuffle that moves bytes 0 to q-1 up one place over a point at q, so
// that the digits on both sides of it meet; a zero comes in at byte 0. kClosePoint[16], for no
// point, leaves every byte in place.
constexpr std::array<std::array<std::uint8_t, 16>, 17> closePointShuffles() {
  std::array<std::array<std::uint8_t, 16>, 17> shuffles{};
  for (int point = 0; point <= 16; ++point) {
    for (int i = 0; i < 16; ++i) {
      const int from = point < 16 && i <= point ? i - 1 : i;
      shuffles[point][i] = from < 0 ? 0x80 : static_cast<std::uint8_t>(from);
    }
  }
  return shuffles;
}
alignas(16) inline constexpr auto kClosePoint = closePointShuffles();

#define VELOPLOT_SSSE3 gnu::target("ssse3,popcnt")

[[VELOPLOT_SSSE3]] inline __m128i loadSixteen(const void* p) {
  return _mm_loadu_si128(static_cast<const __m128i*>(p));
}

[[VELOPLOT_SSSE3]] inline unsigned byteMask(__m128i marks) {
  return static_cast<unsigned>(_mm_movemask_epi8(marks));
}

// The value of sixteen digit values, one a byte, the most significant in byte 0.
[[VELOPLOT_SSSE3]] inline std::uint64_t sixteenDigitsValue(__m128i digits) {
  const __m128i pairs = _mm_maddubs_epi16(digits, _mm_set1_epi16(0x010A));
  const __m128i fours = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00010064));
  const __m128i packed = _mm_packs_epi32(fours, fours);
  const __m128i eights = _mm_madd_epi16(packed, _mm_set1_epi32(0x00012710));
  const auto high = static_cast<std::uint32_t>(_mm_cvtsi128_si32(eights));
  const auto low = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(eights, 4)));
  return std::uint64_t{high} * 100000000 + low;
}

// Digits with at most one point.
struct VectorMantissa {
  std::uint64_t value;
  int digitCount;
  int fraction;  // digits behind the point
  bool hasPoint;
  bool valid;  // at least one digit, and nothing but digits and one point
  bool startsWithPoint;
};

// The `length` (0 to 16) bytes of `text` that end it.
[[VELOPLOT_SSSE3]] inline VectorMantissa readShortVectorMantissa(__m128i text,
                                                                 std::ptrdiff_t length) {
  const __m128i inField = loadSixteen(kLastBytesOf16.data() + length);
  const __m128i values = _mm_sub_epi8(text, _mm_set1_epi8('0'));
  const __m128i isDigit =
      _mm_and_si128(_mm_cmpeq_epi8(_mm_min_epu8(values, _mm_set1_epi8(9)), values), inField);
  const unsigned field = byteMask(inField);
  const unsigned digits = byteMask(isDigit);
  const unsigned points = byteMask(_mm_cmpeq_epi8(text, _mm_set1_epi8('.'))) & field;
  const int point = std::countr_zero(points | 0x10000u);
  const __m128i closed =
      _mm_shuffle_epi8(_mm_and_si128(values, isDigit), loadSixteen(kClosePoint[point].data()));
  VectorMantissa mantissa;
  mantissa.value = sixteenDigitsValue(closed);
  mantissa.digitCount = std::popcount(digits);
  // The digits above the point; with no point, none.
  mantissa.fraction = std::popcount(digits & ~((points << 1) - 1));
  mantissa.hasPoint = points != 0;
  mantissa.valid = (field & ~digits) == points && (points & (points - 1)) == 0 && digits != 0;
  mantissa.startsWithPoint = (points & (field & (0u - field))) != 0;
  return mantissa;
}

// Below this, a first part's value times 10^16 plus the 16 digits behind it fits 64 bits.
inline constexpr std::uint64_t kLargestFirstPart = 1843;

// The `length` (17 to 32) bytes that end at `end`, read as a first part and the 16 bytes behind
// it. Not valid where the digits' value does not fit 64 bits; those need every digit. Out of
// line, as inlined it would slow the common short fields.
[[VELOPLOT_SSSE3, gnu::noinline]] inline VectorMantissa readLongVectorMantissa(
    const char* end, std::ptrdiff_t length) {
  const VectorMantissa first = readShortVectorMantissa(loadSixteen(end - 32), length - 16);
  const VectorMantissa last = readShortVectorMantissa(loadSixteen(end - 16), 16);
  VectorMantissa mantissa;
  const std::uint64_t lastScale = last.hasPoint ? 1'000'000'000'000'000 : 10'000'000'000'000'000;
  mantissa.value = first.value * lastScale + last.value;
  mantissa.digitCount = first.digitCount + last.digitCount;
  mantissa.fraction = last.hasPoint ? last.fraction : first.hasPoint ? first.fraction + 16 : 0;
  mantissa.hasPoint = first.hasPoint || last.hasPoint;
  mantissa.valid = first.valid && last.valid && !(first.hasPoint && last.hasPoint) &&
                   first.value <= kLargestFirstPart;
  mantissa.startsWithPoint = first.startsWithPoint;
  return mantissa;
}

// The mantissa of `length` (1 to 32) bytes that ends at `end`.
[[VELOPLOT_SSSE3]] inline VectorMantissa readVectorMantissa(const char* end,
                                                            std::ptrdiff_t length) {
  return length <= 16 ? readShortVectorMantissa(loadSixteen(end - 16), length)
                      : readLongVectorMantissa(end, length);
}

// An exponent of a sign and 1 to 4 digits behind a mark among the last 6 bytes before `end`:
// its mark's place, counted from end - 16, or 16 when there is none.
struct VectorExponent {
  int markAt;
  std::ptrdiff_t value;
  bool valid;
};

[[VELOPLOT_SSSE3]] inline VectorExponent readVectorExponent(const char* end,
                                                            std::ptrdiff_t length) {
  const __m128i lowered = _mm_or_si128(loadSixteen(end - 16), _mm_set1_epi8(0x20));
  const unsigned field =
      byteMask(loadSixteen(kLastBytesOf16.data() + std::min<std::ptrdiff_t>(length, 16)));
  const unsigned marks = byteMask(_mm_cmpeq_epi8(lowered, _mm_set1_epi8('e'))) & field & 0x7C00u;
  VectorExponent exponent;
  exponent.markAt = marks != 0 ? 31 - std::countl_zero(marks) : 16;
  const char* const sign = end - 16 + exponent.markAt + 1;
  const bool negative = marks != 0 && *sign == '-';
  const bool hasSign = marks != 0 && (*sign == '-' || *sign == '+');
  const std::ptrdiff_t digitCount = marks != 0 ? end - sign - hasSign : 0;
  const std::uint64_t word = fieldWord(end, digitCount);
  const auto magnitude = static_cast<std::ptrdiff_t>(eightDigitsValue(word - kZeroDigits));
  exponent.value = negative ? -magnitude : magnitude;
  exponent.valid = marks != 0 && digitCount >= 1 && digitCount <= 4 && nonDigitBytes(word) == 0;
  return exponent;
}

// The value of a valid mantissa times 10^power, or false where it is infinite. Exact products
// and quotients take one multiplication and one division, one of them by 1, rather than a
// branch on the sign of the power.
[[VELOPLOT_SSSE3]] inline bool vectorValue(const char* p, const char* end,
                                           const VectorMantissa& mantissa, std::ptrdiff_t power,
                                           bool negative, double& value) {
  if (isExact(mantissa.value, power)) {
    const auto magnitude = static_cast<double>(static_cast<std::int64_t>(mantissa.value));
    value = withSign(magnitude * kExactPowersOfTen[std::max<std::ptrdiff_t>(power, 0)] /
                         kExactPowersOfTen[std::max<std::ptrdiff_t>(-power, 0)],
                     negative);
    return true;
  }
  // The mantissa holds every digit, however many leading zeros there are.
  const std::ptrdiff_t digitCount = std::min(mantissa.digitCount, 19);
  return roundedValue(p, end, mantissa.value, digitCount, power, negative, value);
}

// The whole-field paths; false for every field they do not take.
[[VELOPLOT_SSSE3]] inline bool readVectorNumber(const char* p, const char* end, double& value) {
  const std::ptrdiff_t length = end - p;
  const bool negative = *p == '-';
  const char* const digits = p + negative;
  // Without an exponent, the common case, and with one.
  if (length - negative >= 1 && length - negative <= 32) {
    const VectorMantissa mantissa = readVectorMantissa(end, length - negative);
    // A point that starts an unsigned field is a character no number starts with.
    if (mantissa.valid && (negative || !mantissa.startsWithPoint)) {
      if (mantissa.value <= kLargestExactMantissa && mantissa.fraction <= kLargestExactPower) {
        const auto magnitude = static_cast<double>(static_cast<std::int64_t>(mantissa.value));
        value = withSign(magnitude / kExactPowersOfTen[mantissa.fraction], negative);
        return true;
      }
      return vectorValue(p, end, mantissa, -mantissa.fraction, negative, value);
    }
  }
  const VectorExponent exponent = readVectorExponent(end, length);
  const char* const mantissaEnd = end - 16 + exponent.markAt;
  const std::ptrdiff_t mantissaLength = mantissaEnd - digits;
  if (exponent.valid && mantissaLength >= 1 && mantissaLength <= 32) {
    const VectorMantissa mantissa = readVectorMantissa(mantissaEnd, mantissaLength);
    if (mantissa.valid && (negative || !mantissa.startsWithPoint)) {
      return vectorValue(p, end, mantissa, exponent.value - mantissa.fraction, negative, value);
    }
  }
  return false;
}

// The other fields, out of line, so that the common fields' loop stays small.
[[VELOPLOT_SSSE3, gnu::noinline, gnu::flatten]] inline bool readOtherVectorField(const char* p,
                                                                                 const char* end,
                                                                                 double& value) {
  return readOtherField<readVectorNumber>(p, end, value);
}

[[VELOPLOT_SSSE3]] inline bool readVectorField(const char* p, const char* end, double& value) {
  return readVectorNumber(p, end, value) || readOtherVectorField(p, end, value);
}

#undef VELOPLOT_SSSE3

}  // namespace number_scan
