#include "render/panel.h"

#include <gtest/gtest.h>

#include "scale_helpers.h"

namespace {

// Unit 0.01, width 2: the center and tolerance read as 12.5 and 0.5 by default.
DimScale scaleIn(DimMode mode, std::int32_t centerUnits = 1250, std::int32_t toleranceUnits = 50) {
  return scaleOf(0, 2, centerUnits, toleranceUnits, mode);
}

TEST(DimensionList, OneLinePerDimensionByMode) {
  const std::vector<std::string> names = {"time", "speed", "temp", "", "load"};
  const std::vector<DimScale> dims = {scaleIn(DimMode::XAxis), scaleIn(DimMode::Band),
                                      scaleIn(DimMode::Free), scaleIn(DimMode::YAxis),
                                      scaleIn(DimMode::Free)};
  EXPECT_EQ(buildDimensionList(names, dims, 1, false),
            "  time - X axis\n"
            "* speed = 12.5 \xB1 0.5\n"
            "  temp \n"
            "   - Y axis\n"
            "  load \n");
}

TEST(DimensionList, MultiListsEveryTickWithItsColour) {
  const std::vector<std::string> names = {"a", "b", "m"};
  const std::vector<DimScale> dims = {scaleIn(DimMode::XAxis), scaleIn(DimMode::YAxis),
                                      scaleIn(DimMode::Multi, 500, 20)};
  EXPECT_EQ(buildDimensionList(names, dims, 2, false),
            "  a - X axis\n"
            "  b - Y axis\n"
            "* m \n"
            "     = 4.2 \xB1 0.2 (red)\n"
            "     = 4.6 \xB1 0.2 (green)\n"
            "     = 5 \xB1 0.2 (black)\n"
            "     = 5.4 \xB1 0.2 (blue)\n"
            "     = 5.8 \xB1 0.2 (magenta)\n");
}

TEST(DimensionList, SignificantOnlyLeavesOutFreeDimensions) {
  const std::vector<std::string> names = {"a", "b", "c"};
  std::vector<DimScale> dims = {scaleIn(DimMode::XAxis), scaleIn(DimMode::Free),
                                scaleIn(DimMode::Band, 0, 1)};
  EXPECT_EQ(buildDimensionList(names, dims, 1, true), "  a - X axis\n  c = 0 \xB1 0.01\n");
  for (auto& d : dims) d.mode = DimMode::Free;
  EXPECT_EQ(buildDimensionList(names, dims, 0, true), "");
  EXPECT_EQ(buildDimensionList(names, dims, 7, false), "  a \n  b \n  c \n");
}

TEST(DimensionList, RefreshReplacesThePanelText) {
  AppState state;
  state.names = {"a", "b"};
  state.dims = {scaleIn(DimMode::XAxis), scaleIn(DimMode::YAxis)};
  const std::string first = refreshDimensionList(state);
  state.selectedDim = 1;
  EXPECT_EQ(refreshDimensionList(state), "  a - X axis\n* b - Y axis\n");
  EXPECT_NE(first, *state.panelText);
}

TEST(TickColorName, FiveWordsThenBlack) {
  const char* expected[] = {"red", "green", "black", "blue", "magenta", "black", "black"};
  const unsigned indices[] = {0, 1, 2, 3, 4, 5, 4000000000u};
  for (int i = 0; i < 7; ++i) EXPECT_STREQ(tickColorName(indices[i]), expected[i]);
}

}  // namespace
