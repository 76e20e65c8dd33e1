// Whole number fields read with AVX2 and BMI on 64-bit processors: the bytes of a field are
// classified sixteen or thirty-two at a time, the point is closed with one byte shuffle and the
// digits are summed in four vector steps, with no branch on the field's form.
//
// Five readers, chosen per column by the caller:
// - readShortInteger takes an optional '-' and at most 8 digits, read as one word.
// - readLongInteger takes an optional '-' and at most 19 digits, which fit 64 bits: columns of
//   identifiers and fine time stamps.
// - readShortDecimal takes an optional '-' and at most 15 digits with at most one point, the
//   form of most exported columns, whose value one division makes exact; it hands every other
//   field to readAnyForm. readTwoShortDecimals reads two such fields at once, one in each half
//   of the vector, where both have at most 8 bytes: a table of many short columns costs half the
//   steps a field. readShortDecimalOnly hands them back instead, without a branch, for a caller
//   that gives them to readAnyForm later, all together; it also takes such fields of 16 bytes.
// - readLongDecimal takes an optional '-' and up to 32 bytes of digits with at most one point,
//   with or without an exponent of a sign and two digits behind them: columns written with every
//   digit a double holds, or more. It hands every other field to readAnyForm. readTwoLongDecimals
//   reads two such fields, both summed before either is converted.
// - readAnyForm also takes an exponent mark with a sign and 1 to 4 digits, and fields of up to
//   32 bytes; a column where many fields have forms that the readers above do not take, in no
//   order, takes it without mispredicted branches on the form.
// The short decimal and any-form readers come in a variant that also takes blanks around the
// number (kBlanks), for columns that have them; the others hand such fields on.
// In the end all hand every other field to the out-of-line readOtherForm, which gives exactly what
// number_scan::readPlainField gives (the fields it refuses go to the caller's character-by-
// character reading).
//
// Contract: every function reads up to 32 bytes before the end of its field and 64 past the
// field's last byte; only for processors with AVX2, BMI1, BMI2, POPCNT and FMA, which the
// callers check first and compile for with VELOPLOT_AVX2.
#pragma once

namespace number_scan {

// The readers below, for callers that choose one per column; on every processor, so that the
// choice can be made where the readers are not built.
enum class VectorReader : char {
  ShortInteger,
  LongInteger,
  ShortDecimal,
  ShortDecimalBlanks,
  LongDecimal,
  AnyForm,
  AnyFormBlanks
};

}  // namespace number_scan

#if defined(__x86_64__)

#include <immintrin.h>

#include <array>
#include <bit>
#include <cstdint>

#include "data/number_scan.h"

#define VELOPLOT_AVX2 gnu::target("avx2,bmi,bmi2,popcnt,fma")

namespace number_scan {

// Whether this processor runs the readers below.
inline bool processorHasVectorReaders() {
  // Called while static objects are made, perhaps before the processor's features are read.
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
         __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt") &&
         __builtin_cpu_supports("fma");
}

// The readers' tables, in one object so that one address reaches them all.
struct VectorTables {
  // Loaded from lastBytes + n: 0xFF in the last n of 16 bytes; from lastBytes32 + n, of 32.
  std::array<std::uint8_t, 32> lastBytes;
  std::array<std::uint8_t, 64> lastBytes32;
  // closePoint[q]: the byte shuffle that moves bytes 0 to q-1 up one place over a point at q,
  // so that the digits on both sides of it meet; a zero comes in at byte 0. closePoint[16], for
  // no point, leaves every byte in place.
  std::array<std::array<std::uint8_t, 16>, 17> closePoint;
  // closePoint32[q]: closePoint's shuffle over a point at byte q of 32 bytes in the half that holds
  // it, and over none in the other; closePoint32[32], for no point, leaves every byte in place.
  // One load of the shuffle for both halves, where two loads and their places took ten steps.
  std::array<std::array<std::uint8_t, 32>, 33> closePoint32;
  // signedDivisors[2 * q + negative]: what divides the digits of a right-aligned mantissa whose
  // point is at byte q (16 for none) to give its signed value: -1 or 1 times 10 to the number of
  // digits behind the point.
  std::array<double, 34> signedDivisors;
  // For an exact mantissa times 10^p, p from -22 to 22: scaleUp[p + 22] multiplies and
  // scaleDown[2 * (p + 22) + negative] divides, one of them by 1, so that a single rounding
  // gives the signed value whatever the sign of p.
  std::array<double, 45> scaleUp;
  std::array<double, 90> scaleDown;
  // fraction[q]: the digits behind a point at byte q of a right-aligned mantissa of 16 bytes.
  std::array<std::int8_t, 17> fraction;
  // lastBits16[n], lastBits32[n]: the top n bits of 16 or 32.
  std::array<std::uint16_t, 17> lastBits16;
  std::array<std::uint32_t, 33> lastBits32;
  // For n below 2^54 and k from 1 to 16, n / 10^k is the high word of n * tenthsFactor[k]
  // shifted right by tenthsShift[k]: the factor is 2^(64 + shift) / 10^k rounded up, with
  // 64 + shift at least 54 plus the bits of 10^k, so that the factor's excess, times any such n,
  // stays below what could carry the product to the next integer.
  std::array<std::uint64_t, 17> tenthsFactor;
  std::array<std::uint8_t, 17> tenthsShift;
  // closeHalfPoint[h][q]: closePoint's shuffle for the half h of 16 bytes that holds 8 of its own
  // (h = 0 the low half), over a point at byte q of the half, 8 for none.
  std::array<std::array<std::uint64_t, 9>, 2> closeHalfPoint;
};

constexpr VectorTables vectorTables() {
  VectorTables tables{};
  for (int i = 16; i < 32; ++i) tables.lastBytes[i] = 0xFF;
  for (int i = 32; i < 64; ++i) tables.lastBytes32[i] = 0xFF;
  for (int point = 0; point <= 16; ++point) {
    for (int i = 0; i < 16; ++i) {
      const int from = point < 16 && i <= point ? i - 1 : i;
      tables.closePoint[point][i] = from < 0 ? 0x80 : static_cast<std::uint8_t>(from);
    }
    double divisor = 1;
    for (int digit = point + 1; digit < 16; ++digit) divisor *= 10;
    tables.signedDivisors[2 * point] = divisor;
    tables.signedDivisors[2 * point + 1] = -divisor;
    tables.fraction[point] = static_cast<std::int8_t>(point < 16 ? 15 - point : 0);
  }
  for (int point = 0; point <= 32; ++point) {
    const int inFirst = point < 16 ? point : 16;
    const int inLast = point >= 16 && point < 32 ? point - 16 : 16;
    for (int i = 0; i < 16; ++i) {
      tables.closePoint32[point][i] = tables.closePoint[inFirst][i];
      tables.closePoint32[point][16 + i] = tables.closePoint[inLast][i];
    }
  }
  for (int point = 0; point <= 8; ++point) {
    for (int i = 0; i < 8; ++i) {
      const int from = point < 8 && i <= point ? i - 1 : i;
      for (int half = 0; half < 2; ++half) {
        const auto byte = static_cast<std::uint64_t>(from < 0 ? 0x80 : from + 8 * half);
        tables.closeHalfPoint[half][point] |= byte << (8 * i);
      }
    }
  }
  for (int n = 0; n <= 32; ++n) {
    tables.lastBits32[n] = static_cast<std::uint32_t>(~std::uint64_t{0} << (32 - n));
    if (n <= 16) tables.lastBits16[n] = static_cast<std::uint16_t>(tables.lastBits32[n] >> 16);
  }
  for (int p = -kLargestExactPower; p <= kLargestExactPower; ++p) {
    const int at = p + kLargestExactPower;
    tables.scaleUp[at] = kExactPowersOfTen[p > 0 ? p : 0];
    tables.scaleDown[2 * at] = kExactPowersOfTen[p < 0 ? -p : 0];
    tables.scaleDown[2 * at + 1] = -kExactPowersOfTen[p < 0 ? -p : 0];
  }
  for (int k = 1; k <= 16; ++k) {
    const unsigned bits = 54 + static_cast<unsigned>(std::bit_width(kIntegerPowersOfTen[k] - 1));
    const unsigned shift = bits > 64 ? bits - 64 : 0;
    const unsigned __int128 scale = static_cast<unsigned __int128>(1) << (64 + shift);
    tables.tenthsFactor[k] =
        static_cast<std::uint64_t>((scale + kIntegerPowersOfTen[k] - 1) / kIntegerPowersOfTen[k]);
    tables.tenthsShift[k] = static_cast<std::uint8_t>(shift);
  }
  return tables;
}
alignas(64) inline constexpr VectorTables kVectorTables = vectorTables();

// The byte constants of the readers, made once per run of fields and hidden from the compiler,
// which would otherwise build each of them anew for every field.
struct VectorConstants {
  __m128i zero, nine, point, minus, plus, caseBit, lowerE, space, tab;
};

[[VELOPLOT_AVX2]] inline VectorConstants vectorConstants() {
  VectorConstants k{_mm_set1_epi8('0'), _mm_set1_epi8(9),   _mm_set1_epi8('.'),
                    _mm_set1_epi8('-'), _mm_set1_epi8('+'), _mm_set1_epi8(0x20),
                    _mm_set1_epi8('e'), _mm_set1_epi8(' '), _mm_set1_epi8('\t')};
  asm(""
      : "+x"(k.zero), "+x"(k.nine), "+x"(k.point), "+x"(k.minus), "+x"(k.plus), "+x"(k.caseBit),
        "+x"(k.lowerE), "+x"(k.space), "+x"(k.tab));
  return k;
}

// The place of the lowest set bit of bits that are never all zero, in one instruction, where
// std::countr_zero leaves a branch on zero.
[[VELOPLOT_AVX2]] inline unsigned lowestBit(std::uint64_t bits) {
  return static_cast<unsigned>(_tzcnt_u64(bits));
}

// The place of the highest set bit, likewise.
[[VELOPLOT_AVX2]] inline unsigned highestBit(std::uint64_t bits) {
  return 63 - static_cast<unsigned>(__builtin_clzll(bits));
}

[[VELOPLOT_AVX2]] inline __m128i loadSixteen(const void* p) {
  return _mm_loadu_si128(static_cast<const __m128i*>(p));
}

[[VELOPLOT_AVX2]] inline __m256i loadThirtyTwo(const void* p) {
  return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}

[[VELOPLOT_AVX2]] inline std::uint64_t byteMask(__m128i marks) {
  return static_cast<std::uint32_t>(_mm_movemask_epi8(marks));
}

[[VELOPLOT_AVX2]] inline std::uint64_t byteMask32(__m256i marks) {
  return static_cast<std::uint32_t>(_mm256_movemask_epi8(marks));
}

[[VELOPLOT_AVX2]] inline __m256i wide(__m128i constant) {
  return _mm256_broadcastsi128_si256(constant);
}

// The value of sixteen digits from the values of their first eight (low half) and last eight.
inline std::uint64_t runValue(std::uint64_t halves) {
  return (halves & 0xFFFFFFFF) * 100000000 + (halves >> 32);
}

// Of sixteen digit values, one a byte, the most significant in byte 0: the values of the first
// eight and of the last eight, in the two lowest 32-bit lanes.
[[VELOPLOT_AVX2]] inline __m128i eightDigitsValues(__m128i digits) {
  const __m128i pairs = _mm_maddubs_epi16(digits, _mm_set1_epi16(0x010A));
  const __m128i fours = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00010064));
  const __m128i packed = _mm_packus_epi32(fours, fours);
  return _mm_madd_epi16(packed, _mm_set1_epi32(0x00012710));
}

// The nearest double to the number of sixteen digits whose first and last eight have the values
// in the two lowest 32-bit lanes: both converted side by side and joined by one fused
// multiply-add, which rounds once. That is a shorter chain to the division behind it than joining
// them in a general register and converting the integer: fixed parses 1.05-1.09x faster for it,
// and the short decimal reader alone on its fields runs 1.2x faster.
[[VELOPLOT_AVX2]] inline double runNumber(__m128i halves) {
  const __m128d both = _mm_cvtepi32_pd(halves);
  return _mm_cvtsd_f64(_mm_fmadd_sd(both, _mm_set_sd(100000000.0), _mm_unpackhi_pd(both, both)));
}

// The nearest double to the number of sixteen digit values, the most significant in byte 0.
[[VELOPLOT_AVX2]] inline double sixteenDigitsNumber(__m128i digits) {
  return runNumber(eightDigitsValues(digits));
}

// Two runs of sixteen digit values summed in one pass: the values of their first and last eight
// digits, as runValue and runNumber take them.
struct TwoRuns {
  std::uint64_t first;   // the first run's first eight in the low half, its last in the high
  std::uint64_t second;  // the same of the second run
  __m256i halves;        // both, in the lowest two 32-bit lanes of each half
};

// The runs in the low and the high half of `digits`.
[[VELOPLOT_AVX2]] inline TwoRuns sumTwoRuns(__m256i digits) {
  const __m256i pairs = _mm256_maddubs_epi16(digits, _mm256_set1_epi16(0x010A));
  const __m256i fours = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00010064));
  const __m256i packed = _mm256_packus_epi32(fours, fours);
  const __m256i eights = _mm256_madd_epi16(packed, _mm256_set1_epi32(0x00012710));
  return {static_cast<std::uint64_t>(_mm256_extract_epi64(eights, 0)),
          static_cast<std::uint64_t>(_mm256_extract_epi64(eights, 2)), eights};
}

[[VELOPLOT_AVX2]] inline TwoRuns sumTwoRuns(__m128i first, __m128i second) {
  return sumTwoRuns(_mm256_inserti128_si256(_mm256_castsi128_si256(first), second, 1));
}

// The digits among the last `length` bytes (at most 16) of `text`, each as its value, and zeros
// for every other byte.
[[VELOPLOT_AVX2]] inline __m128i digitValues(__m128i text, std::uint64_t length,
                                             const VectorConstants& k) {
  const __m128i values = _mm_sub_epi8(text, k.zero);
  const __m128i isDigit = _mm_cmpeq_epi8(_mm_min_epu8(values, k.nine), values);
  return _mm_and_si128(_mm_and_si128(values, isDigit),
                       loadSixteen(kVectorTables.lastBytes.data() + length));
}

// The value of the 0 to 4 exponent digits that end at `end`.
inline std::int64_t exponentValue(const char* end, std::uint64_t count) {
  std::uint32_t word;
  std::memcpy(&word, end - 4, sizeof word);
  const auto inExponent = static_cast<std::uint32_t>(0xFFFFFFFF00000000 >> (8 * count));
  word = (word & inExponent) - (0x30303030 & inExponent);
  word = word * 10 + (word >> 8);
  return (word & 0xFF) * 100 + ((word >> 16) & 0xFF);
}

// The correctly rounded double of mantissa x 10^power where the mantissa holds the leading
// digits of the number in [start, end) (blanks before it aside) and `truncated` says that nonzero
// digits followed them: the mantissa and its successor then bound the number, and where they
// round differently only the whole text decides. False for an infinite value.
[[gnu::noinline]] inline bool truncatedValue(const char* start, const char* end,
                                             std::uint64_t mantissa, std::int64_t power,
                                             bool truncated, bool negative, double& value) {
  using Format = fast_float::binary_format<double>;
  fast_float::adjusted_mantissa rounded = fast_float::compute_float<Format>(power, mantissa);
  if (truncated && rounded.power2 >= 0 &&
      rounded != fast_float::compute_float<Format>(power, mantissa + 1)) {
    rounded.power2 = -1;
  }
  if (rounded.power2 >= 0) {
    fast_float::to_float(negative, rounded, value);
  } else {
    fast_float::from_chars(skipBlanks(start), end, value);
  }
  return !std::isinf(value);
}

// The smallest power of ten for which the product of the general rounding is never too short to
// decide: 5^-power then fits 64 bits, and its 128-bit reciprocal gives the exact quotient.
inline constexpr std::int64_t kSmallestDecidedPower = -27;

// Whether decidedProduct takes the power: from kSmallestDecidedPower to 0.
inline bool productDecides(std::int64_t power) {
  return static_cast<std::uint64_t>(power - kSmallestDecidedPower) <=
         static_cast<std::uint64_t>(-kSmallestDecidedPower);
}

// The bits of a wide product's high word below the leading 54 that the rounding keeps, where its
// top bit is bit 62; one more where it is bit 63 (`upperBit`). The mantissa in the product was
// shifted left by `zeros` to its top bit.
inline constexpr int kDroppedProductBits =
    64 - fast_float::binary_format<double>::mantissa_explicit_bits() - 3;

// mantissa x 10^power from the 54 leading bits of the product, rounded half up to 53. A rounding
// that carries to 2^53 carries into the exponent by the addition that joins them.
[[gnu::always_inline]] inline double productDouble(std::uint64_t leading, std::int64_t power,
                                                   int upperBit, int zeros, bool negative) {
  using Format = fast_float::binary_format<double>;
  const std::int64_t power2 = fast_float::detail::power(static_cast<std::int32_t>(power)) +
                              upperBit - zeros - Format::minimum_exponent();
  const std::uint64_t bits = (static_cast<std::uint64_t>(power2 - 1) << 52) + ((leading + 1) >> 1);
  return withSign(std::bit_cast<double>(bits), negative);
}

// The general rounding's one wide product for a mantissa above 0 and a power from
// kSmallestDecidedPower to 0, without its steps for what such a number never is: zero,
// subnormal, infinite or undecided.
[[VELOPLOT_AVX2, gnu::always_inline]] inline double decidedProduct(std::uint64_t mantissa,
                                                                   std::int64_t power,
                                                                   bool negative) {
  using Format = fast_float::binary_format<double>;
  const int zeros = __builtin_clzll(mantissa);
  const fast_float::value128 product =
      fast_float::compute_product_approximation<Format::mantissa_explicit_bits() + 3>(
          power, mantissa << zeros);
  const auto upperBit = static_cast<int>(product.high >> 63);
  const int shift = upperBit + kDroppedProductBits;
  std::uint64_t leading = product.high >> shift;
  // A tie between two doubles, which rounds to the even one: only where 5^power is exact, and so
  // only where the product's low word is nearly 0, which one seldom taken branch asks first.
  if (product.low <= 1) [[unlikely]] {
    if ((power >= Format::min_exponent_round_to_even()) & ((leading & 3) == 1) &
        ((leading << shift) == product.high)) {
      leading &= ~std::uint64_t{1};
    }
  }
  return productDouble(leading, power, upperBit, zeros, negative);
}

// decidedProduct's rounding for a mantissa that holds the 19 leading digits (at least 10^18) of
// a longer number, which lies strictly between it and its successor, and a power from
// kSmallestDecidedPower to 0: the double that every number between them rounds to; or, where a
// boundary between two doubles may lie among them, false. In units of the product's high word,
// taken here without the table's low word, the exact product of the mantissa lies from 0 to 2
// above it, and that of its successor less than 2^zeros further, the shift of the mantissa to
// its top bit (at most 4 for 19 digits). A mantissa of at least 10^18 that holds the whole
// number may be given too: its one exact product then never lies on a tie.
[[VELOPLOT_AVX2, gnu::always_inline]] inline bool boundedProduct(std::uint64_t mantissa,
                                                                 std::int64_t power, bool negative,
                                                                 double& value) {
  const int zeros = __builtin_clzll(mantissa);
  const int tableIndex = 2 * static_cast<int>(power - fast_float::powers::smallest_power_of_five);
  const std::uint64_t high =
      fast_float::full_multiplication(mantissa << zeros,
                                      fast_float::powers::power_of_five_128[tableIndex])
          .high;
  const auto upperBit = static_cast<int>(high >> 63);
  const int shift = upperBit + kDroppedProductBits;
  value = productDouble(high >> shift, power, upperBit, zeros, negative);
  // The boundaries lie at the odd multiples of 2^shift, at the multiples of 2^(shift + 1) here,
  // and so does 2^63, where the shift changes.
  const std::uint64_t centred = high + (std::uint64_t{1} << shift);
  const std::uint64_t reach = (std::uint64_t{1} << zeros) + 3;
  return (((centred - 1) ^ (centred + reach)) >> (shift + 1)) == 0;
}

// A whole mantissa x 10^power with its sign, correctly rounded from one wide product where that
// decides; else as truncatedValue. False for an infinite value. With kMostlyDecided, for the long
// decimal reader's fields, whose powers mostly lie where the product always decides, the
// product's shorter steps serve those powers (but for a zero mantissa): doubles parse 1.07x
// faster. Behind the reader of any form, the test of the power made mixed slower.
template <bool kMostlyDecided>
[[VELOPLOT_AVX2, gnu::always_inline]] inline bool productValue(const char* start, const char* end,
                                                               std::uint64_t mantissa,
                                                               std::int64_t power, bool negative,
                                                               double& value) {
  if (kMostlyDecided && (productDecides(power) & (mantissa != 0))) [[likely]] {
    value = decidedProduct(mantissa, power, negative);
    return true;
  }
  using Format = fast_float::binary_format<double>;
  const fast_float::adjusted_mantissa rounded = fast_float::compute_float<Format>(power, mantissa);
  if (rounded.power2 < 0) [[unlikely]] {
    return truncatedValue(start, end, mantissa, power, false, negative, value);
  }
  fast_float::to_float(negative, rounded, value);
  return rounded.power2 != Format::infinite_power();
}

// mantissa x 10^power with its sign, from the mantissa and its nearest double: exact where one
// multiplication or division makes it so (a mantissa below 2^53, a power within 22), and for an
// integer, which the conversion alone rounds correctly.
[[VELOPLOT_AVX2]] inline bool scaledValue(const char* start, const char* end,
                                          std::uint64_t mantissa, double magnitude,
                                          std::int64_t power, std::uint64_t negative,
                                          double& value) {
  const auto exactPower = static_cast<std::uint64_t>(power + kLargestExactPower);
  if (((mantissa >> 53) | (exactPower > 2 * kLargestExactPower)) == 0) [[likely]] {
    value = magnitude * kVectorTables.scaleUp[exactPower] /
            kVectorTables.scaleDown[2 * exactPower + negative];
    return true;
  }
  if (power == 0 && mantissa < std::uint64_t{1} << 63) {
    value = magnitude * kVectorTables.scaleDown[2 * kLargestExactPower + negative];
    return true;
  }
  if (mantissa != 0 && productDecides(power)) {
    value = decidedProduct(mantissa, power, negative != 0);
    return true;
  }
  return truncatedValue(start, end, mantissa, power, false, negative != 0, value);
}

// n / 10^k for n below 2^54 and k from 0 to 16, by a multiplication.
[[VELOPLOT_AVX2]] inline std::uint64_t tenthsOf(std::uint64_t n, unsigned k) {
  const auto high = static_cast<std::uint64_t>(
      (static_cast<unsigned __int128>(n) * kVectorTables.tenthsFactor[k]) >> 64);
  const std::uint64_t quotient = high >> kVectorTables.tenthsShift[k];
  return k == 0 ? n : quotient;
}

// A whole number below 2^64 - 2^11 as high + low exactly, high its nearest double, with no branch
// on its size: a number of 64 bits is halved for the signed conversion, its last bit kept as a
// sticky one, so that doubling the half's nearest double rounds once.
struct SplitNumber {
  double high, low;
};

[[VELOPLOT_AVX2]] inline SplitNumber splitNumber(std::uint64_t n) {
  const std::uint64_t above = n >> 63;
  const std::uint64_t halved = (n >> above) | (n & above);
  const __m128d halvedNearest = _mm_set_sd(static_cast<double>(static_cast<std::int64_t>(halved)));
  // A half just below 2^63 rounds to 2^63, which the conversion back gives as its one value out
  // of range, 0x8000000000000000: 2^63 itself, unsigned.
  const auto halvedInteger = static_cast<std::uint64_t>(_mm_cvttsd_si64(halvedNearest));
  const auto highBits = std::bit_cast<std::uint64_t>(_mm_cvtsd_f64(halvedNearest)) + (above << 52);
  return {std::bit_cast<double>(highBits),
          static_cast<double>(static_cast<std::int64_t>(n - (halvedInteger << above)))};
}

// Decimal digits of a value above 0.
[[VELOPLOT_AVX2]] inline int decimalDigits(std::uint64_t value) {
  const int guess = (static_cast<int>(highestBit(value) + 1) * 1233) >> 12;
  return guess + (value >= kIntegerPowersOfTen[guess]);
}

// Below this, a first part times 10^16 plus the 16 digits behind it fits 64 bits.
inline constexpr std::uint64_t kLargestFirstPart = 1843;

// The digits in the last run of sixteen bytes of a mantissa of 32 whose point (32 for none) is at
// byte `point`: 15 where the point is among them.
inline int lastRunDigits(unsigned point) {
  return point - 16 < 16 ? 15 : 16;
}

// The number made of a first part and `lastDigits` digits behind it (the last part's value),
// times 10^power: 15 or 16 digits in the last part, 16 at most in the first. A mantissa that
// fits 64 bits is exact; a longer one keeps 19 leading digits. kMostlyDecided as productValue.
template <bool kMostlyDecided>
[[VELOPLOT_AVX2]] inline bool longMantissaValue(const char* p, const char* end, std::uint64_t first,
                                                std::uint64_t last, int lastDigits,
                                                std::int64_t power, bool negative, double& value) {
  if (first <= kLargestFirstPart) {
    const std::uint64_t mantissa = first * kIntegerPowersOfTen[lastDigits] + last;
    // Integers and, behind the reader of any form, mantissas of up to 15 digits, mostly short
    // numbers with blanks around them, cost one conversion; a column of 16 and 17 digits never
    // takes these branches, so that it does not mispredict on which of them is below 2^53. The
    // long decimal reader's shorter mantissas take the product: in doubles written in shortest
    // form, about one in fifteen is below 2^50, and the branch on them cost more than the
    // division saves (doubles and long parse 1.05x-1.06x faster without it).
    if (power == 0) {
      value = withSign(splitNumber(mantissa).high, negative);
      return true;
    }
    if (!kMostlyDecided && (mantissa >> 50) == 0) {
      const auto magnitude = static_cast<double>(static_cast<std::int64_t>(mantissa));
      return scaledValue(p, end, mantissa, magnitude, power, negative, value);
    }
    return productValue<kMostlyDecided>(p, end, mantissa, power, negative, value);
  }
  const auto dropped = static_cast<unsigned>(decimalDigits(first) + lastDigits - 19);
  const std::uint64_t kept = tenthsOf(last, dropped);
  const std::uint64_t mantissa = first * kIntegerPowersOfTen[lastDigits - dropped] + kept;
  const std::int64_t exponent = power + dropped;
  if (productDecides(exponent) && boundedProduct(mantissa, exponent, negative, value)) [[likely]] {
    return true;
  }
  const bool truncated = kept * kIntegerPowersOfTen[dropped] != last;
  return truncatedValue(p, end, mantissa, exponent, truncated, negative, value);
}

// The bytes of a field between the blanks around it: the mask of its bytes, and its first and
// last byte. Without kBlanks, the whole field. A blank inside the number is none of the bytes a
// number may hold, which the readers check.
struct NumberBytes {
  std::uint64_t bytes;
  std::uint64_t first;  // one bit
  unsigned last;        // a place
  bool empty;           // only blanks
};

template <bool kBlanks>
[[VELOPLOT_AVX2, gnu::always_inline]] inline NumberBytes numberBytes(std::uint64_t field,
                                                                     unsigned fieldLast,
                                                                     std::uint64_t blanks) {
  if constexpr (!kBlanks) {
    return {field, field & (0 - field), fieldLast, false};
  } else {
    const std::uint64_t number = field & ~blanks;
    const std::uint64_t first = number & (0 - number);
    const unsigned last = highestBit(number | 1);
    return {(std::uint64_t{2} << last) - first, first, last, number == 0};
  }
}

// The fields of readShortInteger: an optional '-' and 1 to 8 digits, read as one word; or false.
[[VELOPLOT_AVX2, gnu::always_inline]] inline bool readShortIntegerWhole(const char* p,
                                                                        const char* end,
                                                                        double& value) {
  const std::uint64_t negative = *p == '-';
  const auto digitCount = static_cast<std::uint64_t>(end - p) - negative;
  if (digitCount - 1 >= 8) return false;
  const std::uint64_t word = fieldWord(end, static_cast<std::ptrdiff_t>(digitCount));
  if (nonDigitBytes(word) != 0) return false;
  const auto magnitude = static_cast<double>(eightDigitsValue(word - kZeroDigits));
  // Signed by a factor of 1 or -1, which keeps the sign of -0.
  value = magnitude * kVectorTables.signedDivisors[2 * 16 + negative];
  return true;
}

// The fields of readLongInteger: an optional '-' and 1 to 19 digits, or false. Below 10^19, the
// number fits 64 bits, and its one conversion to a double rounds correctly.
[[VELOPLOT_AVX2, gnu::always_inline]] inline bool readLongIntegerWhole(const char* p,
                                                                       const char* end,
                                                                       double& value,
                                                                       const VectorConstants& k) {
  const std::uint64_t negative = *p == '-';
  const auto digitCount = static_cast<std::uint64_t>(end - p) - negative;
  if (digitCount - 1 >= 19) return false;
  const __m256i values = _mm256_sub_epi8(loadThirtyTwo(end - 32), wide(k.zero));
  const __m256i isDigit = _mm256_cmpeq_epi8(_mm256_min_epu8(values, wide(k.nine)), values);
  const std::uint64_t digitBytes = kVectorTables.lastBits32[digitCount];
  if ((byteMask32(isDigit) & digitBytes) != digitBytes) return false;
  // At most 3 digits in the first run of sixteen bytes, the last 16 in the second.
  const TwoRuns runs = sumTwoRuns(
      _mm256_and_si256(values, loadThirtyTwo(kVectorTables.lastBytes32.data() + digitCount)));
  const std::uint64_t number =
      runValue(runs.first) * kIntegerPowersOfTen[16] + runValue(runs.second);
  value = withSign(splitNumber(number).high, negative != 0);
  return true;
}

// The fields of readShortDecimal, or false. With kLate, any other field also gets some value, with
// no branch on its form, so that a caller may go on and read the refused fields later without a
// mispredicted branch for each; and fields of 16 bytes are taken too, which the reader of any form
// would take instead at about twice the cost (mixed parses 1.03x faster): with a point they have at
// most 15 digits, without one they are integers, and the conversion of 16 digits rounds once.
// Without kLate they stay with the reader of any form, as the line loop's code with them ran fixed
// 1.15x slower.
// The masks are of 32 bits: where the line loop runs short of registers, GCC spills a mask of
// 64 bits in its low 32 and loads it back whole, which the store cannot forward, a stall at every
// field (the short decimal reader kept for later ran 0.6x as fast).
template <bool kBlanks, bool kLate = false>
[[VELOPLOT_AVX2, gnu::always_inline]] inline bool readShortDecimalWhole(const char* p,
                                                                        const char* end,
                                                                        double& value,
                                                                        const VectorConstants& k) {
  const auto length = static_cast<std::uint64_t>(end - p);
  const bool tooLong = length - 1 >= (kBlanks || kLate ? 16 : 15);
  if (!kLate && tooLong) return false;
  const std::uint64_t fieldLength = kLate ? std::min<std::uint64_t>(length, 16) : length;
  const __m128i text = loadSixteen(end - 16);
  std::uint32_t field = kVectorTables.lastBits16[fieldLength];
  const std::uint32_t points = _mm_movemask_epi8(_mm_cmpeq_epi8(text, k.point));
  const std::uint32_t minus = _mm_movemask_epi8(_mm_cmpeq_epi8(text, k.minus));
  std::uint32_t wrong = kLate && tooLong;
  // The point, or where the number has none, the byte behind its last digit: the digits behind
  // it are divided away. Without blanks, that is byte 16, and the divisor 1.
  std::uint32_t noPoint = 0x10000;
  if constexpr (kBlanks) {
    // The number is read where it stands, not loaded again to end the sixteen bytes, which put a
    // second load on every field's chain of steps (blanks parses 1.02x faster without it): blanks
    // behind it read as zero digits, divided away as digits behind its point. From its first
    // byte to the sixteenth, at most 15 bytes, so that the digits and zeros convert exactly.
    const std::uint64_t blanks =
        byteMask(_mm_or_si128(_mm_cmpeq_epi8(text, k.space), _mm_cmpeq_epi8(text, k.tab)));
    const NumberBytes number = numberBytes<true>(field, 15, blanks);
    field = static_cast<std::uint32_t>(number.bytes);
    noPoint = std::uint32_t{2} << number.last;
    wrong |= static_cast<std::uint32_t>(number.empty) | (field & 0x0001);
  }
  const __m128i values = _mm_sub_epi8(text, k.zero);
  const __m128i isDigit = _mm_cmpeq_epi8(_mm_min_epu8(values, k.nine), values);
  const std::uint32_t digits = _mm_movemask_epi8(isDigit);
  const std::uint32_t first = field & (0 - field);
  const std::uint32_t sign = minus & first;
  const std::uint32_t fieldPoints = points & field;
  // Nothing but digits, at most one point, and a minus first; no point first (a signed field's
  // first byte is its sign); a digit.
  wrong |= (field & ~(digits | points | sign)) | (fieldPoints & (fieldPoints - 1)) |
           (fieldPoints & first) | ((digits & field) == 0);
  if (!kLate && wrong != 0) return false;
  const __m128i only = _mm_and_si128(_mm_and_si128(values, isDigit),
                                     loadSixteen(kVectorTables.lastBytes.data() + fieldLength));
  const auto point = static_cast<unsigned>(_tzcnt_u32(fieldPoints | noPoint));
  value = sixteenDigitsNumber(
              _mm_shuffle_epi8(only, loadSixteen(kVectorTables.closePoint[point].data()))) /
          kVectorTables.signedDivisors[2 * point + (sign != 0)];
  return wrong == 0;
}

[[VELOPLOT_AVX2]] inline __m128i twoWords(std::uint64_t low, std::uint64_t high) {
  return _mm_insert_epi64(_mm_cvtsi64_si128(static_cast<long long>(low)),
                          static_cast<long long>(high), 1);
}

// The fields [p0, end0) and [p1, end1) of readTwoShortDecimals where both have at most 8 bytes,
// or false. As readShortDecimalWhole, each in its half; the point of half h is at byte q of it,
// where a mantissa of 16 bytes would have it at 8 + q, and takes the same divisor.
[[VELOPLOT_AVX2, gnu::always_inline]] inline bool readTwoShortDecimalsWhole(
    const char* p0, const char* end0, const char* p1, const char* end1, double& value0,
    double& value1, const VectorConstants& k) {
  const auto length0 = static_cast<std::uint64_t>(end0 - p0);
  const auto length1 = static_cast<std::uint64_t>(end1 - p1);
  if ((length0 - 1 >= 8) | (length1 - 1 >= 8)) return false;
  const __m128i text = twoWords(loadEightBytes(end0 - 8), loadEightBytes(end1 - 8));
  const std::uint64_t field0 = (0xFF00 >> length0) & 0xFF;
  const std::uint64_t field1 = ((0xFF00 >> length1) & 0xFF) << 8;
  const std::uint64_t first = (field0 & (0 - field0)) | (field1 & (0 - field1));
  const std::uint64_t points = byteMask(_mm_cmpeq_epi8(text, k.point));
  const std::uint64_t sign = byteMask(_mm_cmpeq_epi8(text, k.minus)) & first;
  const __m128i values = _mm_sub_epi8(text, k.zero);
  const __m128i isDigit = _mm_cmpeq_epi8(_mm_min_epu8(values, k.nine), values);
  const std::uint64_t digits = byteMask(isDigit);
  const std::uint64_t points0 = points & field0;
  const std::uint64_t points1 = points & field1;
  const std::uint64_t wrong = ((field0 | field1) & ~(digits | points | sign)) |
                              (points0 & (points0 - 1)) | (points1 & (points1 - 1)) |
                              ((points0 | points1) & first);
  if ((wrong != 0) | ((digits & field0) == 0) | ((digits & field1) == 0)) return false;
  const __m128i only = _mm_and_si128(_mm_and_si128(values, isDigit),
                                     twoWords(kTopBytes[length0], kTopBytes[length1]));
  const unsigned point0 = lowestBit(points0 | 0x100);
  const unsigned point1 = lowestBit((points1 >> 8) | 0x100);
  const __m128i closed = _mm_shuffle_epi8(only, twoWords(kVectorTables.closeHalfPoint[0][point0],
                                                         kVectorTables.closeHalfPoint[1][point1]));
  const __m128d divisors = _mm_loadh_pd(
      _mm_load_sd(&kVectorTables.signedDivisors[2 * (8 + point0) + ((sign & field0) != 0)]),
      &kVectorTables.signedDivisors[2 * (8 + point1) + ((sign & field1) != 0)]);
  const __m128d quotients = _mm_div_pd(_mm_cvtepi32_pd(eightDigitsValues(closed)), divisors);
  _mm_storel_pd(&value0, quotients);
  _mm_storeh_pd(&value1, quotients);
  return true;
}

// The bytes of a number's kinds, one bit a byte.
struct ByteKinds {
  std::uint64_t digits, points, marks, minus, signs, blanks;
};

template <bool kBlanks>
[[VELOPLOT_AVX2, gnu::always_inline]] inline ByteKinds byteKindsOf16(__m128i text,
                                                                     const VectorConstants& k) {
  const __m128i values = _mm_sub_epi8(text, k.zero);
  const std::uint64_t minus = byteMask(_mm_cmpeq_epi8(text, k.minus));
  std::uint64_t blanks = 0;
  if constexpr (kBlanks) {
    blanks = byteMask(_mm_or_si128(_mm_cmpeq_epi8(text, k.space), _mm_cmpeq_epi8(text, k.tab)));
  }
  return {byteMask(_mm_cmpeq_epi8(_mm_min_epu8(values, k.nine), values)),
          byteMask(_mm_cmpeq_epi8(text, k.point)),
          byteMask(_mm_cmpeq_epi8(_mm_or_si128(text, k.caseBit), k.lowerE)),
          minus,
          minus | byteMask(_mm_cmpeq_epi8(text, k.plus)),
          blanks};
}

// Of the 32 bytes at `p`, blanks always included.
[[VELOPLOT_AVX2, gnu::always_inline]] inline ByteKinds byteKindsOf32(const char* p,
                                                                     const VectorConstants& k) {
  const __m256i text = loadThirtyTwo(p);
  const __m256i values = _mm256_sub_epi8(text, wide(k.zero));
  const std::uint64_t minus = byteMask32(_mm256_cmpeq_epi8(text, wide(k.minus)));
  return {byteMask32(_mm256_cmpeq_epi8(_mm256_min_epu8(values, wide(k.nine)), values)),
          byteMask32(_mm256_cmpeq_epi8(text, wide(k.point))),
          byteMask32(_mm256_cmpeq_epi8(_mm256_or_si256(text, wide(k.caseBit)), wide(k.lowerE))),
          minus,
          minus | byteMask32(_mm256_cmpeq_epi8(text, wide(k.plus))),
          byteMask32(_mm256_or_si256(_mm256_cmpeq_epi8(text, wide(k.space)),
                                     _mm256_cmpeq_epi8(text, wide(k.tab))))};
}

// Fields of 1 to 16 bytes, or with kLong 17 to 32, of any form: an optional '-', digits with at
// most one point, and an optional exponent mark, sign and 1 to 4 digits. The same steps serve
// both lengths, on the kinds of the 16 or 32 bytes that end the field.
template <bool kBlanks, bool kLong>
[[VELOPLOT_AVX2, gnu::always_inline]] inline bool readAnyFormWhole(const char* p, const char* end,
                                                                   double& value,
                                                                   const VectorConstants& k) {
  constexpr unsigned kWidth = kLong ? 32 : 16;
  const auto length = static_cast<std::uint64_t>(end - p);
  const __m128i text = loadSixteen(end - 16);
  const ByteKinds kinds = kLong ? byteKindsOf32(end - 32, k) : byteKindsOf16<kBlanks>(text, k);
  const std::uint64_t digits = kinds.digits;
  const std::uint64_t points = kinds.points;
  const std::uint64_t minus = kinds.minus;
  const std::uint64_t field =
      kLong ? kVectorTables.lastBits32[length] : kVectorTables.lastBits16[length];
  const NumberBytes number = numberBytes<kBlanks>(field, kWidth - 1, kinds.blanks);
  const std::uint64_t fieldMarks = kinds.marks & number.bytes;
  const unsigned markAt = lowestBit(fieldMarks | std::uint64_t{2} << number.last);
  const std::uint64_t mantissaBytes = _bzhi_u64(number.bytes, markAt);
  const std::uint64_t exponentBytes = number.bytes & ~_bzhi_u64(number.bytes, markAt + 1);
  const std::uint64_t sign = minus & number.first;
  const std::uint64_t mantissaPoints = points & mantissaBytes;
  const std::uint64_t exponentSign = kinds.signs & exponentBytes & (0 - exponentBytes);
  const std::uint64_t exponentDigits = exponentBytes & ~exponentSign;
  const std::uint64_t lastFour = (std::uint64_t{0xF} << number.last) >> 3;
  // As readShortDecimalWhole for the mantissa; behind a mark, a sign and 1 to 4 digits, which
  // then end the number.
  const std::uint64_t wrong = number.empty | (mantissaBytes & ~(digits | points | sign)) |
                              (mantissaPoints & (mantissaPoints - 1)) |
                              (mantissaPoints & number.first) | (exponentDigits & ~digits) |
                              (exponentDigits & ~lastFour) |
                              (fieldMarks & (((exponentDigits >> number.last) & 1) - 1));
  if ((wrong != 0) | ((digits & mantissaBytes) == 0)) return false;

  // The mantissa loaded again so that it ends the sixteen bytes: in two parts when long, each
  // closed over the point it holds.
  const char* const mantissaEnd = end - (kWidth - markAt);
  const auto mantissaLength = static_cast<std::uint64_t>(std::popcount(mantissaBytes));
  const unsigned point =
      lowestBit(mantissaPoints << (kWidth - markAt) | std::uint64_t{1} << kWidth);
  const char* const numberEnd = end - (kWidth - 1 - number.last);
  const auto exponentCount = static_cast<std::uint64_t>(std::popcount(exponentDigits));
  const std::int64_t negativeExponent = (minus & exponentSign) != 0;
  if constexpr (!kLong) {
    // The exponent's digits summed beside the mantissa's.
    const __m128i only = digitValues(loadSixteen(mantissaEnd - 16), mantissaLength, k);
    const __m128i numberText = kBlanks ? loadSixteen(numberEnd - 16) : text;
    const __m128i exponentOnly = digitValues(numberText, exponentCount, k);
    const TwoRuns both = sumTwoRuns(
        _mm_shuffle_epi8(only, loadSixteen(kVectorTables.closePoint[point].data())), exponentOnly);
    // At most four digits: all in the last eight.
    const auto exponent = static_cast<std::int64_t>(both.second >> 32);
    const std::int64_t signedExponent = (exponent ^ -negativeExponent) + negativeExponent;
    return scaledValue(p, numberEnd, runValue(both.first),
                       runNumber(_mm256_castsi256_si128(both.halves)),
                       signedExponent - kVectorTables.fraction[point], sign != 0, value);
  } else {
    const std::int64_t exponent = exponentValue(numberEnd, exponentCount);
    const std::int64_t signedExponent = (exponent ^ -negativeExponent) + negativeExponent;
    const __m128i firstPart = digitValues(loadSixteen(mantissaEnd - 32),
                                          mantissaLength > 16 ? mantissaLength - 16 : 0, k);
    const __m128i lastPart =
        digitValues(loadSixteen(mantissaEnd - 16), mantissaLength < 16 ? mantissaLength : 16, k);
    const __m256i parts32 = _mm256_inserti128_si256(_mm256_castsi128_si256(firstPart), lastPart, 1);
    const TwoRuns parts = sumTwoRuns(
        _mm256_shuffle_epi8(parts32, loadThirtyTwo(kVectorTables.closePoint32[point].data())));
    const std::int64_t fraction = point < 32 ? 31 - static_cast<std::int64_t>(point) : 0;
    return longMantissaValue<false>(p, numberEnd, runValue(parts.first), runValue(parts.second),
                                    lastRunDigits(point), signedExponent - fraction, sign != 0,
                                    value);
  }
}

// A field of readLongDecimal: an optional '-' and 1 to 32 bytes of digits with at most one
// point, ending at `end`, times 10^exponent, summed but not yet made a double: the two runs of
// sixteen bytes that end it, and its power of ten; `read` false for any other field. As the long
// fields of readAnyFormWhole, but the mantissa ends the field or the exponent that the caller has
// read behind it, so that the digits are summed from the one load that classified them. Without
// a branch, so that the sums of two fields can be made before the first is converted.
struct LongDecimalSums {
  std::uint64_t first;
  std::uint64_t last;
  int lastDigits;
  std::int64_t power;
  bool negative;
  bool read;
};

[[VELOPLOT_AVX2, gnu::always_inline]] inline LongDecimalSums sumLongDecimal(
    const char* p, const char* end, std::int64_t exponent, const VectorConstants& k) {
  const auto length = static_cast<std::uint64_t>(end - p);
  // Any other length counts no byte as the field's, which the reading then refuses.
  const std::uint64_t counted = length - 1 < 32 ? length : 0;
  const __m256i text = loadThirtyTwo(end - 32);
  const __m256i values = _mm256_sub_epi8(text, wide(k.zero));
  const __m256i isDigit = _mm256_cmpeq_epi8(_mm256_min_epu8(values, wide(k.nine)), values);
  const std::uint64_t digits = byteMask32(isDigit);
  const std::uint64_t points = byteMask32(_mm256_cmpeq_epi8(text, wide(k.point)));
  const std::uint64_t field = kVectorTables.lastBits32[counted];
  const std::uint64_t first = field & (0 - field);
  const std::uint64_t sign = byteMask32(_mm256_cmpeq_epi8(text, wide(k.minus))) & first;
  const std::uint64_t fieldPoints = points & field;
  const std::uint64_t wrong = (field & ~(digits | points | sign)) |
                              (fieldPoints & (fieldPoints - 1)) | (fieldPoints & first);
  const __m256i only = _mm256_and_si256(_mm256_and_si256(values, isDigit),
                                        loadThirtyTwo(kVectorTables.lastBytes32.data() + counted));
  const unsigned point = lowestBit(fieldPoints | std::uint64_t{1} << 32);
  const TwoRuns parts = sumTwoRuns(
      _mm256_shuffle_epi8(only, loadThirtyTwo(kVectorTables.closePoint32[point].data())));
  const std::int64_t fraction = point < 32 ? 31 - static_cast<std::int64_t>(point) : 0;
  return {runValue(parts.first),
          runValue(parts.second),
          lastRunDigits(point),
          exponent - fraction,
          sign != 0,
          ((wrong == 0) & ((digits & field) != 0)) != 0};
}

// The double of the sums of a field that ends at `fieldEnd`.
[[VELOPLOT_AVX2, gnu::always_inline]] inline bool longDecimalValue(const char* p,
                                                                   const char* fieldEnd,
                                                                   const LongDecimalSums& sums,
                                                                   double& value) {
  return longMantissaValue<true>(p, fieldEnd, sums.first, sums.last, sums.lastDigits, sums.power,
                                 sums.negative, value);
}

// Whether the last three bytes before `end` are a sign and two digits; if so, their value.
inline bool twoDigitExponent(const char* end, std::int64_t& exponent) {
  const char sign = end[-3];
  const auto tens = static_cast<unsigned>(end[-2] - '0');
  const auto units = static_cast<unsigned>(end[-1] - '0');
  if ((sign != '-' && sign != '+') || tens > 9 || units > 9) return false;
  const auto magnitude = static_cast<std::int64_t>(tens * 10 + units);
  exponent = sign == '-' ? -magnitude : magnitude;
  return true;
}

[[VELOPLOT_AVX2, gnu::noinline]] bool readOtherForm(const char* p, const char* end, double& value);

[[VELOPLOT_AVX2]] inline bool readShortInteger(const char* p, const char* end, double& value) {
  if (readShortIntegerWhole(p, end, value)) [[likely]]
    return true;
  return readOtherForm(p, end, value);
}

[[VELOPLOT_AVX2]] inline bool readLongInteger(const char* p, const char* end, double& value,
                                              const VectorConstants& k) {
  if (readLongIntegerWhole(p, end, value, k)) [[likely]]
    return true;
  return readOtherForm(p, end, value);
}

template <bool kBlanks>
[[VELOPLOT_AVX2]] inline bool readAnyForm(const char* p, const char* end, double& value,
                                          const VectorConstants& k) {
  const auto length = static_cast<std::uint64_t>(end - p);
  if (length - 1 < 16) [[likely]] {
    if (readAnyFormWhole<kBlanks, false>(p, end, value, k)) [[likely]]
      return true;
  } else if (length - 17 < 16 && readAnyFormWhole<kBlanks, true>(p, end, value, k)) {
    return true;
  }
  return readOtherForm(p, end, value);
}

// Fields of other forms go to the reader of any form: a column may have many of them, up to the
// share where the branch to it, mispredicted on every such field, costs more than that reader
// alone on every field.
template <bool kBlanks>
[[VELOPLOT_AVX2]] inline bool readShortDecimal(const char* p, const char* end, double& value,
                                               const VectorConstants& k) {
  if (readShortDecimalWhole<kBlanks>(p, end, value, k)) [[likely]]
    return true;
  return readAnyForm<kBlanks>(p, end, value, k);
}

// readShortDecimal without its reader of any form: false, and some value, for the fields it hands
// on, for callers that read them later.
template <bool kBlanks>
[[VELOPLOT_AVX2]] inline bool readShortDecimalOnly(const char* p, const char* end, double& value,
                                                   const VectorConstants& k) {
  return readShortDecimalWhole<kBlanks, true>(p, end, value, k);
}

// Both fields as readShortDecimal reads each; true when both are read.
[[VELOPLOT_AVX2]] inline bool readTwoShortDecimals(const char* p0, const char* end0, const char* p1,
                                                   const char* end1, double& value0, double& value1,
                                                   const VectorConstants& k) {
  if (readTwoShortDecimalsWhole(p0, end0, p1, end1, value0, value1, k)) [[likely]]
    return true;
  const bool read0 = readShortDecimal<false>(p0, end0, value0, k);
  return readShortDecimal<false>(p1, end1, value1, k) & read0;
}

// The end of the mantissa of a field of readLongDecimal that ends at `end`, and the exponent
// behind it. Any other exponent stays in the field, which the reading then refuses.
inline const char* longDecimalMantissaEnd(const char* end, std::int64_t& exponent) {
  exponent = 0;
  if ((end[-4] | 0x20) == 'e' && twoDigitExponent(end, exponent)) [[unlikely]] {
    return end - 4;
  }
  return end;
}

// Fields of other forms go to the reader of any form, but for the exponent that most writers of
// doubles give, a mark, a sign and two digits ("e-05"): told by the field's fourth byte from the
// end before the reading, with a branch that is decided early, it leaves the mantissa in front of
// it to the same steps as the other fields. A column of doubles in shortest form, one field in
// six with such an exponent, parses 1.1x faster than with the reader of any form on each of them
// after a reading that failed.
[[VELOPLOT_AVX2]] inline bool readLongDecimal(const char* p, const char* end, double& value,
                                              const VectorConstants& k) {
  std::int64_t exponent;
  const char* const mantissaEnd = longDecimalMantissaEnd(end, exponent);
  const LongDecimalSums sums = sumLongDecimal(p, mantissaEnd, exponent, k);
  if (sums.read && longDecimalValue(p, end, sums, value)) [[likely]]
    return true;
  return readAnyForm<false>(p, end, value, k);
}

// Both fields as readLongDecimal reads each, both summed before either is converted: the
// conversion's branch on the mantissa's length, mispredicted where a column mixes mantissas of up
// to 19 digits and longer ones, then no longer discards the second field's sums (long parses
// 1.04x-1.05x faster).
[[VELOPLOT_AVX2]] inline bool readTwoLongDecimals(const char* p0, const char* end0, const char* p1,
                                                  const char* end1, double& value0, double& value1,
                                                  const VectorConstants& k) {
  std::int64_t exponent0;
  std::int64_t exponent1;
  const char* const mantissaEnd0 = longDecimalMantissaEnd(end0, exponent0);
  const char* const mantissaEnd1 = longDecimalMantissaEnd(end1, exponent1);
  const LongDecimalSums sums0 = sumLongDecimal(p0, mantissaEnd0, exponent0, k);
  const LongDecimalSums sums1 = sumLongDecimal(p1, mantissaEnd1, exponent1, k);
  if (sums0.read & sums1.read) [[likely]] {
    // Where a sum has no finite double, the reader of any form has none either.
    const bool read0 = longDecimalValue(p0, end0, sums0, value0);
    return longDecimalValue(p1, end1, sums1, value1) & read0;
  }
  const bool read0 = readLongDecimal(p0, end0, value0, k);
  return readLongDecimal(p1, end1, value1, k) & read0;
}

// The field as `reader` reads it.
[[VELOPLOT_AVX2]] inline bool readWith(VectorReader reader, const char* p, const char* end,
                                       double& value, const VectorConstants& k) {
  switch (reader) {
    case VectorReader::ShortInteger:
      return readShortInteger(p, end, value);
    case VectorReader::LongInteger:
      return readLongInteger(p, end, value, k);
    case VectorReader::ShortDecimal:
      return readShortDecimal<false>(p, end, value, k);
    case VectorReader::ShortDecimalBlanks:
      return readShortDecimal<true>(p, end, value, k);
    case VectorReader::LongDecimal:
      return readLongDecimal(p, end, value, k);
    case VectorReader::AnyForm:
      return readAnyForm<false>(p, end, value, k);
    case VectorReader::AnyFormBlanks:
      return readAnyForm<true>(p, end, value, k);
  }
  return false;
}

}  // namespace number_scan

#endif
