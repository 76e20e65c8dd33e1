// How a long load shows how far it has come, in the window and on a terminal. Nothing shows
// before the load has lasted a second, so that a small file starts exactly as before; from then
// on the progress is shown anew a few times a second.
#pragma once

#include <cstdint>
#include <string>

#include "render/canvas.h"

// At the reader's 300 to 900 MB/s a slice of 16 MiB takes 20 to 55 ms: short enough for a window
// to answer its input between two slices, long enough that the slices cost nothing measurable.
inline constexpr std::uint64_t kLoadSliceBytes = std::uint64_t{16} << 20;
inline constexpr double kProgressDelaySeconds = 1.0;
inline constexpr double kProgressIntervalSeconds = 0.25;

struct ProgressPacing {
  double lastShownSeconds = -1.0;  // below zero while nothing has been shown
};

// True when the progress is to be shown anew at `elapsedSeconds` since the load began; then it
// counts as shown at that time.
bool progressDue(ProgressPacing& pacing, double elapsedSeconds);
bool progressShown(const ProgressPacing& pacing);

// The share read, as the progress says it: "Loading the data file: 42% read". The percentage is
// rounded down, so that 100% means the whole file.
std::string progressText(double share);

// Where the progress bar lies in the client area, below the one line of text.
inline constexpr int kProgressBarLeft = 0;
inline constexpr int kProgressBarTop = 20;
inline constexpr int kProgressBarWidth = 300;
inline constexpr int kProgressBarHeight = 16;
// The filled part of the bar, 0x00RRGGBB: the blue of the points.
inline constexpr std::uint32_t kProgressFill = 0x0000FF;

// The client area while the data loads, on a canvas already painted white: the text at the
// top-left corner and below it a framed bar filled to the share read.
void paintLoadProgress(Canvas& canvas, int clientWidth, int clientHeight, double share);
