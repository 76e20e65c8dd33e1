// The window's paint, shared by every platform: the help text, else the message, else the panel
// text; then, only when the area being repainted reaches past x = 300, the frame, grid and labels
// and the points.
#pragma once

#include <string_view>

#include "app/app_state.h"
#include "render/canvas.h"

// Remembers the client size in the state (the double-click reads it) and draws. `repaintRight`
// is the right edge of the area being repainted.
void paintClientArea(AppState& state, Canvas& canvas, int clientWidth, int clientHeight,
                     int repaintRight);

// The text the paint draws at the top-left corner: help, message or panel text.
std::string_view windowText(const AppState& state);
