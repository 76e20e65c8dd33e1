#!/usr/bin/env bash
# A real public table for the benchmarks: the flight table of the npm package vega-datasets, made
# into a table our reader accepts, and the same table repeated in its own order to 30 000 000 rows.
#   bench/fetch_flights.sh [FOLDER]
# Writes FOLDER/flights.csv and FOLDER/flights-30M.csv; FOLDER is $VELOPLOT_CORPUS, or else
# veloplot-corpus in the temporary folder, where bench/load_bench reports every table it finds.
# The package goes into build-bench/npm-flights, which git ignores.
#
# flights-3m.csv (231 083 flights of January to March 2001, in time order) has the columns date
# (MMDDhhmm), delay (minutes), distance (miles), origin and destination (airport codes). Kept: the
# date as minutes since 1 January 00:00, the delay and the distance; the codes are text.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
folder=${1:-${VELOPLOT_CORPUS:-${TMPDIR:-/tmp}/veloplot-corpus}}
# The last release that ships the table as CSV; later ones have it as Parquet only.
package=vega-datasets@2.9.0
repeated_rows=30000000

npm_dir=$root/build-bench/npm-flights
source=$npm_dir/node_modules/vega-datasets/data/flights-3m.csv
if [ ! -s "$source" ]; then
  mkdir -p "$npm_dir"
  npm install --prefix "$npm_dir" --no-save --no-audit --no-fund --loglevel=error "$package"
fi

mkdir -p "$folder"
awk -F, '
  BEGIN {
    # Days before each month of 2001, not a leap year.
    split("0 31 59 90 120 151 181 212 243 273 304 334", daysBefore, " ")
    print "minute,delay,distance"
  }
  NR == 1 {
    if ($0 != "date,delay,distance,origin,destination") {
      print "fetch_flights: unexpected header: " $0 > "/dev/stderr"
      exit 1
    }
    next
  }
  {
    month = substr($1, 1, 2) + 0
    day = substr($1, 3, 2) + 0
    hour = substr($1, 5, 2) + 0
    minute = substr($1, 7, 2) + 0
    print ((daysBefore[month] + day - 1) * 24 + hour) * 60 + minute "," $2 "," $3
  }' "$source" >"$folder/flights.csv.partial"
mv "$folder/flights.csv.partial" "$folder/flights.csv"

awk -v total="$repeated_rows" '
  NR == 1 { print; next }
  { rows[++count] = $0 }
  END { for (i = 0; i < total; i++) print rows[i % count + 1] }' \
  "$folder/flights.csv" >"$folder/flights-30M.csv.partial"
mv "$folder/flights-30M.csv.partial" "$folder/flights-30M.csv"

for table in flights flights-30M; do
  echo "$folder/$table.csv: $(($(wc -l <"$folder/$table.csv") - 1)) rows," \
    "$(($(stat -c %s "$folder/$table.csv") / 1000000)) MB"
done
