#include "app/render_options.h"

#include <gtest/gtest.h>

#include "app/state_json.h"
#include "ui/commands.h"

namespace {

using Kind = KeyEvent::Kind;

bool parse(std::vector<std::string_view> args, RenderOptions& options, std::string& error) {
  return parseRenderOptions(args, options, error);
}

TEST(RenderOptions, DefaultsAndValues) {
  RenderOptions options;
  std::string error;
  ASSERT_TRUE(parse({"data.csv"}, options, error));
  EXPECT_EQ(options.width, 1000);
  EXPECT_EQ(options.height, 700);
  EXPECT_EQ(options.files, std::vector<std::string>{"data.csv"});

  RenderOptions all;
  ASSERT_TRUE(parse({"--size", "640x480", "--print-text", "-o", "a.png", "--print-state", "f",
                     "--output", "b.png"},
                    all, error));
  EXPECT_EQ(all.width, 640);
  EXPECT_EQ(all.height, 480);
  EXPECT_TRUE(all.printText && all.printState);
  EXPECT_EQ(all.outputPath, "b.png");
}

TEST(RenderOptions, UsageErrorsSayWhy) {
  const std::pair<std::vector<std::string_view>, const char*> cases[] = {
      {{"--size", "0x10"}, "bad size '0x10': expected WxH, each 1 to 16384"},
      {{"--size", "16385x10"}, "bad size '16385x10': expected WxH, each 1 to 16384"},
      {{"--size", "10x"}, "bad size '10x': expected WxH, each 1 to 16384"},
      {{"--size", "-5x10"}, "bad size '-5x10': expected WxH, each 1 to 16384"},
      {{"--size", " 5x10"}, "bad size ' 5x10': expected WxH, each 1 to 16384"},
      {{"--size"}, "option --size needs a value"},
      {{"f", "--keys"}, "option --keys needs a value"},
      {{"--frobnicate"}, "unknown option '--frobnicate'"},
      {{"--keys", "c Shift+c"}, "unknown key token 'Shift+c'"},
      {{"--keys", "dblclick:1,65536"}, "unknown key token 'dblclick:1,65536'"},
      {{"--keys", "dblclick:1"}, "unknown key token 'dblclick:1'"},
      {{"--keys", "pageup"}, "unknown key token 'pageup'"},
  };
  for (const auto& [args, message] : cases) {
    RenderOptions options;
    std::string error;
    EXPECT_FALSE(parse(args, options, error)) << message;
    EXPECT_EQ(error, message);
  }
}

TEST(RenderOptions, KeysBecomeWindowEvents) {
  std::vector<KeyEvent> events;
  std::string error;
  ASSERT_TRUE(parseKeys("  c\tPageDown Shift+Up dblclick:0,65535 ? ", events, error));
  const std::vector<std::pair<Kind, int>> expected = {
      {Kind::Character, 'c'},     {Kind::KeyDown, kKeyPageDown}, {Kind::KeyUp, kKeyPageDown},
      {Kind::KeyDown, kKeyShift}, {Kind::KeyDown, kKeyUp},       {Kind::KeyUp, kKeyUp},
      {Kind::KeyUp, kKeyShift},   {Kind::DoubleClick, 0},        {Kind::Character, '?'},
  };
  ASSERT_EQ(events.size(), expected.size());
  for (std::size_t i = 0; i < events.size(); ++i) {
    EXPECT_EQ(events[i].kind, expected[i].first) << i;
    EXPECT_EQ(events[i].code, expected[i].second) << i;
  }
  EXPECT_EQ(events[7].x, 0u);
  EXPECT_EQ(events[7].y, 65535u);
}

TEST(StateJson, FailedStartUpHasNoDimensions) {
  AppState state;
  state.messageText = "Cound not open file: caf\xE9\"\\";
  state.names = {"left over"};
  state.columns = {{1, 2}};
  EXPECT_EQ(stateToJson(state),
            "{\"message\": \"Cound not open file: caf\\u00e9\\\"\\\\\", \"helpVisible\": false, "
            "\"significantOnly\": false, \"shiftDown\": false, \"selectedDim\": 0, \"xDim\": 0, "
            "\"yDim\": 1, \"nearValuesDim\": -1, \"rows\": 0, \"dims\": []}");
}

TEST(StateJson, DimensionsRoundTrip) {
  AppState state;
  state.names = {"t\xB1"};
  state.columns = {{0.1, 0.7}};
  state.dims = {autoScale(state.columns[0])};
  state.dims[0].mode = DimMode::Multi;
  const std::string json = stateToJson(state);
  // (0.1 + 0.7) / 2 falls just below 0.4, so the center is cut to 0.3.
  EXPECT_NE(json.find("\"rows\": 2, \"dims\": [{\"name\": \"t\\u00b1\", \"mode\": \"Multi\", "
                      "\"exponent\": 0, \"widthFactor\": 1, \"centerUnits\": 30, "
                      "\"toleranceUnits\": 10, \"center\": 0.3, \"tolerance\": 0.1, "
                      "\"minValue\": -0.2, \"maxValue\": 0.8, \"ticks\": [-0.1, 0.1, 0.3, 0.5, "
                      "0.7000000000000001]}]}"),
            std::string::npos)
      << json;
}

}  // namespace
