// The command line of veloplot-render and the replay of its --keys on the state.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/app_state.h"
#include "ui/commands.h"

// One input event of --keys, as the window would receive it.
struct KeyEvent {
  enum class Kind { Character, KeyDown, KeyUp, DoubleClick } kind;
  int code = 0;  // the character, or the virtual key
  unsigned x = 0;
  unsigned y = 0;
};

struct RenderOptions {
  int width = 1000;
  int height = 700;
  std::vector<KeyEvent> events;
  bool printText = false;
  bool printState = false;
  std::string outputPath;
  std::vector<std::string> files;
  bool showHelp = false;
  bool showVersion = false;
};

inline constexpr int kMaxClientSize = 16384;

// Parses the arguments after the program name. Returns false with `error` set on a usage error.
bool parseRenderOptions(const std::vector<std::string_view>& args, RenderOptions& options,
                        std::string& error);

// Turns the --keys text into events; false with `error` naming the first unknown token.
bool parseKeys(std::string_view text, std::vector<KeyEvent>& events, std::string& error);

// Hands one event to its command, as the window's message handler would; says what to repaint.
Repaint applyEvent(AppState& state, const KeyEvent& event);
// Hands the events to the commands in order.
void replayEvents(AppState& state, const std::vector<KeyEvent>& events);

extern const char kRenderUsage[];
