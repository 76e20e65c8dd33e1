#include "data/value_ranges.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

// Two doubles a register: the compiler turns the comparisons below into packed minimum and
// maximum instructions, which a plain loop over one running minimum cannot use.
using DoublePair = double __attribute__((vector_size(16)));
using MaskPair = std::int64_t __attribute__((vector_size(16)));

constexpr std::size_t kLanes = 4;
constexpr std::size_t kStride = 2 * kLanes;

DoublePair loadPair(const double* values) {
  DoublePair pair;
  std::memcpy(&pair, values, sizeof pair);
  return pair;
}

}  // namespace

ValueRange rangeOf(const double* values, std::size_t count) {
  double smallest = values[0];
  double largest = values[0];
  bool sawNaN = false;
  std::size_t i = 0;
  if (count >= kStride) {
    DoublePair low[kLanes], high[kLanes];
    MaskPair unordered[kLanes];
    for (std::size_t k = 0; k < kLanes; ++k) {
      low[k] = high[k] = loadPair(values + 2 * k);
      unordered[k] = MaskPair{0, 0};
    }
    for (; i + kStride <= count; i += kStride) {
      for (std::size_t k = 0; k < kLanes; ++k) {
        const DoublePair x = loadPair(values + i + 2 * k);
        low[k] = x < low[k] ? x : low[k];
        high[k] = x > high[k] ? x : high[k];
        unordered[k] |= x != x;
      }
    }
    for (std::size_t k = 0; k < kLanes; ++k) {
      for (int e = 0; e < 2; ++e) {
        smallest = low[k][e] < smallest ? low[k][e] : smallest;
        largest = high[k][e] > largest ? high[k][e] : largest;
        sawNaN |= unordered[k][e] != 0;
      }
    }
  }
  for (; i < count; ++i) {
    const double x = values[i];
    smallest = x < smallest ? x : smallest;
    largest = x > largest ? x : largest;
    sawNaN |= x != x;
  }
  if (sawNaN) smallest = std::numeric_limits<double>::quiet_NaN();
  return {smallest, largest};
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
