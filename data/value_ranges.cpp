#include "data/value_ranges.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

DoublePair loadPair(const double* values) {
  DoublePair pair;
  std::memcpy(&pair, values, sizeof pair);
  return pair;
}

#if defined(__x86_64__)
// Four lanes a register, where the processor has them: the same lanes in half the instructions.
[[gnu::target("avx")]] void extendRangeFourWide(RunningRange& range, const double* values,
                                                std::size_t count) {
  double* const low = reinterpret_cast<double*>(range.low);
  double* const high = reinterpret_cast<double*>(range.high);
  double* const unordered = reinterpret_cast<double*>(range.unordered);
  __m256d lowFirst = _mm256_loadu_pd(low), lowSecond = _mm256_loadu_pd(low + 4);
  __m256d highFirst = _mm256_loadu_pd(high), highSecond = _mm256_loadu_pd(high + 4);
  __m256d unorderedFirst = _mm256_loadu_pd(unordered);
  __m256d unorderedSecond = _mm256_loadu_pd(unordered + 4);
  for (std::size_t i = 0; i + kRangeStride <= count; i += kRangeStride) {
    const __m256d first = _mm256_loadu_pd(values + i);
    const __m256d second = _mm256_loadu_pd(values + i + 4);
    // minpd and maxpd give their second operand unless the first is below or above it.
    lowFirst = _mm256_min_pd(first, lowFirst);
    lowSecond = _mm256_min_pd(second, lowSecond);
    highFirst = _mm256_max_pd(first, highFirst);
    highSecond = _mm256_max_pd(second, highSecond);
    unorderedFirst = _mm256_or_pd(unorderedFirst, _mm256_cmp_pd(first, first, _CMP_NEQ_UQ));
    unorderedSecond = _mm256_or_pd(unorderedSecond, _mm256_cmp_pd(second, second, _CMP_NEQ_UQ));
  }
  _mm256_storeu_pd(low, lowFirst);
  _mm256_storeu_pd(low + 4, lowSecond);
  _mm256_storeu_pd(high, highFirst);
  _mm256_storeu_pd(high + 4, highSecond);
  _mm256_storeu_pd(unordered, unorderedFirst);
  _mm256_storeu_pd(unordered + 4, unorderedSecond);
}

bool processorHasFourWideLanes() {
  // Called while static objects are made, perhaps before the processor's features are read.
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx");
}

const bool processorFourWide = processorHasFourWideLanes();
bool fourWideLanes = processorFourWide;
#endif

}  // namespace

void startRange(RunningRange& range, const double* values, std::size_t count) {
  range.first = values[0];
  for (std::size_t k = 0; k < kRangeLanes; ++k) {
    range.low[k] = range.high[k] = loadPair(values + 2 * k);
    range.unordered[k] = MaskPair{0, 0};
  }
  extendRange(range, values, count);
}

void extendRange(RunningRange& range, const double* values, std::size_t count) {
#if defined(__x86_64__)
  if (fourWideLanes) {
    extendRangeFourWide(range, values, count);
    return;
  }
#endif
  // In locals, which the values, doubles too, cannot alias, so that they stay in registers.
  RunningRange lanes = range;
  for (std::size_t i = 0; i + kRangeStride <= count; i += kRangeStride) {
#pragma GCC unroll 4
    for (std::size_t k = 0; k < kRangeLanes; ++k) {
      const DoublePair x = loadPair(values + i + 2 * k);
      lanes.low[k] = x < lanes.low[k] ? x : lanes.low[k];
      lanes.high[k] = x > lanes.high[k] ? x : lanes.high[k];
      lanes.unordered[k] |= x != x;
    }
  }
  range = lanes;
}

namespace {

// The lanes folded into one range, from the run's first value.
ValueRange foldLanes(const RunningRange& range, bool& sawNaN) {
  double smallest = range.first;
  double largest = range.first;
  for (std::size_t k = 0; k < kRangeLanes; ++k) {
    for (int e = 0; e < 2; ++e) {
      smallest = range.low[k][e] < smallest ? range.low[k][e] : smallest;
      largest = range.high[k][e] > largest ? range.high[k][e] : largest;
      sawNaN |= range.unordered[k][e] != 0;
    }
  }
  return {smallest, largest};
}

ValueRange markNaN(ValueRange range, bool sawNaN) {
  if (sawNaN) range.smallest = std::numeric_limits<double>::quiet_NaN();
  return range;
}

}  // namespace

void setFourWideRanges(bool enabled) {
#if defined(__x86_64__)
  fourWideLanes = enabled && processorFourWide;
#else
  static_cast<void>(enabled);
#endif
}

ValueRange finishRange(const RunningRange& range) {
  bool sawNaN = false;
  const ValueRange folded = foldLanes(range, sawNaN);
  return markNaN(folded, sawNaN);
}

ValueRange rangeOf(const double* values, std::size_t count) {
  bool sawNaN = false;
  ValueRange range{values[0], values[0]};
  const std::size_t strides = count - count % kRangeStride;
  if (strides != 0) {
    RunningRange running;
    startRange(running, values, strides);
    range = foldLanes(running, sawNaN);
  }
  for (std::size_t i = strides; i < count; ++i) {
    const double x = values[i];
    range.smallest = x < range.smallest ? x : range.smallest;
    range.largest = x > range.largest ? x : range.largest;
    sawNaN |= x != x;
  }
  return markNaN(range, sawNaN);
}

std::vector<ValueRange> blockRangesOf(const std::vector<double>& column) {
  std::vector<ValueRange> ranges;
  for (std::size_t start = 0; start < column.size(); start += kRangeBlockRows) {
    const std::size_t count = std::min(kRangeBlockRows, column.size() - start);
    ranges.push_back(rangeOf(column.data() + start, count));
  }
  return ranges;
}

bool coversRows(const std::vector<ValueRange>& ranges, std::size_t rows) {
  return ranges.size() == (rows + kRangeBlockRows - 1) / kRangeBlockRows;
}

bool columnRange(const std::vector<ValueRange>& ranges, double& smallest, double& largest) {
  smallest = largest = 0.0;
  if (ranges.empty()) return true;
  smallest = ranges.front().smallest;
  largest = ranges.front().largest;
  for (const ValueRange& range : ranges) {
    if (range.smallest != range.smallest) return false;
    if (range.smallest < smallest) smallest = range.smallest;
    if (range.largest > largest) largest = range.largest;
  }
  return true;
}
