#include "data/number_scan_avx2.h"

#if defined(__x86_64__)

namespace number_scan {

namespace {

// Decimal digits of a value above 0.
[[VELOPLOT_AVX2]] int decimalDigits(std::uint64_t value) {
  const int guess = (static_cast<int>(highestBit(value) + 1) * 1233) >> 12;
  return guess + (value >= kIntegerPowersOfTen[guess]);
}

// Below this, a first part times 10^16 plus the 16 digits behind it fits 64 bits.
inline constexpr std::uint64_t kLargestFirstPart = 1843;

[[VELOPLOT_AVX2]] bool readAnyFormTrimmed(const char* p, const char* end, double& value) {
  const VectorConstants k = vectorConstants();
  const auto length = static_cast<std::uint64_t>(end - p);
  if (length - 1 < 16) return readAnyFormWhole<false, false>(p, end, value, k);
  return length - 17 < 16 && readAnyFormWhole<false, true>(p, end, value, k);
}

}  // namespace

// Exact where the number fits 64 bits; else its 19 leading digits, and whether nonzero digits
// were dropped.
[[VELOPLOT_AVX2, gnu::noinline]] bool longMantissaValue(const char* p, const char* end,
                                                        std::uint64_t first, std::uint64_t last,
                                                        int lastDigits, std::int64_t power,
                                                        bool negative, double& value) {
  if (first <= kLargestFirstPart) {
    return scaledValue(p, end, first * kIntegerPowersOfTen[lastDigits] + last, power, negative,
                       value);
  }
  const int dropped = decimalDigits(first) + lastDigits - 19;
  const std::uint64_t divisor = kIntegerPowersOfTen[dropped];
  const std::uint64_t mantissa = first * kIntegerPowersOfTen[lastDigits - dropped] + last / divisor;
  return truncatedValue(p, end, mantissa, power + dropped, last % divisor != 0, negative, value);
}

[[VELOPLOT_AVX2, gnu::noinline]] bool readOtherForm(const char* p, const char* end, double& value) {
  return readOtherField<readAnyFormTrimmed>(p, end, value);
}

}  // namespace number_scan

#endif
