#include "app/load_progress.h"

#include <algorithm>
#include <cmath>

bool progressDue(ProgressPacing& pacing, double elapsedSeconds) {
  if (elapsedSeconds < kProgressDelaySeconds) return false;
  if (progressShown(pacing) &&
      elapsedSeconds - pacing.lastShownSeconds < kProgressIntervalSeconds) {
    return false;
  }
  pacing.lastShownSeconds = elapsedSeconds;
  return true;
}

bool progressShown(const ProgressPacing& pacing) {
  return pacing.lastShownSeconds >= 0;
}

namespace {

int percentOf(double share) {
  if (!(share > 0)) return 0;
  return static_cast<int>(std::floor(std::min(share, 1.0) * 100));
}

}  // namespace

std::string progressText(double share) {
  return "Loading the data file: " + std::to_string(percentOf(share)) + "% read";
}

void paintLoadProgress(Canvas& canvas, int clientWidth, int clientHeight, double share) {
  canvas.drawTextBlock(clientWidth, clientHeight, progressText(share));

  constexpr int kLeft = kProgressBarLeft;
  constexpr int kTop = kProgressBarTop;
  constexpr int kRight = kLeft + kProgressBarWidth - 1;
  constexpr int kBottom = kTop + kProgressBarHeight - 1;
  const std::uintptr_t previous = canvas.selectFramePen();
  canvas.moveTo(kLeft, kTop);
  canvas.lineTo(kRight, kTop);
  canvas.lineTo(kRight, kBottom);
  canvas.lineTo(kLeft, kBottom);
  canvas.lineTo(kLeft, kTop);
  canvas.restorePen(previous);

  // Inside the frame, as many columns as the share of its width, cut to the client area.
  const int filled = (kProgressBarWidth - 2) * percentOf(share) / 100;
  const PixelImage image = canvas.beginPixels();
  if (image.pixels != nullptr) {
    const int right = std::min(kLeft + 1 + filled, std::min(image.width, clientWidth));
    const int bottom = std::min(kBottom, std::min(image.height, clientHeight));
    for (int y = kTop + 1; y < bottom; ++y) {
      std::uint32_t* row = image.pixels + static_cast<std::ptrdiff_t>(y) * image.stride;
      for (int x = kLeft + 1; x < right; ++x) row[x] = 0xFF000000u | kProgressFill;
    }
  }
  canvas.endPixels();
}
