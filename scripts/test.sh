#!/usr/bin/env bash
# Runs every test: the unit tests (plain and under AddressSanitizer and UndefinedBehaviorSanitizer),
# a short fuzz of the CSV reader, the Linux window under Xvfb, the Windows program under wine, and
# the packages.
# Installs what it needs first. Ends with one line: "suites: N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/.."

# Suites that need what could not be installed fail on their own, the others still run.
bash scripts/setup-debian.sh || echo "setup incomplete: see above"

jobs=2
passed=0
failed=0
failed_names=()

suite() {
  local name=$1
  shift
  echo "=== $name"
  local started=$SECONDS
  if "$@"; then
    passed=$((passed + 1))
    echo "=== $name: passed in $((SECONDS - started)) s"
  else
    failed=$((failed + 1))
    failed_names+=("$name")
    echo "=== $name: FAILED after $((SECONDS - started)) s"
  fi
}

build_and_test() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; return 1; }
  cmake --build "$dir" -j"$jobs" || return 1
  (cd "$dir" && ctest -j"$jobs" --output-on-failure --timeout 300)
}

mkdir -p build
# The benchmarks are built, so that they keep compiling, but not run.
suite "unit tests" build_and_test build -DCMAKE_BUILD_TYPE=Release -DVELOPLOT_BENCH=ON
suite "unit tests with sanitizers" build_and_test build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELOPLOT_SANITIZE=ON
suite "csv reader fuzz" bash scripts/fuzz-csv.sh build-fuzz "${VELOPLOT_FUZZ_SECONDS:-60}"
suite "linux window" bash scripts/test-linux-window.sh build
suite "windows program" env VELOPLOT_RENDER="$PWD/build/veloplot-render" bash scripts/test-windows.sh
# Last: it installs the Debian package made in build (and removes it), and zips the Windows build.
suite "packages" bash scripts/test-package.sh build build-win

if [ "$failed" -ne 0 ]; then printf 'failed suite: %s\n' "${failed_names[@]}"; fi
echo "suites: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
