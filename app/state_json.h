// The application state as one JSON object, for scripts and tests. Numbers read back to the
// same double; text bytes above 0x7F are written as \u00XX with the byte's value.
#pragma once

#include <string>

#include "app/app_state.h"

std::string stateToJson(const AppState& state);
