#include "app/render_options.h"

#include <charconv>

const char kRenderUsage[] =
    "Usage: veloplot-render [OPTIONS] FILE\n"
    "Loads FILE as the window does, applies --keys, and writes what the window would show.\n"
    "\n"
    "  --size WxH          client area in pixels (default 1000x700)\n"
    "  --keys \"SEQ\"        blank-separated keys: a single character, PageUp, PageDown, Left,\n"
    "                      Right, Up, Down, Shift+KEY for those six, dblclick:X,Y\n"
    "  --print-text        write the text drawn at the top-left corner\n"
    "  --print-state       write the application state as JSON\n"
    "  -o, --output FILE   write the client area as a picture (.png, .svg or .pdf)\n"
    "  --help, --version\n";

namespace {

struct NamedKey {
  std::string_view name;
  int virtualKey;
};

constexpr NamedKey kNamedKeys[] = {
    {"PageUp", kKeyPageUp}, {"PageDown", kKeyPageDown}, {"Left", kKeyLeft}, {"Right", kKeyRight},
    {"Up", kKeyUp},         {"Down", kKeyDown},
};

bool findNamedKey(std::string_view name, int& virtualKey) {
  for (const NamedKey& key : kNamedKeys) {
    if (key.name == name) {
      virtualKey = key.virtualKey;
      return true;
    }
  }
  return false;
}

// A whole decimal number in [low, high], and nothing else.
bool parseWhole(std::string_view text, int low, int high, int& value) {
  if (text.empty()) return false;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size() && value >= low &&
         value <= high;
}

bool parseDoubleClick(std::string_view token, KeyEvent& event) {
  constexpr std::string_view kPrefix = "dblclick:";
  if (token.substr(0, kPrefix.size()) != kPrefix) return false;
  const std::string_view position = token.substr(kPrefix.size());
  const std::size_t comma = position.find(',');
  if (comma == std::string_view::npos) return false;
  int x = 0;
  int y = 0;
  if (!parseWhole(position.substr(0, comma), 0, 65535, x) ||
      !parseWhole(position.substr(comma + 1), 0, 65535, y))
    return false;
  event =
      KeyEvent{KeyEvent::Kind::DoubleClick, 0, static_cast<unsigned>(x), static_cast<unsigned>(y)};
  return true;
}

bool parseKeyToken(std::string_view token, std::vector<KeyEvent>& events) {
  using Kind = KeyEvent::Kind;
  int virtualKey = 0;
  KeyEvent click{};
  if (token.size() == 1) {
    events.push_back({Kind::Character, static_cast<unsigned char>(token[0])});
  } else if (findNamedKey(token, virtualKey)) {
    events.push_back({Kind::KeyDown, virtualKey});
    events.push_back({Kind::KeyUp, virtualKey});
  } else if (token.substr(0, 6) == "Shift+" && findNamedKey(token.substr(6), virtualKey)) {
    events.push_back({Kind::KeyDown, kKeyShift});
    events.push_back({Kind::KeyDown, virtualKey});
    events.push_back({Kind::KeyUp, virtualKey});
    events.push_back({Kind::KeyUp, kKeyShift});
  } else if (parseDoubleClick(token, click)) {
    events.push_back(click);
  } else {
    return false;
  }
  return true;
}

bool parseSize(std::string_view text, RenderOptions& options) {
  const std::size_t cross = text.find('x');
  if (cross == std::string_view::npos) return false;
  return parseWhole(text.substr(0, cross), 1, kMaxClientSize, options.width) &&
         parseWhole(text.substr(cross + 1), 1, kMaxClientSize, options.height);
}

}  // namespace

bool parseKeys(std::string_view text, std::vector<KeyEvent>& events, std::string& error) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ' || text[i] == '\t' || text[i] == '\n') {
      ++i;
      continue;
    }
    const std::size_t end = text.find_first_of(" \t\n", i);
    const std::string_view token = text.substr(i, end - i);
    if (!parseKeyToken(token, events)) {
      error = "unknown key token '" + std::string(token) + "'";
      return false;
    }
    i = end == std::string_view::npos ? text.size() : end;
  }
  return true;
}

bool parseRenderOptions(const std::vector<std::string_view>& args, RenderOptions& options,
                        std::string& error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    const bool takesValue = arg == "--size" || arg == "--keys" || arg == "-o" || arg == "--output";
    if (takesValue && i + 1 == args.size()) {
      error = "option " + std::string(arg) + " needs a value";
      return false;
    }
    if (arg == "--size") {
      if (!parseSize(args[++i], options)) {
        error = "bad size '" + std::string(args[i]) + "': expected WxH, each 1 to 16384";
        return false;
      }
    } else if (arg == "--keys") {
      if (!parseKeys(args[++i], options.events, error)) return false;
    } else if (arg == "-o" || arg == "--output") {
      options.outputPath = args[++i];
    } else if (arg == "--print-text") {
      options.printText = true;
    } else if (arg == "--print-state") {
      options.printState = true;
    } else if (arg == "--help") {
      options.showHelp = true;
    } else if (arg == "--version") {
      options.showVersion = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option '" + std::string(arg) + "'";
      return false;
    } else {
      options.files.emplace_back(arg);
    }
  }
  return true;
}

Repaint applyEvent(AppState& state, const KeyEvent& event) {
  switch (event.kind) {
    case KeyEvent::Kind::Character:
      return onChar(state, static_cast<unsigned char>(event.code));
    case KeyEvent::Kind::KeyDown:
      return onKeyDown(state, event.code);
    case KeyEvent::Kind::KeyUp:
      onKeyUp(state, event.code);
      return Repaint::None;
    case KeyEvent::Kind::DoubleClick:
      return onDoubleClick(state, event.x, event.y);
  }
  return Repaint::None;
}

void replayEvents(AppState& state, const std::vector<KeyEvent>& events) {
  for (const KeyEvent& event : events) applyEvent(state, event);
}
