#!/usr/bin/env bash
# Builds the CSV reader's fuzz target with clang (libFuzzer, ASan, UBSan) and runs it.
# Usage: scripts/fuzz-csv.sh [BUILD_DIR] [SECONDS]    defaults: build-csv-fuzz, 60
# Inputs that break it land in BUILD_DIR as crash-*; rerun one with: BUILD_DIR/csv_reader_fuzz FILE
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build-csv-fuzz}")
seconds=${2:-60}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DVELOPLOT_FUZZ=ON -DVELOPLOT_TESTS=OFF -DVELOPLOT_BENCH=ON \
  >/dev/null
cmake --build "$build" --target csv_reader_fuzz make_big_csv -j2

# Seeds of every benchmark shape, small enough for the length limit, written by the benchmark's
# own generator so that they follow it.
shapes=$build/shape-seeds
mkdir -p "$shapes"
for shape in $("$build/bench/make_big_csv" --list | cut -d' ' -f1); do
  "$build/bench/make_big_csv" --shape "$shape" --bytes 3000 "$shapes/$shape.csv"
done

# New inputs go to a working corpus in the build folder; the seeds in the tree stay as written.
corpus=$build/csv-corpus
mkdir -p "$corpus"
"$build/csv_reader_fuzz" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
  -dict="$root/tests/fuzz/csv.dict" -artifact_prefix="$build/" \
  "$corpus" "$root/tests/fuzz/corpus" "$shapes"
