// Dimension scales: a decimal scale of widthFactor x 10^exponent, with center and tolerance held
// as whole counts of a unit of 10^(exponent - 2), and the values derived from them.
//
// Contract: after every operation widthFactor is 1, 2 or 5; maxValue - minValue equals
// widthFactor x 10^exponent; ticks holds exactly five values one fifth of the width apart.
// A record is kept sound: every integer the arithmetic forms fits a signed 32-bit int, every
// derived value is finite, maxValue > minValue, and exponent stays within
// [kMinExponent, kMaxExponent]. An operation whose result would break that is refused and leaves
// the record exactly as it was.
#pragma once

#include <cstdint>
#include <vector>

enum class DimMode : std::int32_t { XAxis = 0, YAxis = 1, Free = 2, Band = 3, Multi = 4 };

struct DimScale {
  std::int32_t exponent = 0;
  std::int32_t widthFactor = 1;
  std::int32_t centerUnits = 0;
  std::int32_t toleranceUnits = 0;
  DimMode mode = DimMode::Free;
  double center = 0;
  double tolerance = 0;
  double minValue = 0;
  double maxValue = 0;
  std::vector<double> ticks;
};

// Narrowing stops here so that a unit stays a normal double and a pixel scale stays finite.
inline constexpr std::int32_t kMinExponent = -300;
// Widening stops here: a wider scale no longer has a finite width.
inline constexpr std::int32_t kMaxExponent = 308;

// 10^exponent with the bits of the GNU C library's pow(10, exponent), on every platform.
double powerOfTen(std::int32_t exponent);

// 10^(exponent - 2): the size of one unit of `scale`.
double unitSize(const DimScale& scale);

// The initial, Free scale of a column. An empty column gets the scale of a column of zeros.
DimScale autoScale(const std::vector<double>& values);
DimScale autoScale(double smallest, double largest);

// Smallest and largest value: a value replaces the smallest when it is not >= it (so a NaN
// does), and the largest only when it is strictly greater.
void findRange(const std::vector<double>& values, double& smallest, double& largest);

// Recomputes center, tolerance, minValue, maxValue and ticks from the integer fields and mode.
void deriveScale(DimScale& scale);

// The operations; each returns false when it refused the change (the record is unchanged).
bool shiftCenter(DimScale& scale, int direction);
bool widenScale(DimScale& scale);
bool narrowScale(DimScale& scale);
bool growTolerance(DimScale& scale);
bool shrinkTolerance(DimScale& scale);
bool recenterScale(DimScale& scale, double value);
