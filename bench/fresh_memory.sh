#!/usr/bin/env bash
# Where the time of a whole-file load goes, by perf's CPU-clock samples (a software clock, so it
# works in virtual machines without hardware counters): the reader's own code, the kernel handing
# out fresh pages for the columns (faults on anonymous memory, mostly zeroing them), reading the
# file, and the rest of the kernel (program start, file-backed faults, freeing at exit). Each
# table is loaded twice: right after a load of the same table, whose freed pages the next one
# reuses, and after a pause of PAUSE seconds (8), in which this machine's host takes freed memory
# back, as on a machine that was idle before start-up.
#   bench/fresh_memory.sh [TABLE...]      PAUSE=seconds bench/fresh_memory.sh ...
# Defaults: mixed, ints and flights-30M. A TABLE is a name in the corpus folder ($VELOPLOT_CORPUS,
# or else veloplot-corpus in the temporary folder, as bench/load_bench and bench/fetch_flights.sh
# write it) or the path of a CSV file. Needs perf (linux-perf, scripts/setup-debian.sh --bench);
# builds load_peak in build-bench.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
tables=("$@")
if [ ${#tables[@]} -eq 0 ]; then tables=(mixed ints flights-30M); fi
folder=${VELOPLOT_CORPUS:-${TMPDIR:-/tmp}/veloplot-corpus}
build=$root/build-bench
frequency=4000
pause=${PAUSE:-8}

if ! command -v perf >/dev/null; then
  echo "fresh_memory: perf is missing; run scripts/setup-debian.sh --bench" >&2
  exit 2
fi
# Ninja for a new tree; an existing one keeps its generator.
CMAKE_GENERATOR=${CMAKE_GENERATOR:-Ninja} cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
  -DVELOPLOT_BENCH=ON >/dev/null
cmake --build "$build" --target load_peak -j 2 >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%-14s %-13s %5s %6s | %7s %12s %8s %7s\n' table loaded MB "CPU s" reader \
  "fresh pages" reading kernel
for table in "${tables[@]}"; do
  case $table in
    */* | *.csv) file=$table ;;
    *) file=$folder/$table.csv ;;
  esac
  if [ ! -s "$file" ]; then
    echo "fresh_memory: no $file (bench/load_bench and bench/fetch_flights.sh write the corpus)" >&2
    exit 1
  fi
  for condition in "back to back" "after ${pause} s"; do
    if [ "$condition" = "back to back" ]; then
      "$build/bench/load_peak" "$file" >/dev/null
    else
      sleep "$pause"
    fi
    perf record -q -e cpu-clock -F "$frequency" -g -o "$work/perf.data" -- \
      "$build/bench/load_peak" "$file" >/dev/null 2>"$work/perf.log"
    perf script -i "$work/perf.data" -F comm,ip,sym 2>/dev/null | awk \
      -v table="$(basename "$file" .csv)" -v condition="$condition" \
      -v mb="$(($(stat -c %s "$file") / 1000000))" -v frequency="$frequency" '
      # A sample is a line naming the command, then its call chain, innermost frame first.
      function tally(   kind) {
        if (chain ~ / exc_page_fault/) {
          kind = chain ~ / (do_fault|filemap_[a-z_]*) / ? "kernel" : "fresh"
        } else if (chain ~ / (ksys_read|vfs_read) /) {
          kind = "reading"
        } else if (innermost ~ /^ffffffff/) {
          kind = "kernel"
        } else {
          kind = "reader"
        }
        count[kind]++
        total++
      }
      /^[^ \t]/ { if (inSample) tally(); inSample = 1; chain = " "; innermost = ""; next }
      /^[ \t]*$/ { if (inSample) tally(); inSample = 0; next }
      { if (innermost == "") innermost = $1; chain = chain $2 " " }
      END {
        if (inSample) tally()
        printf "%-14s %-13s %5d %6.2f | %6.0f%% %11.0f%% %7.0f%% %6.0f%%\n", table, condition, mb,
               total / frequency,
               100 * count["reader"] / total, 100 * count["fresh"] / total,
               100 * count["reading"] / total, 100 * count["kernel"] / total
      }'
  done
done
echo "Shares of the CPU time of a load by bench/load_peak ($frequency samples a second)."
