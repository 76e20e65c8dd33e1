#include "app/load_progress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "app/startup.h"
#include "recording_canvas.h"
#include "temp_file.h"

namespace {

TEST(LoadProgress, NothingInTheFirstSecondThenAFewTimesASecond) {
  ProgressPacing pacing;
  EXPECT_FALSE(progressDue(pacing, 0.0));
  EXPECT_FALSE(progressDue(pacing, 0.999));
  EXPECT_FALSE(progressShown(pacing));
  EXPECT_TRUE(progressDue(pacing, 1.0));
  EXPECT_TRUE(progressShown(pacing));
  EXPECT_FALSE(progressDue(pacing, 1.2));
  EXPECT_TRUE(progressDue(pacing, 1.3));
  // The interval runs from the last time shown, not from the first.
  EXPECT_FALSE(progressDue(pacing, 1.5));
  EXPECT_TRUE(progressDue(pacing, 1.55));
  EXPECT_TRUE(progressDue(pacing, 9.0));
}

TEST(LoadProgress, TextRoundsDownSoThatOnlyTheWholeFileIsAHundred) {
  EXPECT_EQ(progressText(0.0), "Loading the data file: 0% read");
  EXPECT_EQ(progressText(0.4299), "Loading the data file: 42% read");
  EXPECT_EQ(progressText(0.9999), "Loading the data file: 99% read");
  EXPECT_EQ(progressText(1.0), "Loading the data file: 100% read");
  EXPECT_EQ(progressText(1.5), "Loading the data file: 100% read");
  EXPECT_EQ(progressText(-0.5), "Loading the data file: 0% read");
  EXPECT_EQ(progressText(std::nan("")), "Loading the data file: 0% read");
}

int filledColumns(const RecordingCanvas& canvas, int width, int y) {
  int count = 0;
  for (int x = 0; x < width; ++x) count += canvas.pixel(x, y) == (0xFF000000u | kProgressFill);
  return count;
}

TEST(LoadProgress, TextThenAFramedBarFilledToTheShare) {
  RecordingCanvas half(400, 100);
  paintLoadProgress(half, 400, 100, 0.5);
  std::vector<std::string> expected{"drawTextBlock 400 100 Loading the data file: 50% read",
                                    "selectFramePen",
                                    "moveTo 0 20",
                                    "lineTo 299 20",
                                    "lineTo 299 35",
                                    "lineTo 0 35",
                                    "lineTo 0 20",
                                    "restorePen ",
                                    "beginPixels",
                                    "endPixels"};
  expected[7] += std::to_string(RecordingCanvas::kPreviousPen);
  EXPECT_EQ(half.calls(), expected);
  for (int y = 21; y <= 34; ++y) EXPECT_EQ(filledColumns(half, 400, y), 149) << "row " << y;
  EXPECT_EQ(half.pixel(1, 21), 0xFF000000u | kProgressFill);
  EXPECT_EQ(half.pixel(150, 21), RecordingCanvas::kBackground);
  EXPECT_EQ(filledColumns(half, 400, 20), 0);
  EXPECT_EQ(filledColumns(half, 400, 35), 0);

  RecordingCanvas none(400, 100);
  paintLoadProgress(none, 400, 100, 0.0);
  EXPECT_EQ(filledColumns(none, 400, 28), 0);

  RecordingCanvas full(400, 100);
  paintLoadProgress(full, 400, 100, 1.0);
  EXPECT_EQ(filledColumns(full, 400, 28), 298);
  EXPECT_EQ(full.pixel(299, 28), RecordingCanvas::kBackground);
}

TEST(LoadProgress, BarStaysInsideClientAreasSmallerThanItself) {
  for (const auto& [width, height] :
       std::vector<std::pair<int, int>>{{1, 1}, {5, 22}, {150, 25}, {299, 34}, {300, 200}}) {
    RecordingCanvas canvas(width, height);
    paintLoadProgress(canvas, width, height, 1.0);
    // The canvas pads every row: a write past the client area's right edge lands there.
    for (int y = 0; y < height; ++y) {
      for (int pad = 0; pad < RecordingCanvas::kRowPadding; ++pad) {
        ASSERT_EQ(canvas.memory()[y * (width + RecordingCanvas::kRowPadding) + width + pad],
                  RecordingCanvas::kBackground)
            << width << "x" << height << " row " << y;
      }
    }
    const int lastRow = std::min(height - 1, 34);
    if (lastRow >= 21) {
      EXPECT_EQ(filledColumns(canvas, width, lastRow), std::min(width, 299) - 1);
    }
  }
  RecordingCanvas noPixels;
  paintLoadProgress(noPixels, 0, 0, 0.5);
  EXPECT_EQ(noPixels.calls().back(), "endPixels");
}

// The window and veloplot-render read the file in slices; whatever the slices, the state at the
// end must be the one a single read gives, and the share read must only grow.
std::string rowsOfText(int rows, int faultRow) {
  std::string text = "first, second ,third\n";
  for (int i = 1; i <= rows; ++i) {
    text += i == faultRow ? "1,x,3\n"
                          : std::to_string(i % 977) + "." + std::to_string(i % 13) + "," +
                                std::to_string(-i) + ",1e" + std::to_string(i % 7) + "\n";
  }
  return text;
}

TEST(LoadInSlices, EndsInTheStateOfAWholeLoad) {
  // Some 3.5 MB: more than three of the reader's 1 MiB blocks.
  constexpr int kRows = 180000;
  for (const int faultRow : {0, 3, kRows - 1}) {
    const TempFile file(rowsOfText(kRows, faultRow));
    AppState whole;
    startUpWithTokens(whole, {file.name()});

    AppState sliced;
    StartUpLoad load;
    ASSERT_FALSE(beginStartUp(sliced, load, {file.name()}));
    EXPECT_EQ(sliced.titleText, whole.titleText);
    double share = loadedShare(load);
    EXPECT_LT(share, 0.5);
    int slices = 0;
    while (!continueStartUp(sliced, load, 1)) {
      ++slices;
      ASSERT_FALSE(sliced.messageText) << "the state changed before the load ended";
      EXPECT_GE(loadedShare(load), share);
      share = loadedShare(load);
    }
    EXPECT_DOUBLE_EQ(loadedShare(load), 1.0);
    if (faultRow == 0 || faultRow > 100) {
      EXPECT_GE(slices, 3) << "fault in row " << faultRow;
    }

    EXPECT_EQ(sliced.messageText, whole.messageText);
    EXPECT_EQ(sliced.names, whole.names);
    EXPECT_EQ(sliced.columns, whole.columns);
    EXPECT_EQ(sliced.panelText, whole.panelText);
    ASSERT_EQ(sliced.dims.size(), whole.dims.size());
    for (std::size_t j = 0; j < whole.dims.size(); ++j) {
      EXPECT_EQ(sliced.dims[j].exponent, whole.dims[j].exponent);
      EXPECT_EQ(sliced.dims[j].centerUnits, whole.dims[j].centerUnits);
      EXPECT_EQ(sliced.dims[j].minValue, whole.dims[j].minValue);
      EXPECT_EQ(sliced.dims[j].maxValue, whole.dims[j].maxValue);
      EXPECT_EQ(sliced.dims[j].mode, whole.dims[j].mode);
    }
  }
}

}  // namespace
