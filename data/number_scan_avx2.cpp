#include "data/number_scan_avx2.h"

#if defined(__x86_64__)

namespace number_scan {

namespace {

[[VELOPLOT_AVX2]] bool readAnyFormTrimmed(const char* p, const char* end, double& value) {
  const VectorConstants k = vectorConstants();
  const auto length = static_cast<std::uint64_t>(end - p);
  if (length - 1 < 16) return readAnyFormWhole<false, false>(p, end, value, k);
  return length - 17 < 16 && readAnyFormWhole<false, true>(p, end, value, k);
}

}  // namespace

[[VELOPLOT_AVX2, gnu::noinline]] bool readOtherForm(const char* p, const char* end, double& value) {
  return readOtherField<readAnyFormTrimmed>(p, end, value);
}

}  // namespace number_scan

#endif
