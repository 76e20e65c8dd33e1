// A derived DimScale from its integer fields, for tests that need a known scale.
#pragma once

#include "scale/dim_scale.h"

inline DimScale scaleOf(std::int32_t exponent, std::int32_t widthFactor, std::int32_t centerUnits,
                        std::int32_t toleranceUnits, DimMode mode = DimMode::Free) {
  DimScale s;
  s.exponent = exponent;
  s.widthFactor = widthFactor;
  s.centerUnits = centerUnits;
  s.toleranceUnits = toleranceUnits;
  s.mode = mode;
  deriveScale(s);
  return s;
}
