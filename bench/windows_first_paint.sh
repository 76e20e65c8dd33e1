#!/usr/bin/env bash
# Time from starting the Windows program on a large file to its first complete paint, and of
# one key handled and repainted, under wine on a virtual display (not a test).
#   bench/windows_first_paint.sh [ROWS] [RUNS]
# Defaults: 1 000 000 rows of the benchmark table, 5 runs. Builds the 32-bit program (or, where
# the kernel cannot start 32-bit programs, the 64-bit one for wine64) and the timer, writes the
# table once with make_big_csv, and makes a fresh wine prefix in a temporary folder.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
rows=${1:-1000000}
runs=${2:-5}

if /usr/lib/wine/wine --version >/dev/null 2>&1 </dev/null; then
  preset=windows build=$root/build-win loader=/usr/lib/wine/wine arch=win32
else
  preset=windows-x64 build=$root/build-win64 loader=/usr/lib/wine/wine64 arch=win64
  echo "this kernel cannot start 32-bit programs: timing the 64-bit build under wine64"
fi
cmake --preset "$preset" >/dev/null
cmake --build "$build" --target Veloplot win32_paint_timer -j 2 >/dev/null

host=$root/build-win-ref
cmake -S "$root" -B "$host" -DCMAKE_BUILD_TYPE=Release -DVELOPLOT_TESTS=OFF -DVELOPLOT_BENCH=ON \
  >/dev/null
cmake --build "$host" --target make_big_csv -j 2 >/dev/null
data_dir=$host/bench-data
data=window-$rows.csv
if [ ! -s "$data_dir/$data" ]; then
  mkdir -p "$data_dir"
  "$host/bench/make_big_csv" "$data_dir/$data" "$rows"
fi

work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  if [ -d "$work/prefix" ]; then WINEPREFIX=$work/prefix wineserver -k >/dev/null 2>&1 || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null </dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n 1 "$work/display")" WINEPREFIX=$work/prefix WINEARCH=$arch \
  WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$loader" wineboot -i >"$work/wine.log" 2>&1 </dev/null
wineserver -w >/dev/null 2>&1 </dev/null
setsid wineserver -p >/dev/null 2>&1 </dev/null
"$loader" cmd /c exit >>"$work/wine.log" 2>&1 </dev/null

windows_path() { printf 'Z:%s' "${1//\//\\}"; }
echo "$(wc -c <"$data_dir/$data") bytes, $rows rows; $(basename "$build")/Veloplot.exe under $(basename "$loader")"
cd "$data_dir"
"$loader" "$build/win32_paint_timer.exe" "$(windows_path "$build/Veloplot.exe")" "$data" "$runs" \
  >"$work/timer.log" 2>&1 </dev/null || {
  cat "$work/timer.log"
  exit 1
}
cat "$work/timer.log"
