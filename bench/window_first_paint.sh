#!/usr/bin/env bash
# Time from starting the Linux window on a large file to its first complete paint.
#   bench/window_first_paint.sh [BUILD_DIR] [ROWS] [RUNS]
# Defaults: build-gtk, 10 000 000 rows of the mixed benchmark table, 3 runs. Builds what it needs
# in BUILD_DIR (with VELOPLOT_BENCH on, for make_big_csv), writes the table once into
# BUILD_DIR/bench-data, starts its own virtual X server and prints one line per run and the
# median. The wall time runs from the launch to the paint's trace line; the program's own count
# runs from its main() to the end of that paint.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-gtk}
rows=${2:-10000000}
runs=${3:-3}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELOPLOT_BENCH=ON >/dev/null
cmake --build "$build" --target veloplot make_big_csv -j 2 >/dev/null

data="$build/bench-data/window-mixed-$rows.csv"
if [ ! -s "$data" ]; then
  mkdir -p "$(dirname "$data")"
  "$build/bench/make_big_csv" "$data" "$rows"
fi

work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
  if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n 1 "$work/display")" GDK_BACKEND=x11 NO_AT_BRIDGE=1 VELOPLOT_TRACE_PAINT=1

now_ms() { echo $(($(date +%s%N) / 1000000)); }

walls=()
for run in $(seq "$runs"); do
  log="$work/run-$run.log"
  start=$(now_ms)
  "$build/veloplot" "$data" 2>"$log" &
  app_pid=$!
  line=""
  # A complete paint reaches the right edge of the client area.
  until line=$(grep -m 1 -E 'paint ([0-9]+)x[0-9]+ right \1:' "$log"); do
    if ! kill -0 "$app_pid" 2>/dev/null; then
      echo "veloplot ended before its first paint:" >&2
      cat "$log" >&2
      exit 1
    fi
    sleep 0.01
  done
  wall=$(($(now_ms) - start))
  kill "$app_pid"
  wait "$app_pid" 2>/dev/null || true
  app_pid=""
  walls+=("$wall")
  startup=$(grep -m 1 'start-up done' "$log")
  echo "run $run: ${wall} ms wall; ${startup#veloplot: }; ${line#veloplot: }"
done

median=$(printf '%s\n' "${walls[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
echo "first complete paint of a $rows-row file: median $median ms wall over $runs runs"
