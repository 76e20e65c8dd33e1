#!/usr/bin/env bash
# From a csv file to a 1000 x 700 PNG scatter plot of its first two columns, end to end:
# veloplot-render against gnuplot (pngcairo, dots) and matplotlib (Agg, pixel markers).
#   bench/compare_tools.sh [BUILD_DIR] [ROWS] [RUNS]
# Defaults: build-bench, 10 000 000 rows of the mixed benchmark table, 3 runs. Builds what it
# needs in BUILD_DIR (with VELOPLOT_BENCH on, for make_big_csv), writes the table once into
# BUILD_DIR/bench-data, and prints each tool's median wall time and how many times slower than
# veloplot-render it is. The pictures are left in BUILD_DIR/bench-data for a look.
# gnuplot and matplotlib come with scripts/setup-debian.sh --bench.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-bench}
rows=${2:-10000000}
runs=${3:-3}

python=""
for candidate in /usr/bin/python3 python3; do
  if command -v "$candidate" >/dev/null && "$candidate" -c 'import matplotlib' 2>/dev/null; then
    python=$candidate
    break
  fi
done
if ! command -v gnuplot >/dev/null || [ -z "$python" ]; then
  echo "compare_tools: gnuplot or matplotlib is missing; run scripts/setup-debian.sh --bench" >&2
  exit 2
fi

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELOPLOT_BENCH=ON >/dev/null
cmake --build "$build" --target veloplot-render make_big_csv -j 2 >/dev/null

out="$build/bench-data"
data="$out/compare-mixed-$rows.csv"
mkdir -p "$out"
if [ ! -s "$data" ]; then "$build/bench/make_big_csv" "$data" "$rows"; fi

cat >"$out/compare.gp" <<EOF
set terminal pngcairo size 1000,700
set output '$out/gnuplot.png'
set datafile separator ','
plot '$data' using 1:2 skip 1 with dots notitle
EOF

cat >"$out/compare.py" <<'EOF'
import sys
import matplotlib
matplotlib.use("Agg")
import matplotlib.pyplot as plt
import numpy as np

data = np.loadtxt(sys.argv[1], delimiter=",", skiprows=1, usecols=(0, 1))
figure = plt.figure(figsize=(10, 7), dpi=100)
plt.plot(data[:, 0], data[:, 1], ",")
figure.savefig(sys.argv[2])
EOF

# Median wall time in seconds of `runs` runs of the command.
median_seconds() {
  local times=() start end
  for ((run = 0; run < runs; run++)); do
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    times+=("$(((end - start) / 1000000))")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{t[NR] = $1} END {printf "%.3f", t[int((NR + 1) / 2)] / 1000}'
}

echo "$rows rows, $(du -h "$data" | cut -f1) csv, median of $runs runs"
veloplot=$(median_seconds "$build/veloplot-render" -o "$out/veloplot.png" "$data")
gnuplot_time=$(median_seconds gnuplot "$out/compare.gp")
matplotlib_time=$(median_seconds "$python" "$out/compare.py" "$data" "$out/matplotlib.png")

report() { awk -v name="$1" -v t="$2" -v base="$veloplot" \
  'BEGIN {printf "%-16s %8.2f s  %6.1f x\n", name, t, t / base}'; }
report veloplot-render "$veloplot"
report gnuplot "$gnuplot_time"
report matplotlib "$matplotlib_time"
