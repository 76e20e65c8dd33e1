#include "scale/dim_scale.h"

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>

#include "fast_float/fast_float.h"

namespace {

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

bool fitsInt32(std::int64_t value) {
  return value >= kInt32Min && value <= kInt32Max;
}

bool isAxis(DimMode mode) {
  return mode == DimMode::XAxis || mode == DimMode::YAxis;
}

std::int64_t gridStepUnits(const DimScale& scale) {
  return static_cast<std::int64_t>(scale.widthFactor) * 20;
}

// The middle tick in units: axes round the center to the grid (an exact half going down,
// negative centers toward zero); every other mode keeps the center.
std::int64_t tickBaseUnits(const DimScale& scale) {
  const std::int64_t centerUnits = scale.centerUnits;
  if (!isAxis(scale.mode)) return centerUnits;
  const std::int64_t d = gridStepUnits(scale);
  const std::int64_t e = centerUnits % d;
  return e > d / 2 ? centerUnits + d - e : centerUnits - e;
}

bool isSound(const DimScale& scale) {
  if (scale.exponent < kMinExponent || scale.exponent > kMaxExponent) return false;
  const std::int64_t base = tickBaseUnits(scale);
  const std::int64_t d = gridStepUnits(scale);
  if (!fitsInt32(base - 2 * d) || !fitsInt32(base + 2 * d)) return false;
  if (!std::isfinite(scale.center) || !std::isfinite(scale.tolerance)) return false;
  if (!std::isfinite(scale.minValue) || !std::isfinite(scale.maxValue)) return false;
  for (double tick : scale.ticks) {
    if (!std::isfinite(tick)) return false;
  }
  return scale.maxValue > scale.minValue;
}

// Derives `candidate` and takes it over only when it is sound.
bool commit(DimScale& scale, DimScale candidate) {
  deriveScale(candidate);
  if (!isSound(candidate)) return false;
  scale = std::move(candidate);
  return true;
}

// A double's truncation toward zero, or nothing when it has no 32-bit value.
bool truncateToInt32(double value, std::int32_t& out) {
  const double truncated = std::trunc(value);
  if (!(truncated >= static_cast<double>(kInt32Min) && truncated <= static_cast<double>(kInt32Max)))
    return false;
  out = static_cast<std::int32_t>(truncated);
  return true;
}

}  // namespace

double powerOfTen(std::int32_t exponent) {
  // Parsed rather than computed, so that every platform's runtime gives the same bits.
  const std::string text = "1e" + std::to_string(exponent);
  double value = 0;
  fast_float::from_chars(text.data(), text.data() + text.size(), value);
  // The C library's pow rounds these two up where parsing rounds down; scales computed by other
  // tools with pow then agree with ours to the bit.
  if (exponent == 23 || exponent == 210) value = std::nextafter(value, DBL_MAX);
  return value;
}

double unitSize(const DimScale& scale) {
  return powerOfTen(scale.exponent - 2);
}

void findRange(const std::vector<double>& values, double& smallest, double& largest) {
  smallest = largest = values.empty() ? 0.0 : values.front();
  for (double value : values) {
    if (!(value >= smallest)) smallest = value;
    if (value > largest) largest = value;
  }
}

DimScale autoScale(const std::vector<double>& values) {
  double smallest = 0;
  double largest = 0;
  findRange(values, smallest, largest);
  return autoScale(smallest, largest);
}

namespace {

// The decimal scale whose width first covers `range`: exponent, widthFactor and step, with step
// kept equal to 10^exponent by repeated multiplication and division, as the arithmetic of the
// center depends on it.
void chooseScale(double range, std::int32_t& exponent, std::int32_t& widthFactor, double& step) {
  exponent = 0;
  step = 1.0;
  if (range > 1.0) {
    while (step < range && exponent < kMaxExponent) {
      ++exponent;
      step *= 10.0;
    }
    --exponent;
    step /= 10.0;
  } else {
    while (step > range) {
      --exponent;
      step /= 10.0;
    }
  }
  if (exponent < kMinExponent) {
    exponent = kMinExponent;
    widthFactor = 1;
    step = powerOfTen(kMinExponent);
    return;
  }
  const int m = static_cast<int>(range / step);
  if (m == 1) {
    widthFactor = 2;
  } else if (m >= 2 && m <= 4) {
    widthFactor = 5;
  } else {
    widthFactor = 1;
    ++exponent;
    step *= 10.0;
  }
}

// The middle of the data cut toward zero to a multiple of 10 units, or nothing when that count
// has no 32-bit value at this step.
bool centerUnitsFor(double middle, double step, std::int32_t& centerUnits) {
  std::int32_t tens = 0;
  if (!truncateToInt32(middle / step * 10.0, tens) || !fitsInt32(std::int64_t{tens} * 10))
    return false;
  centerUnits = tens * 10;
  return true;
}

}  // namespace

DimScale autoScale(double smallest, double largest) {
  double range = std::fabs(largest - smallest) * 1.1;
  if (range == 0 || std::isnan(range)) range = 1.0;
  if (range > DBL_MAX) range = DBL_MAX;

  DimScale scale;
  double step = 1.0;
  chooseScale(range, scale.exponent, scale.widthFactor, step);
  scale.toleranceUnits = scale.widthFactor * 10;
  scale.mode = DimMode::Free;

  double middle = (smallest + largest) / 2.0;
  if (std::isinf(middle)) middle = smallest / 2.0 + largest / 2.0;
  if (std::isnan(middle)) middle = 0.0;

  // Data far from zero relative to its spread: the scale gets coarser until its center has a
  // 32-bit count of units and its ends are finite.
  for (;;) {
    if (centerUnitsFor(middle, step, scale.centerUnits) && commit(scale, scale)) return scale;
    if (scale.exponent >= kMaxExponent) break;
    ++scale.exponent;
    step *= 10.0;
  }
  // At the coarsest exponent only the narrowest width has finite ends; the center then moves
  // toward zero until they are finite, which they are at zero.
  scale.widthFactor = 1;
  scale.toleranceUnits = 10;
  if (!centerUnitsFor(middle, step, scale.centerUnits)) scale.centerUnits = 0;
  while (!commit(scale, scale) && scale.centerUnits != 0) {
    scale.centerUnits -= scale.centerUnits > 0 ? 10 : -10;
  }
  return scale;
}

void deriveScale(DimScale& scale) {
  const double unit = unitSize(scale);
  scale.center = scale.centerUnits * unit;
  scale.tolerance = scale.toleranceUnits * unit;
  const double half = scale.widthFactor * unit * 50.0;
  scale.minValue = scale.center - half;
  scale.maxValue = half + scale.center;

  const std::int64_t d = gridStepUnits(scale);
  const std::int64_t base = tickBaseUnits(scale);
  scale.ticks.clear();
  for (std::int64_t i = 0; i < 5; ++i) {
    scale.ticks.push_back(static_cast<double>((i - 2) * d + base) * unit);
  }
}

bool shiftCenter(DimScale& scale, int direction) {
  const std::int64_t centerUnits =
      std::int64_t{scale.centerUnits} + std::int64_t{direction} * scale.widthFactor;
  if (!fitsInt32(centerUnits)) return false;
  DimScale candidate = scale;
  candidate.centerUnits = static_cast<std::int32_t>(centerUnits);
  return commit(scale, candidate);
}

bool widenScale(DimScale& scale) {
  DimScale candidate = scale;
  if (scale.widthFactor == 1) {
    candidate.widthFactor = 2;
  } else if (scale.widthFactor == 2) {
    candidate.widthFactor = 5;
  } else {
    candidate.widthFactor = 1;
    candidate.exponent = scale.exponent + 1;
    candidate.centerUnits = scale.centerUnits / 10;
    candidate.toleranceUnits = scale.toleranceUnits / 10;
  }
  if (candidate.exponent > kMaxExponent) return false;
  return commit(scale, candidate);
}

bool narrowScale(DimScale& scale) {
  DimScale candidate = scale;
  if (scale.widthFactor == 5) {
    candidate.widthFactor = 2;
  } else if (scale.widthFactor == 2) {
    candidate.widthFactor = 1;
  } else {
    const std::int64_t centerUnits = std::int64_t{scale.centerUnits} * 10;
    const std::int64_t toleranceUnits = std::int64_t{scale.toleranceUnits} * 10;
    if (scale.exponent <= kMinExponent || !fitsInt32(centerUnits) || !fitsInt32(toleranceUnits))
      return false;
    candidate.widthFactor = 5;
    candidate.exponent = scale.exponent - 1;
    candidate.centerUnits = static_cast<std::int32_t>(centerUnits);
    candidate.toleranceUnits = static_cast<std::int32_t>(toleranceUnits);
  }
  return commit(scale, candidate);
}

bool growTolerance(DimScale& scale) {
  if (!(scale.toleranceUnits < scale.widthFactor * 100)) return false;
  DimScale candidate = scale;
  candidate.toleranceUnits += scale.widthFactor;
  return commit(scale, candidate);
}

bool shrinkTolerance(DimScale& scale) {
  if (!(scale.toleranceUnits > 1)) return false;
  DimScale candidate = scale;
  candidate.toleranceUnits -= scale.widthFactor;
  return commit(scale, candidate);
}

bool recenterScale(DimScale& scale, double value) {
  DimScale candidate = scale;
  if (!truncateToInt32(value / unitSize(scale), candidate.centerUnits)) return false;
  return commit(scale, candidate);
}
