#include "app/paint.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/help_text.h"
#include "recording_canvas.h"
#include "scale_helpers.h"

namespace {

AppState loadedState() {
  return twoColumnState("* a X\nb Y\n");
}

bool drewPlot(const RecordingCanvas& canvas) {
  for (const std::string& call : canvas.calls()) {
    if (call == "selectFramePen" || call == "beginPixels") return true;
  }
  return false;
}

TEST(Paint, PanelTextThenFrameGridAndPointsForAWholeRepaint) {
  AppState state = loadedState();
  RecordingCanvas canvas(1000, 700);
  paintClientArea(state, canvas, 1000, 700, 1000);
  const auto& calls = canvas.calls();
  ASSERT_GE(calls.size(), 4u);
  EXPECT_EQ(calls.front(), "drawTextBlock 1000 700 * a X\nb Y\n");
  EXPECT_EQ(calls[1], "selectFramePen");
  EXPECT_EQ(calls[calls.size() - 3], "restorePen " + std::to_string(RecordingCanvas::kPreviousPen));
  EXPECT_EQ(calls[calls.size() - 2], "beginPixels");
  EXPECT_EQ(calls.back(), "endPixels");
  EXPECT_EQ(canvas.pixel(615, 340), 0xFF000000u);
  EXPECT_EQ(state.clientWidth, 1000);
  EXPECT_EQ(state.clientHeight, 700);
}

TEST(Paint, PanelStripRepaintLeavesThePlotAlone) {
  AppState state = loadedState();
  RecordingCanvas strip;
  paintClientArea(state, strip, 1000, 700, 300);
  EXPECT_EQ(strip.calls(), (std::vector<std::string>{"drawTextBlock 1000 700 * a X\nb Y\n"}));

  RecordingCanvas justPast;
  paintClientArea(state, justPast, 1000, 700, 301);
  EXPECT_TRUE(drewPlot(justPast));
}

TEST(Paint, NarrowWindowStillRemembersItsSize) {
  AppState state = loadedState();
  RecordingCanvas canvas;
  paintClientArea(state, canvas, 250, 90, 250);
  EXPECT_FALSE(drewPlot(canvas));
  EXPECT_EQ(state.clientWidth, 250);
  EXPECT_EQ(state.clientHeight, 90);
}

TEST(Paint, HelpComesBeforeMessageAndMessageBeforePanel) {
  AppState state = loadedState();
  state.messageText = "Too many values in line 3.";
  state.helpVisible = true;
  EXPECT_EQ(windowText(state), kHelpText);
  RecordingCanvas help;
  paintClientArea(state, help, 1000, 700, 1000);
  EXPECT_EQ(help.calls(),
            (std::vector<std::string>{"drawTextBlock 1000 700 " + std::string(kHelpText)}));

  state.helpVisible = false;
  EXPECT_EQ(windowText(state), "Too many values in line 3.");
  RecordingCanvas message;
  paintClientArea(state, message, 1000, 700, 1000);
  EXPECT_EQ(message.calls(),
            (std::vector<std::string>{"drawTextBlock 1000 700 Too many values in line 3."}));

  state.messageText.reset();
  EXPECT_EQ(windowText(state), "* a X\nb Y\n");
  state.helpVisible = true;
  RecordingCanvas helpOverPanel;
  paintClientArea(state, helpOverPanel, 1000, 700, 1000);
  EXPECT_FALSE(drewPlot(helpOverPanel));
}

TEST(Paint, NoTextYetDrawsAnEmptyBlock) {
  AppState state;
  EXPECT_EQ(windowText(state), "");
}

}  // namespace
