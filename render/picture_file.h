// A picture of the client area in a file: PNG, or a vector picture when the name ends in .svg or
// .pdf (frame, grid and text as vectors, the points as one embedded image).
#pragma once

#include <string>

#include "app/app_state.h"

// Paints the client area of width x height as the window paints it and writes it to `path`.
// The picture is written under a temporary name beside `path` and then renamed, so a failure
// (false, with `error` set) leaves no partly written file and an existing file as it was.
bool writePicture(AppState& state, int width, int height, const std::string& path,
                  std::string& error);
