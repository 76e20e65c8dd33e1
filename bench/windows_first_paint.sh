#!/usr/bin/env bash
# Time from starting the Windows program on a large file to its first complete paint, and of
# one key handled and repainted, under wine on a virtual display (not a test).
#   bench/windows_first_paint.sh [ROWS] [RUNS]
# Defaults: 1 000 000 rows of the mixed benchmark table, 5 runs. Times the shipped 32-bit program
# (with wine's 32-bit loader, natively or through qemu-user where the kernel cannot start 32-bit
# programs, see scripts/i386-route.sh) and then the 64-bit build of the same sources under
# wine64, each with its own build of the timer, in one fresh 64-bit wine prefix in a temporary
# folder; writes the table once with make_big_csv.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
rows=${1:-1000000}
runs=${2:-5}

# shellcheck source=scripts/i386-route.sh
source "$root/scripts/i386-route.sh"
open_i386_route || {
  echo "$i386_problem"
  exit 1
}
for preset in windows windows-x64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target Veloplot win32_paint_timer >/dev/null
done

host=$root/build-win-ref
cmake -S "$root" -B "$host" -DCMAKE_BUILD_TYPE=Release -DVELOPLOT_TESTS=OFF -DVELOPLOT_BENCH=ON \
  >/dev/null
cmake --build "$host" --target make_big_csv -j 2 >/dev/null
data_dir=$host/bench-data
data=window-mixed-$rows.csv
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
wine64=/usr/lib/wine/wine64
export DISPLAY=":$(head -n 1 "$work/display")" WINEPREFIX=$work/prefix WINEARCH=win64 \
  WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$wine64" wineboot -i >"$work/wine.log" 2>&1 </dev/null
wineserver -w >/dev/null 2>&1 </dev/null
setsid wineserver -p >/dev/null 2>&1 </dev/null
"$wine64" cmd /c exit >>"$work/wine.log" 2>&1 </dev/null

windows_path() { printf 'Z:%s' "${1//\//\\}"; }
echo "$(wc -c <"$data_dir/$data") bytes, $rows rows"
cd "$data_dir"
time_build() {  # build folder, loader, how it runs
  echo "$(basename "$1")/Veloplot.exe, $3:"
  "$2" "$1/win32_paint_timer.exe" "$(windows_path "$1/Veloplot.exe")" "$data" "$runs" \
    >"$work/timer.log" 2>&1 </dev/null || {
    cat "$work/timer.log"
    exit 1
  }
  cat "$work/timer.log"
}
time_build "$root/build-win" "$wine32_loader" "32-bit, wine's 32-bit loader ($i386_route)"
time_build "$root/build-win64" "$wine64" "64-bit, wine64 (native)"
