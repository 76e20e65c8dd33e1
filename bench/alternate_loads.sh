#!/usr/bin/env bash
# Whole loads of one file by several builds of veloplot-render in turn, each after a pause: the
# way to compare builds on a machine whose speed drifts, and whose host backs fresh memory again
# slowly once a pause lets it take it back.
#   bench/alternate_loads.sh ROUNDS PAUSE FILE NAME=PROGRAM...
# Each round runs every PROGRAM once (`PROGRAM --print-state FILE`), each after PAUSE seconds.
# Printed per NAME: the median, range and sorted wall times, and the median system time, seconds.
set -euo pipefail

if [ $# -lt 4 ]; then
  echo "usage: bench/alternate_loads.sh ROUNDS PAUSE FILE NAME=PROGRAM..." >&2
  exit 2
fi
rounds=$1 pause=$2 file=$3
shift 3
for ((round = 0; round < rounds; round++)); do
  for build in "$@"; do
    sleep "$pause"
    /usr/bin/time -f "${build%%=*} %e %S" "${build#*=}" --print-state "$file" 2>&1 >/dev/null |
      tail -n 1
  done
done | sort -k1,1 -k2,2n | awk '
  function median(values, count) {
    return count % 2 ? values[(count + 1) / 2] : (values[count / 2] + values[count / 2 + 1]) / 2
  }
  {
    if (!($1 in count)) order[++names] = $1
    n = ++count[$1]
    wall[$1, n] = $2
    times[$1] = times[$1] " " $2
    sys[$1, n] = $3
  }
  END {
    for (i = 1; i <= names; i++) {
      name = order[i]
      for (k = 1; k <= count[name]; k++) { w[k] = wall[name, k]; s[k] = sys[name, k] }
      # The system times sorted for their median; the wall times came sorted.
      for (k = 2; k <= count[name]; k++) {
        for (j = k; j > 1 && s[j - 1] > s[j]; j--) { t = s[j]; s[j] = s[j - 1]; s[j - 1] = t }
      }
      printf "%-12s median %.2f s, %.2f-%.2f, system %.2f s:%s\n", name, median(w, count[name]),
             w[1], w[count[name]], median(s, count[name]), times[name]
    }
  }'
