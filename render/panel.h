// The dimension list drawn at the left of the window: one line per dimension (only the non-Free
// ones with significantOnly), "* " on the selected one, the axis or constraint behind the name.
// 8-bit text, the plus-minus sign as the single byte 0xB1, lines ended by single line feeds.
#pragma once

#include <string>
#include <vector>

#include "app/app_state.h"
#include "scale/dim_scale.h"

inline constexpr char kPlusMinus[] = " \xB1 ";

std::string buildDimensionList(const std::vector<std::string>& names,
                               const std::vector<DimScale>& dims, unsigned selectedDim,
                               bool significantOnly);

// Replaces state.panelText with a text built from the state, and returns it.
const std::string& refreshDimensionList(AppState& state);

// "red", "green", "black", "blue", "magenta" for 0 to 4; "black" for any other index.
const char* tickColorName(unsigned k);
