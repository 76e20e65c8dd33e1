#!/usr/bin/env bash
# The Windows checks of the shipped 32-bit Veloplot.exe: cross-builds it and its unit tests, checks
# what kind of program it is, and runs the unit tests and the end-to-end scenarios under wine on a
# virtual display. Ends with one line "windows: N passed, N failed".
#
# The 32-bit program needs the 32-bit wine loader, and so a kernel that starts 32-bit programs or
# qemu-user in its place (scripts/i386-route.sh registers it); where neither can be had, the
# suite says why and fails. The wine prefix is 64-bit, made by wine64, and the program runs in it
# as on 64-bit Windows. Under qemu every start of a 32-bit program takes about a minute, so the
# prefix is made while the build runs, and the tests start few programs.
#
# Environment: VELOPLOT_RENDER  a Linux veloplot-render to compare against (else built here)
#              JOBS             parallel build and test jobs (default 2)
set -uo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=${JOBS:-2}
passed=0
failed=0
work=$(mktemp -d /tmp/veloplot-windows-XXXXXX)
xvfb_pid=""
boot_pid=""

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
  if [ -n "$boot_pid" ]; then kill "$boot_pid" 2>/dev/null || true; fi
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k >/dev/null 2>&1 </dev/null || true
  fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

wine64=/usr/lib/wine/wine64
missing_tools() {
  local tool
  for tool in cmake ninja i686-w64-mingw32-g++-posix i686-w64-mingw32-windres Xvfb xdotool \
    import wineserver "$wine64"; do
    command -v "$tool" >/dev/null 2>&1 || printf ' %s' "$tool"
  done
  /usr/bin/python3 -c 'import PIL' >/dev/null 2>&1 || printf ' python3-pil'
}
if [ -n "$(missing_tools)" ]; then
  note "installing what is missing:$(missing_tools)"
  bash "$repo/scripts/setup-debian.sh" >"$work/setup.log" 2>&1 </dev/null ||
    tail -20 "$work/setup.log"
fi
if [ -n "$(missing_tools)" ]; then
  fail "tools present (missing:$(missing_tools))"
  finish
fi

# shellcheck source=scripts/i386-route.sh
source "$repo/scripts/i386-route.sh"
if ! open_i386_route; then
  fail "$i386_problem"
  finish
fi
note "32-bit programs start here: $i386_route"

# A display and a fresh prefix of our own, the prefix made in the background meanwhile.
export WINEPREFIX=$work/prefix
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
Xvfb -displayfd 4 -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 </dev/null \
  4>"$work/display" &
xvfb_pid=$!
for _ in $(seq 100); do
  if [ -s "$work/display" ]; then break; fi
  sleep 0.1
done
display=$(head -n 1 "$work/display")
export DISPLAY=:$display
("$wine64" wineboot -i && wineserver -w) >"$work/wineboot.log" 2>&1 </dev/null &
boot_pid=$!

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

note "cross-building the 32-bit program and its tests"
build_dir=$repo/build-win
if cmake --preset windows -DVELOPLOT_RENDER_EXE="$render" >"$work/win32.log" 2>&1 </dev/null &&
  cmake --build --preset windows -j "$jobs" >>"$work/win32.log" 2>&1 </dev/null; then
  pass "32-bit cross build"
else
  tail -40 "$work/win32.log"
  fail "32-bit cross build"
fi

if /usr/bin/python3 "$repo/tests/e2e/check_pe.py" --objdump i686-w64-mingw32-objdump \
  "$build_dir/Veloplot.exe"; then
  pass "Veloplot.exe is a 32-bit GUI program needing system DLLs only"
else
  fail "Veloplot.exe is a 32-bit GUI program needing system DLLs only"
fi

note "wine prefix $WINEPREFIX on display $DISPLAY"
wait "$boot_pid"
boot_status=$?
boot_pid=""
if [ $boot_status -ne 0 ]; then
  tail -20 "$work/wineboot.log"
  fail "wineboot of a fresh prefix"
  finish
fi
# A lasting server, and wine's own service processes started now with their output in a file:
# started by the first test instead, they would inherit ctest's pipe and hold it open.
setsid wineserver -p >/dev/null 2>&1 </dev/null
"$wine64" cmd /c exit >>"$work/wineboot.log" 2>&1 </dev/null

note "unit tests under wine ($i386_route)"
unit_log=$work/unit.log
(cd "$build_dir" && ctest -E 'windows_e2e|make_icons_test' -V -j "$jobs" --timeout 600 \
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

note "end-to-end scenarios ($i386_route)"
if [ -z "$render" ]; then
  fail "end-to-end scenarios (no veloplot-render to compare with)"
else
  e2e_log=$work/e2e.log
  /usr/bin/python3 "$repo/tests/e2e/win_e2e.py" --exe "$build_dir/Veloplot.exe" \
    --probe "$build_dir/tests/e2e/win32_text_probe.exe" --render "$render" \
    --wine "$wine32_loader" --prefix "$WINEPREFIX" --display "$DISPLAY" >"$e2e_log" 2>&1 \
    </dev/null
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
