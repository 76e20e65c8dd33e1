#!/usr/bin/env bash
# The packages: makes a Release build and the Debian package in it, checks, installs, uses and
# removes that package (tests/e2e/package_e2e.py, as root), and makes the Windows zip in a build of
# the windows preset. Ends with the script's 'N passed, N failed' line.
#   scripts/test-package.sh [BUILD_DIR] [WINDOWS_BUILD_DIR]
# Defaults: build-pkg, and the windows preset's own build-win, whose zip is made with
# `cpack --preset windows` (any other folder gets the same configuration through the preset).
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-pkg}
windows_build=${2:-$root/build-win}
log=$(mktemp)
trap 'rm -f "$log"' EXIT

linux_build() {
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELOPLOT_TESTS=OFF ||
      return 1
  fi
  grep -qx 'CMAKE_BUILD_TYPE:STRING=Release' "$build/CMakeCache.txt" || {
    echo "$build is not a Release build"
    return 1
  }
  cmake --build "$build" -j 2
}
if ! linux_build >"$log" 2>&1; then
  tail -40 "$log"
  echo "the Linux programs could not be built"
  echo "0 passed, 1 failed"
  exit 1
fi

# A folder of the preset's own keeps its cache; a new one is made without the unit tests.
windows_args=()
if command -v i686-w64-mingw32-g++-posix >/dev/null; then
  if [ "$windows_build" = "$root/build-win" ]; then
    windows_steps=(cmake --preset windows)
  else
    windows_steps=(cmake --preset windows -B "$windows_build")
  fi
  if [ ! -f "$windows_build/CMakeCache.txt" ]; then windows_steps+=(-DVELOPLOT_TESTS=OFF); fi
  if (cd "$root" && "${windows_steps[@]}" && cmake --build "$windows_build" -j 2 \
    --target Veloplot) >"$log" 2>&1; then
    windows_args=(--windows-build "$windows_build")
  else
    tail -40 "$log"
  fi
else
  echo "no mingw-w64 cross-compiler: the Windows zip is not made (scripts/setup-debian.sh)"
fi

exec /usr/bin/python3 "$root/tests/e2e/package_e2e.py" "$build" "${windows_args[@]}"
