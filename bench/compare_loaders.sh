#!/usr/bin/env bash
# Whole loads of the same tables, timed side by side in one run: veloplot-render --print-state (our
# start-up on one thread: read, scale, print the state) against nodejs-polars readCSV and DuckDB
# read_csv, each asked for every column's minimum and maximum (both on every core), and pandas
# read_csv (one thread).
#   bench/compare_loaders.sh [RUNS] [TABLE...]
# Defaults: 3 runs of mixed, ints, flights and flights-30M. A TABLE is a name in the corpus folder
# ($VELOPLOT_CORPUS, or else veloplot-corpus in the temporary folder; missing corpus tables and
# the flight tables are written there first) or the path of a CSV file.
# Builds veloplot-render in build-bench (Release) and installs the npm peers, pinned by
# bench/peers/package-lock.json, into build-bench/npm-peers; pandas is Debian's python3-pandas
# (scripts/setup-debian.sh --bench).
# Each round runs every tool once, the order rotated from round to round as this machine's speed
# drifts. Printed per table and tool: the median and range of the wall times of the whole
# process, the ratio of the median to veloplot-render's, the median of the tool's own timing of
# reading and scanning (peers only), and the rows it read.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-3}
shift || true
tables=("$@")
if [ ${#tables[@]} -eq 0 ]; then tables=(mixed ints flights flights-30M); fi
folder=${VELOPLOT_CORPUS:-${TMPDIR:-/tmp}/veloplot-corpus}
build=$root/build-bench
peers=$build/npm-peers
python=/usr/bin/python3
tools=(veloplot-render polars duckdb pandas)

if ! "$python" -c 'import pandas' 2>/dev/null || ! command -v npm >/dev/null; then
  echo "compare_loaders: pandas or npm is missing; run scripts/setup-debian.sh --bench" >&2
  exit 2
fi

# Ninja for a new tree; an existing one keeps its generator.
CMAKE_GENERATOR=${CMAKE_GENERATOR:-Ninja} cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
  -DVELOPLOT_BENCH=ON >/dev/null
cmake --build "$build" --target veloplot-render make_big_csv -j 2 >/dev/null

if [ ! -d "$peers/node_modules" ] ||
  ! cmp -s "$root/bench/peers/package-lock.json" "$peers/package-lock.json"; then
  mkdir -p "$peers"
  cp "$root/bench/peers/package.json" "$root/bench/peers/package-lock.json" "$peers/"
  (cd "$peers" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
fi
# Beside their node_modules, where node looks for the packages.
cp "$root"/bench/peers/*.js "$root"/bench/peers/*.py "$peers/"

path_of() {
  case $1 in
    */* | *.csv) echo "$1" ;;
    *) echo "$folder/$1.csv" ;;
  esac
}

mkdir -p "$folder"
for table in "${tables[@]}"; do
  file=$(path_of "$table")
  [ -s "$file" ] && continue
  case $table in
    flights | flights-30M) bash "$root/bench/fetch_flights.sh" "$folder" ;;
    *) "$build/bench/make_big_csv" --shape "$table" "$file" ;;
  esac
done

# One run of one tool: prints the wall milliseconds, the rows read and the tool's own seconds.
run_tool() {
  local tool=$1 file=$2 out start end rows own
  start=$(date +%s%N)
  case $tool in
    veloplot-render) out=$("$build/veloplot-render" --print-state "$file") || out=failed ;;
    polars) out=$(cd "$peers" && node polars_load.js "$file") || out=failed ;;
    duckdb) out=$(cd "$peers" && node duckdb_load.js "$file") || out=failed ;;
    pandas) out=$("$python" "$peers/pandas_load.py" "$file") || out=failed ;;
  esac
  end=$(date +%s%N)
  if [ "$tool" = veloplot-render ]; then
    rows=$(grep -o '"rows": [0-9]*' <<<"$out" | head -n 1 | cut -d' ' -f2)
    own=-
  else
    rows=$(sed -n 's/.*rows=\([0-9]*\).*/\1/p' <<<"$out")
    own=$(sed -n 's/.*seconds=\([0-9.]*\).*/\1/p' <<<"$out")
  fi
  echo "$(((end - start) / 1000000)) ${rows:-?} ${own:-?}"
}

results=$(mktemp)
trap 'rm -f "$results"' EXIT
echo "compare_loaders: $runs rounds; $(uptime)"
for table in "${tables[@]}"; do
  file=$(path_of "$table")
  for ((round = 0; round < runs; round++)); do
    for ((i = 0; i < ${#tools[@]}; i++)); do
      tool=${tools[$(((round + i) % ${#tools[@]}))]}
      echo "$table $tool $(run_tool "$tool" "$file")" >>"$results"
    done
  done
  echo
  echo "$table: $file, $(($(stat -c %s "$file") / 1000000)) MB"
  printf '%-16s %9s %17s %7s %9s %10s\n' tool "median s" "range s" ratio "own s" rows
  for tool in "${tools[@]}"; do
    awk -v table="$table" -v tool="$tool" '$1 == table && $2 == tool' "$results" | sort -k3,3n
  done | awk '
    function median(values, count) {
      return count % 2 ? values[(count + 1) / 2] : (values[count / 2] + values[count / 2 + 1]) / 2
    }
    {
      tool = $2
      if (!(tool in count)) order[++tools] = tool
      wall[tool, ++count[tool]] = $3 / 1000
      rowsSeen[tool] = rowsSeen[tool] == "" || rowsSeen[tool] == $4 ? $4 : "varied"
      if ($5 != "-" && $5 != "?") own[tool, ++ownCount[tool]] = $5
    }
    END {
      for (t = 1; t <= tools; t++) {
        tool = order[t]
        for (i = 1; i <= count[tool]; i++) values[i] = wall[tool, i]
        medians[tool] = median(values, count[tool])
        # Own timings, sorted for their median; the wall times came sorted.
        n = ownCount[tool]
        for (i = 1; i <= n; i++) ownValues[i] = own[tool, i]
        for (i = 2; i <= n; i++) {
          for (j = i; j > 1 && ownValues[j - 1] > ownValues[j]; j--) {
            swap = ownValues[j]; ownValues[j] = ownValues[j - 1]; ownValues[j - 1] = swap
          }
        }
        ownMedian[tool] = n > 0 ? sprintf("%.2f", median(ownValues, n)) : "-"
        range[tool] = sprintf("%.2f-%.2f", wall[tool, 1], wall[tool, count[tool]])
      }
      base = medians["veloplot-render"]
      for (t = 1; t <= tools; t++) {
        tool = order[t]
        check = rowsSeen[tool] == rowsSeen["veloplot-render"] ? "" : "  (rows differ)"
        printf "%-16s %9.2f %17s %6.2fx %9s %10s%s\n", tool, medians[tool], range[tool],
               medians[tool] / base, ownMedian[tool], rowsSeen[tool], check
      }
    }'
done
echo
echo "compare_loaders: done; $(uptime)"
