#!/usr/bin/env bash
# The Windows checks: cross-builds Veloplot.exe (32-bit, the shipped program), checks what kind
# of program it is, runs the cross-built unit tests and the end-to-end scenarios under wine on a
# virtual display, and ends with one line "windows: N passed, N failed".
#
# Where the kernel cannot start 32-bit programs (and so not the 32-bit wine loader), the unit
# tests and scenarios run on a 64-bit build of the same sources under wine64 instead.
#
# Environment: VELOPLOT_RENDER  a Linux veloplot-render to compare against (else built here)
#              JOBS             parallel build jobs (default 2)
set -uo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=${JOBS:-2}
passed=0
failed=0
work=$(mktemp -d /tmp/veloplot-windows-XXXXXX)
xvfb_pid=""

note() { printf '== %s\n' "$*"; }
pass() {
  passed=$((passed + ${2:-1}))
  printf 'PASS %s\n' "$1"
}
fail() {
  failed=$((failed + ${2:-1}))
  printf 'FAIL %s\n' "$1"
}
finish() {
  printf 'windows: %d passed, %d failed\n' "$passed" "$failed"
  if [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]; then exit 0; fi
  exit 1
}

cleanup() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1 </dev/null || true
  fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

missing=""
for tool in cmake ninja i686-w64-mingw32-g++-posix i686-w64-mingw32-windres Xvfb xdotool import \
  wineserver; do
  command -v "$tool" >/dev/null 2>&1 || missing="$missing $tool"
done
if ! /usr/bin/python3 -c 'import PIL' >/dev/null 2>&1; then missing="$missing python3-pil"; fi
if [ -n "$missing" ]; then
  fail "tools present (missing:$missing; run scripts/setup-debian.sh)"
  finish
fi

# Which wine can run here: the 32-bit loader needs the kernel's 32-bit support.
if /usr/lib/wine/wine --version >/dev/null 2>&1 </dev/null; then
  run_preset=windows
  run_build=$repo/build-win
  wine_loader=/usr/lib/wine/wine
  export WINEARCH=win32
elif [ -x /usr/lib/wine/wine64 ] && command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1; then
  note "this kernel cannot start 32-bit programs: tests run on the 64-bit build under wine64"
  run_preset=windows-x64
  run_build=$repo/build-win64
  wine_loader=/usr/lib/wine/wine64
  export WINEARCH=win64
else
  fail "a wine that runs here (32-bit support in the kernel, or wine64 and mingw-w64 x86_64)"
  finish
fi

build() {  # preset, log name, extra cmake arguments...
  local preset=$1 log=$work/$2.log
  shift 2
  cmake --preset "$preset" "$@" >"$log" 2>&1 </dev/null &&
    cmake --build --preset "$preset" -j "$jobs" >>"$log" 2>&1 </dev/null
  local status=$?
  if [ $status -ne 0 ]; then tail -40 "$log"; fi
  return $status
}

# The Linux renderer that the scenarios compare the plot with.
render=${VELOPLOT_RENDER:-}
if [ -z "$render" ]; then
  note "building the Linux veloplot-render"
  if cmake -S "$repo" -B "$repo/build-win-ref" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVELOPLOT_TESTS=OFF >"$work/ref.log" 2>&1 </dev/null &&
    cmake --build "$repo/build-win-ref" -j "$jobs" --target veloplot-render >>"$work/ref.log" \
      2>&1 </dev/null; then
    render=$repo/build-win-ref/veloplot-render
  else
    tail -40 "$work/ref.log"
  fi
fi

note "cross-building the 32-bit program"
if [ "$run_preset" = windows ]; then
  build windows win32 -DVELOPLOT_RENDER_EXE="$render"
else
  build windows win32 -DVELOPLOT_TESTS=OFF
fi
if [ $? -eq 0 ]; then pass "32-bit cross build"; else fail "32-bit cross build"; fi

exe32=$repo/build-win/Veloplot.exe
if /usr/bin/python3 "$repo/tests/e2e/check_pe.py" --objdump i686-w64-mingw32-objdump "$exe32"; then
  pass "Veloplot.exe is a 32-bit GUI program needing system DLLs only"
else
  fail "Veloplot.exe is a 32-bit GUI program needing system DLLs only"
fi

if [ "$run_preset" = windows-x64 ]; then
  note "cross-building the 64-bit program and tests"
  if build windows-x64 win64 -DVELOPLOT_RENDER_EXE="$render"; then
    pass "64-bit cross build"
  else
    fail "64-bit cross build"
    finish
  fi
fi

# A fresh prefix and display of our own for the unit tests; the scenarios make theirs.
export WINEPREFIX=$work/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
Xvfb -displayfd 4 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 </dev/null \
  4>"$work/display" &
xvfb_pid=$!
for _ in $(seq 100); do
  if [ -s "$work/display" ]; then break; fi
  sleep 0.1
done
display=$(head -n 1 "$work/display")
export DISPLAY=:$display
note "wine prefix $WINEPREFIX on display $DISPLAY"
if ! "$wine_loader" wineboot -i >"$work/wineboot.log" 2>&1 </dev/null; then
  fail "wineboot of a fresh prefix"
  finish
fi
wineserver -w >/dev/null 2>&1 </dev/null
# A lasting server, and wine's own service processes started now with their output in a file:
# started by the first test instead, they would inherit ctest's pipe and hold it open.
setsid wineserver -p >/dev/null 2>&1 </dev/null
"$wine_loader" cmd /c exit >>"$work/wineboot.log" 2>&1 </dev/null

note "unit tests under wine"
unit_log=$work/unit.log
(cd "$run_build" && ctest -E 'windows_e2e|make_icons_test' -V --timeout 300 \
  >"$unit_log" 2>&1 </dev/null)
ctest_status=$?
gtest_passed=$(sed -n 's/.*\[  PASSED  \] \([0-9]*\) tests\{0,1\}\..*/\1/p' "$unit_log" |
  awk '{s += $1} END {print s + 0}')
gtest_failed=$(sed -n 's/.*\[  FAILED  \] \([0-9]*\) tests\{0,1\}, listed below.*/\1/p' "$unit_log" |
  awk '{s += $1} END {print s + 0}')
grep -E '^ *[0-9]+/[0-9]+ Test +#' "$unit_log"
grep -E '\[  FAILED  \] [A-Za-z0-9_./]+$' "$unit_log" | sed 's/^[0-9]*: //' | sort -u
if [ "$gtest_passed" -gt 0 ]; then pass "unit tests ($gtest_passed test cases)" "$gtest_passed"; fi
if [ "$gtest_failed" -gt 0 ]; then fail "unit tests ($gtest_failed test cases)" "$gtest_failed"; fi
if [ $ctest_status -ne 0 ] && [ "$gtest_failed" -eq 0 ]; then
  fail "unit test binaries (see ctest above: a binary crashed or timed out)"
fi

note "icon script"
icon_log=$work/icons.log
python3 "$repo/tests/make_icons_test.py" >"$icon_log" 2>&1 </dev/null
icon_status=$?
icon_count=$(sed -n 's/^Ran \([0-9]*\) tests\{0,1\}.*/\1/p' "$icon_log")
if [ $icon_status -eq 0 ] && [ -n "$icon_count" ]; then
  pass "icon script ($icon_count test cases)" "$icon_count"
else
  cat "$icon_log"
  fail "icon script"
fi

note "end-to-end scenarios"
if [ -z "$render" ]; then
  fail "end-to-end scenarios (no veloplot-render to compare with)"
else
  e2e_log=$work/e2e.log
  /usr/bin/python3 "$repo/tests/e2e/win_e2e.py" --exe "$run_build/Veloplot.exe" \
    --probe "$run_build/tests/e2e/win32_text_probe.exe" --render "$render" \
    --wine "$wine_loader" --arch "$WINEARCH" >"$e2e_log" 2>&1 </dev/null
  cat "$e2e_log"
  e2e_passed=$(sed -n 's/^e2e: \([0-9]*\) passed.*/\1/p' "$e2e_log")
  e2e_failed=$(sed -n 's/^e2e: [0-9]* passed, \([0-9]*\) failed/\1/p' "$e2e_log")
  if [ -z "$e2e_passed" ]; then
    fail "end-to-end scenarios (the script stopped early)"
  else
    if [ "$e2e_passed" -gt 0 ]; then pass "end-to-end scenarios" "$e2e_passed"; fi
    if [ "$e2e_failed" -gt 0 ]; then fail "end-to-end scenarios" "$e2e_failed"; fi
  fi
fi

finish
