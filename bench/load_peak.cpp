// load_peak FILE: loads the file as start-up does and nothing more, so that `/usr/bin/time -v`
// shows the peak memory of a load.
#include <cstdio>

#include "app/startup.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: load_peak FILE\n");
    return 2;
  }
  AppState state;
  startUpWithTokens(state, {argv[1]});
  if (state.messageText) {
    std::fprintf(stderr, "%s\n", state.messageText->c_str());
    return 1;
  }
  std::printf("%zu columns x %zu rows\n", state.columns.size(), rowCount(state));
  return 0;
}
