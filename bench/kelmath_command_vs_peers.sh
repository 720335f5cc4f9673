#!/bin/sh
# Benchmark (not a test): the default run of the `kelmath` command against statsmodels and R on
# generated data of 10 columns (y, x1..x9), at each size, one after the other on the same file:
#
#   kelmath regress data.csv --response y            (and once more with --json)
#   /usr/bin/python3 kelmath_command/statsmodels_regress.py data.csv
#   Rscript kelmath_command/r_regress.R data.csv
#
# Each run is timed by /usr/bin/time -v: wall time and peak resident memory. The table goes to
# standard output; the data files (not kept in the repository) and the outputs to WORKDIR.
#
#   bench/kelmath_command_vs_peers.sh KELMATH [WORKDIR] [ROWS...]
#
# KELMATH is the built command (build/tools/kelmath/kelmath); ROWS default to 100000 1000000
# 2000000. Set SKIP_R=1 to leave R out (it takes minutes at 2e6 rows). Needs python3-numpy,
# python3-pandas and python3-statsmodels from Debian (the system's /usr/bin/python3) and R.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
kelmath=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
work=${2:-/tmp/kelmath_bench}
shift $(( $# >= 2 ? 2 : 1 ))
sizes=${*:-100000 1000000 2000000}
mkdir -p "$work"

# Runs a command under /usr/bin/time -v; prints "seconds megabytes".
measure() {
  name=$1
  shift
  /usr/bin/time -v "$@" > "$work/$name.out" 2> "$work/$name.time"
  awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0;
                for (i = 1; i <= n; ++i) s = s * 60 + t[i] }
              /Maximum resident set size/ { kb = $2 }
              END { printf "%.2f %.0f", s, kb / 1024 }' "$work/$name.time"
}

printf '%-9s %-22s %9s %9s %s\n' rows tool seconds "peak MB" note
for rows in $sizes; do
  data=$work/data_$rows.csv
  [ -f "$data" ] || /usr/bin/python3 "$here/kelmath_command/make_data.py" "$rows" "$data"
  set -- $(measure "kelmath_$rows" "$kelmath" regress "$data" --response y)
  printf '%-9s %-22s %9s %9s %s\n' "$rows" kelmath "$1" "$2" \
    "summary $(wc -l < "$work/kelmath_$rows.out") lines"
  set -- $(measure "kelmath_json_$rows" "$kelmath" regress "$data" --response y \
    --json "$work/result_$rows.json")
  printf '%-9s %-22s %9s %9s %s\n' "$rows" "kelmath --json" "$1" "$2" \
    "JSON $(( $(wc -c < "$work/result_$rows.json") / 1048576 )) MB"
  rm -f "$work/result_$rows.json"
  set -- $(measure "statsmodels_$rows" /usr/bin/python3 "$here/kelmath_command/statsmodels_regress.py" "$data")
  printf '%-9s %-22s %9s %9s %s\n' "$rows" statsmodels "$1" "$2" \
    "$(grep 'influential rows' "$work/statsmodels_$rows.out")"
  if [ "${SKIP_R:-0}" != 1 ]; then
    set -- $(measure "r_$rows" Rscript "$here/kelmath_command/r_regress.R" "$data")
    printf '%-9s %-22s %9s %9s %s\n' "$rows" "R" "$1" "$2" \
      "$(grep 'influential rows' "$work/r_$rows.out")"
  fi
done
