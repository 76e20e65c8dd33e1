#include "ui/commands.h"

#include <gtest/gtest.h>

#include "render/panel.h"

namespace {

// Four columns spread over 0..10, 0..100, 0..1 and 0..7, as start-up would set them up.
AppState loadedState() {
  AppState state;
  state.names = {"a", "b", "c", "d"};
  state.columns = {{0, 10}, {0, 100}, {0, 1}, {0, 7}};
  for (const auto& column : state.columns) state.dims.push_back(autoScale(column));
  state.dims[0].mode = DimMode::XAxis;
  state.dims[1].mode = DimMode::YAxis;
  refreshDimensionList(state);
  state.clientWidth = 1000;
  state.clientHeight = 700;
  return state;
}

DimMode modeOf(const AppState& state, int i) {
  return state.dims[i].mode;
}

TEST(CharCommands, ConstraintKeysOnAnAxisDimensionDoNothing) {
  for (unsigned selected : {0u, 1u}) {
    for (char key : {'a', 'c', 'm', 'x', 'y'}) {
      AppState state = loadedState();
      state.selectedDim = selected;
      const std::string panel = *state.panelText;
      EXPECT_EQ(onChar(state, key), Repaint::None) << key;
      EXPECT_EQ(modeOf(state, 0), DimMode::XAxis);
      EXPECT_EQ(modeOf(state, 1), DimMode::YAxis);
      EXPECT_EQ(*state.panelText, panel);
    }
  }
}

TEST(CharCommands, ModesOfTheSelectedDimension) {
  AppState state = loadedState();
  state.selectedDim = 2;
  EXPECT_EQ(onChar(state, 'c'), Repaint::WholeArea);
  EXPECT_EQ(modeOf(state, 2), DimMode::Band);
  EXPECT_NE(state.panelText->find("* c = 0.5 \xB1 0.2\n"), std::string::npos) << *state.panelText;
  EXPECT_EQ(onChar(state, 'a'), Repaint::WholeArea);
  EXPECT_EQ(modeOf(state, 2), DimMode::Free);
}

TEST(CharCommands, OnlyOneDimensionIsMulti) {
  AppState state = loadedState();
  state.selectedDim = 2;
  onChar(state, 'm');
  EXPECT_EQ(state.nearValuesDim, 2);
  state.selectedDim = 3;
  onChar(state, 'm');
  EXPECT_EQ(state.nearValuesDim, 3);
  EXPECT_EQ(modeOf(state, 2), DimMode::Free);
  EXPECT_EQ(modeOf(state, 3), DimMode::Multi);
  EXPECT_EQ(onChar(state, 'm'), Repaint::WholeArea);  // on the Multi one it frees it
  EXPECT_EQ(modeOf(state, 3), DimMode::Free);
  EXPECT_EQ(state.nearValuesDim, -1);
}

TEST(CharCommands, AxisKeysMoveTheAxisAndFreeTheOldOne) {
  AppState state = loadedState();
  state.selectedDim = 3;
  onChar(state, 'm');
  EXPECT_EQ(onChar(state, 'x'), Repaint::WholeArea);
  EXPECT_EQ(state.xDim, 3);
  EXPECT_EQ(modeOf(state, 3), DimMode::XAxis);
  EXPECT_EQ(modeOf(state, 0), DimMode::Free);
  EXPECT_EQ(state.nearValuesDim, -1);
  state.selectedDim = 0;
  onChar(state, 'y');
  EXPECT_EQ(state.yDim, 0);
  EXPECT_EQ(modeOf(state, 1), DimMode::Free);
}

TEST(CharCommands, SignificantOnlyRepaintsThePanelAndSkipsFreeDimensions) {
  AppState state = loadedState();
  state.selectedDim = 2;
  EXPECT_EQ(onChar(state, 'd'), Repaint::PanelStrip);
  EXPECT_TRUE(state.significantOnly);
  EXPECT_EQ(state.selectedDim, 0u);  // 2 and 3 are Free: on to 0
  EXPECT_EQ(*state.panelText, "* a - X axis\n  b - Y axis\n");

  state.selectedDim = 1;
  onChar(state, 'd');
  state.selectedDim = 2;
  onChar(state, 'c');
  onChar(state, 'd');
  EXPECT_EQ(state.selectedDim, 2u);
  EXPECT_EQ(onChar(state, 'a'), Repaint::WholeArea);  // freed: the selection moves on
  EXPECT_EQ(state.selectedDim, 0u);
}

TEST(CharCommands, HelpTogglesEvenWithAMessageAndOtherKeysDoNothing) {
  AppState state = loadedState();
  for (int key : {int{'H'}, int{'C'}, int{'X'}, int{'?'}, int{'z'}, 0xE9}) {
    EXPECT_EQ(onChar(state, static_cast<unsigned char>(key)), Repaint::None);
  }
  EXPECT_EQ(onChar(state, 'h'), Repaint::WholeArea);
  EXPECT_TRUE(state.helpVisible);
  EXPECT_EQ(onChar(state, 'h'), Repaint::WholeArea);
  EXPECT_FALSE(state.helpVisible);

  AppState failed;
  failed.messageText = "Cound not open file: x";
  for (char key : {'c', 'd', 'x', 'm'}) EXPECT_EQ(onChar(failed, key), Repaint::None);
  EXPECT_FALSE(failed.significantOnly);
  EXPECT_EQ(onChar(failed, 'h'), Repaint::WholeArea);
  EXPECT_TRUE(failed.helpVisible);
  EXPECT_EQ(onKeyDown(failed, kKeyShift), Repaint::None);
  EXPECT_FALSE(failed.shiftDown);
  EXPECT_EQ(onKeyDown(failed, kKeyPageDown), Repaint::None);
  EXPECT_EQ(onDoubleClick(failed, 500, 300), Repaint::None);
}

TEST(KeyCommands, PageKeysWrapAndSkipFreeDimensionsWhenAsked) {
  AppState state = loadedState();
  EXPECT_EQ(onKeyDown(state, kKeyPageUp), Repaint::PanelStrip);
  EXPECT_EQ(state.selectedDim, 3u);
  EXPECT_EQ(onKeyDown(state, kKeyPageDown), Repaint::PanelStrip);
  EXPECT_EQ(state.selectedDim, 0u);
  state.selectedDim = 2;
  onChar(state, 'c');
  state.selectedDim = 0;
  onChar(state, 'd');
  onKeyDown(state, kKeyPageUp);
  EXPECT_EQ(state.selectedDim, 2u);  // 3 is Free
  onKeyDown(state, kKeyPageDown);
  EXPECT_EQ(state.selectedDim, 0u);
}

TEST(KeyCommands, ScaleKeysFollowTheMode) {
  AppState state = loadedState();
  state.selectedDim = 3;  // Free: nothing moves
  for (int key : {kKeyLeft, kKeyRight, kKeyUp, kKeyDown}) {
    EXPECT_EQ(onKeyDown(state, key), Repaint::None);
  }
  state.selectedDim = 0;  // the X axis, 0..10: unit 0.1
  const std::int32_t center = state.dims[0].centerUnits;
  EXPECT_EQ(onKeyDown(state, kKeyRight), Repaint::WholeArea);
  EXPECT_EQ(state.dims[0].centerUnits, center + state.dims[0].widthFactor);
  EXPECT_EQ(onKeyDown(state, kKeyUp), Repaint::WholeArea);
  EXPECT_EQ(state.dims[0].widthFactor, 5);

  onKeyDown(state, kKeyShift);  // tolerance keys leave an axis alone
  EXPECT_EQ(onKeyDown(state, kKeyUp), Repaint::None);
  onKeyUp(state, kKeyShift);
  EXPECT_FALSE(state.shiftDown);

  state.selectedDim = 2;
  onChar(state, 'c');  // Band: no zoom, but tolerance
  EXPECT_EQ(onKeyDown(state, kKeyUp), Repaint::None);
  onKeyDown(state, kKeyShift);
  const std::int32_t tolerance = state.dims[2].toleranceUnits;
  EXPECT_EQ(onKeyDown(state, kKeyUp), Repaint::WholeArea);
  EXPECT_EQ(state.dims[2].toleranceUnits, tolerance + state.dims[2].widthFactor);
  state.dims[2].toleranceUnits = state.dims[2].widthFactor * 100;
  EXPECT_EQ(onKeyDown(state, kKeyUp), Repaint::WholeArea);  // at the limit: still repainted
  EXPECT_EQ(state.dims[2].toleranceUnits, state.dims[2].widthFactor * 100);
  onKeyUp(state, kKeyShift);

  state.selectedDim = 3;
  onChar(state, 'm');  // Multi zooms
  const std::int32_t exponent = state.dims[3].exponent;
  EXPECT_EQ(onKeyDown(state, kKeyDown), Repaint::WholeArea);
  EXPECT_EQ(state.dims[3].widthFactor, 5);
  EXPECT_EQ(state.dims[3].exponent, exponent - 1);
  EXPECT_EQ(onKeyDown(state, 'Q'), Repaint::None);
}

TEST(DoubleClick, RecentresBothAxesOnTheClickedValue) {
  AppState state = loadedState();  // plot rectangle 300,10 to 930,670
  const DimScale x = state.dims[0];
  const DimScale y = state.dims[1];
  EXPECT_EQ(onDoubleClick(state, 300, 670), Repaint::WholeArea);
  EXPECT_EQ(state.dims[0].centerUnits,
            static_cast<std::int32_t>(x.minValue / unitSize(x)));  // left edge: minValue
  EXPECT_EQ(state.dims[1].centerUnits, static_cast<std::int32_t>(y.minValue / unitSize(y)));

  AppState far = loadedState();
  far.clientWidth = far.clientHeight = 0;  // not painted yet: the smallest plot rectangle
  EXPECT_EQ(onDoubleClick(far, 65535, 65535), Repaint::WholeArea);
  EXPECT_GT(far.dims[0].center, x.maxValue);
  EXPECT_LT(far.dims[1].center, y.minValue);
}

}  // namespace
