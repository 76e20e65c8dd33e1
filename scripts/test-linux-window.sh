#!/usr/bin/env bash
# End-to-end tests of the Linux window under a virtual X server.
#   scripts/test-linux-window.sh [BUILD_DIR]
# Builds the programs and what they install in BUILD_DIR (default build-gtk) when needed, runs
# tests/e2e/gtk_e2e.py and ends with its 'N passed, N failed' line; the exit status is nonzero
# when a check failed. Pictures of failed comparisons go to BUILD_DIR/e2e-failures.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-gtk}

build_programs() {
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELOPLOT_TESTS=OFF || return 1
  fi
  # Everything: the install check wants the icons, manual pages and package files too.
  cmake --build "$build" -j 2
}
if ! log=$(build_programs 2>&1); then
  printf '%s\n' "$log"
  echo "the window could not be built"
  echo "0 passed, 1 failed"
  exit 1
fi

rm -rf "$build/e2e-failures"
exec /usr/bin/python3 "$root/tests/e2e/gtk_e2e.py" "$build" --artifacts "$build/e2e-failures"
