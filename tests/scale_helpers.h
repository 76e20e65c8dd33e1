// Scales and states with known values, for tests.
#pragma once

#include <string>
#include <utility>

#include "app/app_state.h"
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

// A loaded two-column state, both ranges 0 to 10 with ticks at 1, 3, 5, 7, 9, and one row in the
// middle of both; `panelText` as given.
inline AppState twoColumnState(std::string panelText) {
  AppState state;
  state.names = {"a", "b"};
  state.columns = {{5}, {5}};
  for (const DimMode mode : {DimMode::XAxis, DimMode::YAxis}) {
    DimScale d;
    d.mode = mode;
    d.minValue = 0;
    d.maxValue = 10;
    d.ticks = {1, 3, 5, 7, 9};
    state.dims.push_back(d);
  }
  state.panelText = std::move(panelText);
  return state;
}
