// veloplot-render: runs the window's start-up and commands without a window and writes what the
// window would show: its text, its state as JSON, or a picture of its client area.
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "app/load_progress.h"
#include "app/paint.h"
#include "app/render_options.h"
#include "app/startup.h"
#include "app/state_json.h"
#include "render/picture_file.h"

namespace {

constexpr int kExitLoaded = 0;
constexpr int kExitMessage = 1;
constexpr int kExitUsage = 2;

int usageError(const std::string& reason) {
  std::fprintf(stderr, "veloplot-render: %s\n%s", reason.c_str(), kRenderUsage);
  return kExitUsage;
}

void writeBytes(std::string_view bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

// The rest of the load, with one line of progress on a terminal once it has lasted a second;
// the line is erased when the data is in, so that the terminal then holds what it always did.
void loadShowingProgress(AppState& state, StartUpLoad& load) {
  const auto start = std::chrono::steady_clock::now();
  ProgressPacing pacing;
  while (!continueStartUp(state, load, kLoadSliceBytes)) {
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (progressDue(pacing, elapsed.count())) {
      std::fprintf(stderr, "\rveloplot-render: %s", progressText(loadedShare(load)).c_str());
      std::fflush(stderr);
    }
  }
  if (progressShown(pacing)) std::fputs("\r\x1b[K", stderr);
}

}  // namespace

int main(int argc, char** argv) {
  RenderOptions options;
  std::string error;
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  if (!parseRenderOptions(args, options, error)) return usageError(error);
  if (options.showHelp) {
    writeBytes(kRenderUsage);
    return kExitLoaded;
  }
  if (options.showVersion) {
    writeBytes("veloplot-render " VELOPLOT_VERSION "\n");
    return kExitLoaded;
  }

  AppState state;
  const std::vector<std::string> tokens(options.files.begin(),
                                        options.files.begin() + (options.files.empty() ? 0 : 1));
  StartUpLoad load;
  if (!beginStartUp(state, load, tokens)) {
    // Scripts and tests read standard error: only a person at a terminal sees the progress.
    if (isatty(STDERR_FILENO)) {
      loadShowingProgress(state, load);
    } else {
      continueStartUp(state, load, UINT64_MAX);
    }
  }
  // The window remembers its client size at its first paint, before any key can arrive.
  state.clientWidth = options.width;
  state.clientHeight = options.height;
  replayEvents(state, options.events);
  if (!options.outputPath.empty() &&
      !writePicture(state, options.width, options.height, options.outputPath, error)) {
    std::fprintf(stderr, "veloplot-render: %s\n", error.c_str());
    return kExitUsage;
  }

  if (options.printText) writeBytes(windowText(state));
  if (options.printText && options.printState) writeBytes("\n");
  if (options.printState) writeBytes(stateToJson(state) + "\n");
  std::fflush(stdout);

  if (state.messageText) {
    std::fprintf(stderr, "%s\n", state.messageText->c_str());
    return kExitMessage;
  }
  return kExitLoaded;
}
