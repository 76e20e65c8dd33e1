#include "app/startup.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "temp_file.h"

namespace {

AppState startedWith(std::string_view commandLine) {
  AppState state;
  startUp(state, commandLine);
  return state;
}

TEST(SplitCommandLine, RunsOfNonBlanksAndNothingMore) {
  using Words = std::vector<std::string>;
  EXPECT_EQ(splitCommandLine(""), Words{});
  EXPECT_EQ(splitCommandLine(" \t "), Words{});
  EXPECT_EQ(splitCommandLine("a"), Words{"a"});
  EXPECT_EQ(splitCommandLine("\t data.csv  more\tx "), (Words{"data.csv", "more", "x"}));
  EXPECT_EQ(splitCommandLine("\"my file.csv\""), (Words{"\"my", "file.csv\""}));
}

TEST(StartUp, MessagesAndTitles) {
  const AppState none = startedWith("  ");
  EXPECT_EQ(none.messageText, "Usage: Veloplot.exe <file name>");
  EXPECT_EQ(none.titleText, "Veloplot");
  EXPECT_EQ(none.className, "VELOPLOT");

  const AppState quoted = startedWith("\"no such file.csv\"");
  EXPECT_EQ(quoted.messageText, "Cound not open file: \"no");
  EXPECT_EQ(quoted.titleText, "Veloplot - \"no");

  const std::string folder = std::filesystem::temp_directory_path().string();
  EXPECT_EQ(startedWith(folder).messageText, "Cound not open file: " + folder);

  TempFile oneColumn("a\n1\n2\n");
  EXPECT_EQ(startedWith(oneColumn.name()).messageText,
            "There must be at least 2 columns in the input data.");
  TempFile noRows("a,b\n\n\n");
  EXPECT_EQ(startedWith(noRows.name()).messageText, "There are no data rows in the input file.");
  TempFile bad("a,b\n1,2\n3,x\n");
  const AppState rejected = startedWith(bad.name() + " ignored");
  EXPECT_EQ(rejected.messageText, "Invalid character detected in line 2.");
  EXPECT_EQ(rejected.titleText, "Veloplot - " + bad.name());
  EXPECT_FALSE(rejected.panelText);

  const std::string longName(2000, 'n');
  const AppState longTitle = startedWith(longName);
  EXPECT_EQ(longTitle.titleText.size(), 999u);
  EXPECT_EQ(longTitle.messageText->size(), 21 + longName.size());
}

TEST(StartUp, ThreeColumnsGetAxesAndAPanel) {
  TempFile data("x, y ,z\n0,5,1\n7,5,2\n");
  AppState state;
  startUpWithTokens(state, {data.name()}, "Prog", "CLS");
  ASSERT_FALSE(state.messageText) << *state.messageText;
  EXPECT_EQ(state.titleText, "Prog - " + data.name());
  EXPECT_EQ(state.className, "CLS");
  ASSERT_EQ(state.dims.size(), 3u);
  EXPECT_EQ(state.dims[0].mode, DimMode::XAxis);
  EXPECT_EQ(state.dims[1].mode, DimMode::YAxis);
  EXPECT_EQ(state.dims[2].mode, DimMode::Free);
  EXPECT_EQ(state.selectedDim, 0u);
  EXPECT_EQ(state.nearValuesDim, -1);
  EXPECT_EQ(rowCount(state), 2u);
  // The axis records keep the ticks they were derived with as Free records.
  EXPECT_EQ(state.dims[1].ticks, autoScale(std::vector<double>{5, 5}).ticks);
  EXPECT_EQ(*state.panelText, "* x - X axis\n  y - Y axis\n  z \n");
}

TEST(StartUp, FileNamesWithBlanksWorkWhenGivenAsOneWord) {
  TempFile data("a,b\n1,2\n", " with blanks.csv");
  AppState state;
  startUpWithTokens(state, {data.name()});
  EXPECT_FALSE(state.messageText);
  EXPECT_EQ(startedWith(data.name()).messageText->rfind("Cound not open file: ", 0), 0u);
}

}  // namespace
