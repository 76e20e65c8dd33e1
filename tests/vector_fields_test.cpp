// The vector field readers against the plain one, field by field, over a million generated
// fields of every length up to 40 bytes: the same verdict and the same bits, for each reader and
// its variant with blanks, with arbitrary bytes around the field, and the same bits wherever the
// short decimal reader read late takes a field; and the readers of two short or two long decimals
// at once over a million pairs each. Their arithmetic for long mantissas against the standard
// library's conversion, on numbers near halfway between doubles.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "data/number_scan.h"
#include "data/number_scan_avx2.h"
#include "data/number_scan_avx512.h"

#if defined(__x86_64__)

namespace {

using number_scan::VectorConstants;

using Rng = std::mt19937_64;

// Pieces that fields are made of, weighted toward numbers but with every byte that a reader must
// refuse or that ends a number early.
std::string randomField(Rng& rng) {
  static constexpr std::array<std::string_view, 16> kPieces = {
      "0", "5", "9", "12345678", "0000", ".", "-", "+", "e", "E", " ", "\t", "x", "\r", "e-", "E+"};
  static constexpr std::array<int, 16> kWeights = {8, 20, 8, 6, 2, 5, 3, 1, 2, 1, 2, 1, 1, 1, 2, 1};
  static std::discrete_distribution<int> piece(kWeights.begin(), kWeights.end());
  std::string field;
  const int pieces = std::uniform_int_distribution<int>(0, 14)(rng);
  for (int i = 0; i < pieces && field.size() < 40; ++i) field += kPieces[piece(rng)];
  return field.substr(0, 40);
}

// A valid number of a given shape, so that every length and form is reached often.
std::string randomNumber(Rng& rng) {
  std::uniform_int_distribution<int> digit(0, 9);
  std::string number = std::bernoulli_distribution(0.4)(rng) ? "-" : "";
  const int integerDigits = std::uniform_int_distribution<int>(0, 20)(rng);
  const int fractionDigits = std::uniform_int_distribution<int>(-1, 20)(rng);
  for (int i = 0; i < integerDigits; ++i) number += static_cast<char>('0' + digit(rng));
  if (fractionDigits >= 0 || integerDigits == 0) number += '.';
  for (int i = 0; i < std::max(fractionDigits, integerDigits == 0 ? 1 : 0); ++i) {
    number += static_cast<char>('0' + digit(rng));
  }
  if (std::bernoulli_distribution(0.3)(rng)) {
    number += std::bernoulli_distribution(0.5)(rng) ? 'e' : 'E';
    const int sign = std::uniform_int_distribution<int>(0, 2)(rng);
    if (sign > 0) number += sign == 1 ? '-' : '+';
    for (int i = std::uniform_int_distribution<int>(1, 4)(rng); i > 0; --i) {
      number += static_cast<char>('0' + digit(rng));
    }
  }
  if (std::bernoulli_distribution(0.2)(rng)) number = " " + number;
  if (std::bernoulli_distribution(0.2)(rng)) number += "\t ";
  return number;
}

// An integer of 1 to 21 digits, around the 19 that the long integer reader takes and the 2^64
// beyond them, now and then with leading zeros or blanks.
std::string randomInteger(Rng& rng) {
  std::string number = std::bernoulli_distribution(0.4)(rng) ? "-" : "";
  if (std::bernoulli_distribution(0.1)(rng)) number += "000";
  const int digits = std::uniform_int_distribution<int>(1, 21)(rng);
  for (int i = 0; i < digits; ++i) number += static_cast<char>('0' + rng() % 10);
  if (std::bernoulli_distribution(0.05)(rng)) number += ' ';
  return number.substr(0, 22);
}

using number_scan::VectorReader;

[[VELOPLOT_AVX2]] bool readWith(VectorReader reader, const char* p, const char* end,
                                double& value) {
  return number_scan::readWith(reader, p, end, value, number_scan::vectorConstants());
}

bool sameBits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// The short decimal reader that leaves the fields it refuses for later, with or without blanks.
template <bool kBlanks>
[[VELOPLOT_AVX2]] bool readShortDecimalOnly(const char* p, const char* end, double& value) {
  return number_scan::readShortDecimalOnly<kBlanks>(p, end, value, number_scan::vectorConstants());
}

// The field (two of them with the comma between, at most 104 bytes) in a buffer with the
// readers' padding around it, filled with digits and separators that a reader overrunning the
// field would take in.
struct PaddedField {
  std::array<char, 64 + 104 + 64> bytes{};
  const char* begin;
  const char* end;

  PaddedField(std::string_view field, Rng& rng) {
    static constexpr std::string_view kFill = "0123456789.-e, \n";
    for (char& byte : bytes) byte = kFill[rng() % kFill.size()];
    char* const start = bytes.data() + 64;
    std::memcpy(start, field.data(), field.size());
    // The reader's caller cuts fields at separators: the byte behind one is one.
    start[field.size()] = ',';
    begin = start;
    end = start + field.size();
  }
};

TEST(VectorFields, AgreeWithThePlainReaderOnEveryField) {
  if (!number_scan::processorHasVectorReaders()) GTEST_SKIP() << "no AVX2 on this processor";
  Rng rng(20261209);
  int failures = 0;
  for (int i = 0; i < 1'000'000 && failures < 10; ++i) {
    const std::string field =
        i % 3 == 0 ? randomField(rng) : (i % 3 == 1 ? randomNumber(rng) : randomInteger(rng));
    const PaddedField padded(field, rng);
    double expected = 0;
    const bool expectedOk = number_scan::readPlainField(padded.begin, padded.end, expected);
    for (const VectorReader reader :
         {VectorReader::ShortInteger, VectorReader::LongInteger, VectorReader::ShortDecimal,
          VectorReader::ShortDecimalBlanks, VectorReader::LongDecimal, VectorReader::AnyForm,
          VectorReader::AnyFormBlanks}) {
      double value = 0;
      const bool ok = readWith(reader, padded.begin, padded.end, value);
      if (ok == expectedOk && (!ok || sameBits(value, expected))) {
        continue;
      }
      ++failures;
      ADD_FAILURE() << "reader " << static_cast<int>(reader) << " on \"" << field
                    << "\": " << (ok ? std::to_string(value) : "refused") << ", the plain reader "
                    << (expectedOk ? std::to_string(expected) : "refused");
    }
    // What it takes, it reads as the plain reader does; the rest goes to the reader of any form.
    for (const auto reader : {readShortDecimalOnly<false>, readShortDecimalOnly<true>}) {
      double value = 0;
      if (!reader(padded.begin, padded.end, value) || (expectedOk && sameBits(value, expected))) {
        continue;
      }
      ++failures;
      ADD_FAILURE() << "the short decimal reader read late on \"" << field
                    << "\": " << std::to_string(value) << ", the plain reader "
                    << (expectedOk ? std::to_string(expected) : "refused");
    }
  }
}

using PairReader = bool (*)(const char* p0, const char* end0, const char* p1, const char* end1,
                            double& value0, double& value1);

[[VELOPLOT_AVX2]] bool readTwoShort(const char* p0, const char* end0, const char* p1,
                                    const char* end1, double& value0, double& value1) {
  return number_scan::readTwoShortDecimals(p0, end0, p1, end1, value0, value1,
                                           number_scan::vectorConstants());
}

[[VELOPLOT_AVX2]] bool readTwoLong(const char* p0, const char* end0, const char* p1,
                                   const char* end1, double& value0, double& value1) {
  return number_scan::readTwoLongDecimals(p0, end0, p1, end1, value0, value1,
                                          number_scan::vectorConstants());
}

// Mostly fields of at most 8 bytes, which the pair takes whole, cut from numbers and from other
// fields; now and then a longer one, which sends both fields to the reader of one.
std::string randomShortField(Rng& rng) {
  const std::string field = rng() % 2 == 0 ? randomNumber(rng) : randomField(rng);
  return rng() % 8 == 0 ? field : field.substr(0, 1 + rng() % 8);
}

// A short decimal as tables of short columns have them: an optional '-', 1 to 4 digits and now and
// then a point with up to 3 more.
std::string randomShortDecimalText(Rng& rng) {
  std::string number = rng() % 3 == 0 ? "-" : "";
  for (int i = 1 + static_cast<int>(rng() % 4); i > 0; --i)
    number += static_cast<char>('0' + rng() % 10);
  if (rng() % 2 == 0) {
    number += '.';
    for (int i = static_cast<int>(rng() % 4); i > 0; --i)
      number += static_cast<char>('0' + rng() % 10);
  }
  return number;
}

// Mostly decimals of 1 to 32 digits with a point anywhere or none, now and then with an exponent
// of a sign and two digits, as columns of doubles written in full have them; now and then any
// other field.
std::string randomLongDecimalField(Rng& rng) {
  if (rng() % 8 == 0) return rng() % 2 == 0 ? randomNumber(rng) : randomField(rng);
  std::string number = rng() % 3 == 0 ? "-" : "";
  const auto digits = static_cast<int>(1 + rng() % 32);
  const auto point = static_cast<int>(rng() % (digits + 2));
  for (int i = 0; i < digits; ++i) {
    if (i == point) number += '.';
    number += static_cast<char>('0' + rng() % 10);
  }
  if (point == digits) number += '.';
  if (rng() % 6 == 0) {
    number += rng() % 2 == 0 ? "e-" : "E+";
    number += std::to_string(10 + rng() % 90);
  }
  return number;
}

// Both fields of every pair read as the plain reader reads each, or both refused where it refuses
// either.
void expectPairsReadAsEachAlone(PairReader readPair, std::string (*randomPairField)(Rng&),
                                Rng::result_type seed) {
  Rng rng(seed);
  int failures = 0;
  for (int i = 0; i < 1'000'000 && failures < 10; ++i) {
    const std::string first = randomPairField(rng);
    const std::string second = randomPairField(rng);
    const PaddedField padded(first + "," + second, rng);
    const char* const end0 = padded.begin + first.size();
    double expected0 = 0;
    double expected1 = 0;
    const bool firstOk = number_scan::readPlainField(padded.begin, end0, expected0);
    const bool expectedOk = number_scan::readPlainField(end0 + 1, padded.end, expected1) && firstOk;
    double value0 = 0;
    double value1 = 0;
    const bool ok = readPair(padded.begin, end0, end0 + 1, padded.end, value0, value1);
    if (ok == expectedOk && (!ok || (sameBits(value0, expected0) && sameBits(value1, expected1)))) {
      continue;
    }
    ++failures;
    ADD_FAILURE() << "\"" << first << "\" and \"" << second << "\": "
                  << (ok ? std::to_string(value0) + " and " + std::to_string(value1) : "refused")
                  << ", the plain reader "
                  << (expectedOk ? std::to_string(expected0) + " and " + std::to_string(expected1)
                                 : "refused");
  }
}

TEST(VectorFields, TwoShortDecimalsAreReadAsEachAlone) {
  if (!number_scan::processorHasVectorReaders()) GTEST_SKIP() << "no AVX2 on this processor";
  expectPairsReadAsEachAlone(readTwoShort, randomShortField, 20261210);
}

TEST(VectorFields, TwoLongDecimalsAreReadAsEachAlone) {
  if (!number_scan::processorHasVectorReaders()) GTEST_SKIP() << "no AVX2 on this processor";
  expectPairsReadAsEachAlone(readTwoLong, randomLongDecimalField, 20261211);
}

[[VELOPLOT_AVX2]] bool pairTakes(const std::string& field) {
  const char* const end = field.data() + field.size();
  double ignored = 0;
  return number_scan::readTwoShortDecimalsWhole(field.data(), end, field.data(), end, ignored,
                                                ignored, number_scan::vectorConstants());
}

[[VELOPLOT_AVX2]] bool shortIntegerTakes(const std::string& field) {
  double ignored = 0;
  return number_scan::readShortIntegerWhole(field.data(), field.data() + field.size(), ignored);
}

template <bool kIntegers>
[[VELOPLOT_AVX512]] const char* readEight(const char* p, bool endsLine, double* const* out,
                                          std::size_t row) {
  return number_scan::readEightShortNumbers<kIntegers>(p, endsLine, out, row);
}

// An optional '-' and 1 to 8 digits.
std::string randomShortIntegerText(Rng& rng) {
  std::string number = rng() % 3 == 0 ? "-" : "";
  for (int i = 1 + static_cast<int>(rng() % 8); i > 0; --i)
    number += static_cast<char>('0' + rng() % 10);
  return number;
}

// Eight fields cut as for the pair (with kIntegers, as for the short integer reader), each ended
// by a comma, or a line feed now and then (which the reader of eight takes only after the eighth,
// and only where the caller says that it ends the line), amid random bytes, written into a random
// row of eight columns. The reader takes them only where all eight separators lie in the 64 bytes
// it loads and every field has at most 8 bytes.
template <bool kIntegers>
void expectEightReadAsEachAlone(std::uint64_t seed) {
  Rng rng(seed);
  int failures = 0;
  int taken = 0;
  constexpr int kCases = 300'000;
  for (int i = 0; i < kCases && failures < 10; ++i) {
    std::array<std::string, 8> fields;
    std::array<char, 8> separators;
    std::string text;
    for (int k = 0; k < 8; ++k) {
      fields[k] = rng() % 4 == 0 ? randomShortField(rng)
                  : kIntegers    ? randomShortIntegerText(rng)
                                 : randomShortDecimalText(rng);
      separators[k] = rng() % 40 == 0 ? '\n' : ',';
      text += fields[k] + separators[k];
    }
    const bool endsLine = rng() % 2 == 0;
    bool expectedOk = separators[7] == (endsLine ? '\n' : ',') && text.size() <= 64;
    std::array<double, 8> expected{};
    for (int k = 0; k < 8; ++k) {
      expectedOk &= (k == 7 || separators[k] == ',') && fields[k].size() <= 8 &&
                    (kIntegers ? shortIntegerTakes(fields[k]) : pairTakes(fields[k])) &&
                    number_scan::readPlainField(fields[k].data(),
                                                fields[k].data() + fields[k].size(), expected[k]);
    }
    static constexpr std::string_view kFill = "0123456789.-e, \n";
    std::array<char, 32 + 8 * 40 + 64> bytes{};
    for (char& byte : bytes) byte = kFill[rng() % kFill.size()];
    std::memcpy(bytes.data() + 32, text.data(), text.size());
    constexpr double kUnwritten = -12345.678;
    std::array<std::array<double, 4>, 8> columns;
    std::array<double*, 8> out;
    for (int k = 0; k < 8; ++k) {
      columns[k].fill(kUnwritten);
      out[k] = columns[k].data();
    }
    const std::size_t row = rng() % 4;
    const char* const separator =
        readEight<kIntegers>(bytes.data() + 32, endsLine, out.data(), row);
    bool right = (separator != nullptr) == expectedOk;
    for (int k = 0; k < 8 && right; ++k) {
      for (std::size_t r = 0; r < 4; ++r) {
        const bool written = separator != nullptr && r == row;
        right &= sameBits(columns[k][r], written ? expected[k] : kUnwritten);
      }
    }
    if (separator != nullptr) right &= separator == bytes.data() + 32 + text.size() - 1;
    taken += expectedOk;
    if (right) continue;
    ++failures;
    ADD_FAILURE() << "\"" << text << "\"" << (endsLine ? " ending the line" : "") << ": "
                  << (separator != nullptr ? "taken" : "refused") << ", expected "
                  << (expectedOk ? "taken" : "refused");
  }
  // Enough groups must be taken whole for their values to be checked.
  EXPECT_GT(taken, kCases / 20);
}

TEST(VectorFields, EightShortDecimalsAreReadAsEachAlone) {
  if (!number_scan::processorHasEightFieldReader()) GTEST_SKIP() << "no AVX-512 VBMI2 here";
  expectEightReadAsEachAlone<false>(20261214);
}

TEST(VectorFields, EightShortIntegersAreReadAsEachAlone) {
  if (!number_scan::processorHasEightFieldReader()) GTEST_SKIP() << "no AVX-512 VBMI2 here";
  expectEightReadAsEachAlone<true>(20261215);
}

// The double nearest to a decimal text, by the standard library.
double nearest(const std::string& text) {
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

using Wide = unsigned __int128;

// A whole number within a few units of the midpoint of two neighbouring doubles times 10^m, of
// 19 digits: an odd multiple of half an ulp, times 5^m, shifted into [10^18, 10^19).
std::uint64_t nearMidpoint(Rng& rng, unsigned m) {
  Wide scaled = ((rng() >> 10) | (std::uint64_t{1} << 53)) | 1;
  for (unsigned i = 0; i < m; ++i) scaled *= 5;
  const Wide low = Wide{1000000000000000000};
  while (scaled < low) scaled <<= 1;
  while (scaled >= 10 * low) scaled >>= 1;
  const auto delta = static_cast<std::int64_t>(rng() % 5) - 2;
  return static_cast<std::uint64_t>(scaled) + static_cast<std::uint64_t>(delta);
}

// mantissa / 10^m, rounded by the wide product with its bounds, or false.
[[VELOPLOT_AVX2]] bool quotient(std::uint64_t mantissa, unsigned m, bool negative, double& value) {
  return number_scan::boundedProduct(mantissa, -static_cast<std::int64_t>(m), negative, value);
}

[[VELOPLOT_AVX2]] std::uint64_t tenths(std::uint64_t n, unsigned k) {
  return number_scan::tenthsOf(n, k);
}

// Every quotient the bounded product gives is the one of every text that starts with the
// mantissa's digits, whole or followed by more; near midpoints it may only refuse.
TEST(VectorFields, BoundedProductsRoundAsTheirTextDoes) {
  if (!number_scan::processorHasVectorReaders()) GTEST_SKIP() << "no AVX2 on this processor";
  Rng rng(1209);
  int failures = 0;
  int decidedAtRandom = 0;
  int cuttableAtRandom = 0;
  constexpr int kCases = 400'000;
  // That of 20 digits the readers make before they cut mantissas to 19.
  constexpr std::uint64_t kLargestMantissa = 18439999999999999999u;
  for (int i = 0; i < kCases && failures < 10; ++i) {
    const bool atRandom = i % 2 == 0;
    const auto m = static_cast<unsigned>(rng() % 28);
    const std::uint64_t mantissa = atRandom ? rng() % kLargestMantissa + 1 : nearMidpoint(rng, m);
    const bool negative = i % 3 == 0;
    double value = 0;
    const bool decided = quotient(mantissa, m, negative, value);
    // The readers cut only numbers longer than 19 digits, to mantissas of at least 10^18.
    const bool mayBeCut = mantissa >= 1000000000000000000u;
    cuttableAtRandom += atRandom && mayBeCut;
    decidedAtRandom += atRandom && mayBeCut && decided;
    if (!decided) continue;
    const std::string sign = negative ? "-" : "";
    const std::string digits = sign + std::to_string(mantissa);
    std::vector<std::string> texts = {digits + "e-" + std::to_string(m)};
    if (mayBeCut) {
      for (const char* more : {"0001", "5", "9999"}) {
        texts.push_back(digits + more + "e-" + std::to_string(m + std::strlen(more)));
      }
    }
    for (const std::string& text : texts) {
      if (sameBits(value, nearest(text))) continue;
      ++failures;
      ADD_FAILURE() << text << ": " << value << ", the standard library " << nearest(text);
    }
  }
  // Nearly every number decides by the product (about 1 in 200 lies too near a boundary); the
  // rest take the slow way.
  EXPECT_GT(decidedAtRandom, cuttableAtRandom * 99 / 100);
}

[[VELOPLOT_AVX2]] number_scan::SplitNumber split(std::uint64_t n) {
  return number_scan::splitNumber(n);
}

TEST(VectorFields, WholeNumbersOfSixtyFourBits) {
  if (!number_scan::processorHasVectorReaders()) GTEST_SKIP() << "no AVX2 on this processor";
  constexpr std::uint64_t kHalf = std::uint64_t{1} << 63;
  constexpr std::uint64_t kLargest = ~std::uint64_t{0} - 2048;
  std::vector<std::uint64_t> numbers = {0,
                                        1,
                                        (std::uint64_t{1} << 53) + 1,
                                        (std::uint64_t{1} << 62) - 1,
                                        kHalf / 2,
                                        kHalf - 1,
                                        kHalf - 512,
                                        kHalf - 513,
                                        kHalf,
                                        kHalf + 1,
                                        kHalf + 1024,
                                        kHalf + 1025,
                                        kLargest};
  Rng rng(63);
  for (int i = 0; i < 100'000; ++i) numbers.push_back(std::min(rng() >> (rng() % 64), kLargest));
  for (const std::uint64_t n : numbers) {
    const auto [high, low] = split(n);
    ASSERT_EQ(std::bit_cast<std::uint64_t>(high),
              std::bit_cast<std::uint64_t>(static_cast<double>(n)))
        << n;
    ASSERT_EQ(static_cast<Wide>(high) + static_cast<Wide>(static_cast<std::int64_t>(low)), n) << n;
  }
  // Mantissas around 2^63, where the nearest double is 2^63 itself, and at the largest one.
  for (const std::uint64_t mantissa : {kHalf - 1, kHalf - 256, kHalf - 512, kHalf - 513, kHalf,
                                       kHalf + 1, std::uint64_t{18439999999999999999u}}) {
    for (unsigned m = 0; m <= 27; ++m) {
      double value = 0;
      if (!quotient(mantissa, m, false, value)) continue;
      for (const char* more : {"", "5"}) {
        const std::string text =
            std::to_string(mantissa) + more + "e-" + std::to_string(m + std::strlen(more));
        EXPECT_EQ(std::bit_cast<std::uint64_t>(value), std::bit_cast<std::uint64_t>(nearest(text)))
            << text;
      }
    }
  }
}

TEST(VectorFields, TenthsByMultiplication) {
  if (!number_scan::processorHasVectorReaders()) GTEST_SKIP() << "no AVX2 on this processor";
  Rng rng(54);
  constexpr std::uint64_t kLimit = std::uint64_t{1} << 54;
  for (unsigned k = 0; k <= 16; ++k) {
    const std::uint64_t power = number_scan::kIntegerPowersOfTen[k];
    std::vector<std::uint64_t> numbers = {0, 1, power - 1, power, power + 1, kLimit - 1};
    for (int i = 0; i < 20'000; ++i) {
      const std::uint64_t multiple = (rng() % (kLimit / power)) * power;
      numbers.insert(numbers.end(), {rng() % kLimit, multiple, multiple + power - 1});
      if (multiple > 0) numbers.push_back(multiple - 1);
    }
    for (const std::uint64_t n : numbers) {
      if (n >= kLimit) continue;
      ASSERT_EQ(tenths(n, k), n / power) << n << " / 10^" << k;
    }
  }
}

}  // namespace

#endif
