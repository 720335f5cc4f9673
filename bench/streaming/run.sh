#!/bin/bash
# Benchmark (not a test): least squares on a CSV file larger than a program would like to hold,
# the `kelmath` command's streaming and MPI fits against the in-memory anchors R (data.table
# fread, lm) and statsmodels (pandas read_csv, OLS) and the out-of-core Dask lstsq; every fit's
# coefficients are compared with statsmodels' and with a long-double solution of the file's exact
# doubles (longdouble_reference.py), which says whose digits the differences are.
#
#   bench/streaming/run.sh [--kelmath PATH] [--work DIR] [--tools LIST] [--ranks LIST]
#                          [--memory-limit-mb MB] [--keep-data] ROWS...
#
# For each ROWS: make_regression_csv.cpp (compiled into DIR) writes DIR/regression_ROWS.csv
# (x1..x10, y, about 200 bytes a row), then each tool of LIST runs on it under /usr/bin/time -v
# (wall time, peak resident memory) with its address space limited to MB (default 22000), so a
# fit that does not fit fails with its own allocation error instead of waking the kernel's OOM
# killer. The markdown table goes to standard output as it grows, then the table of coefficient
# differences; each run's output stays in DIR/logs. A size's data are the same at every run, so
# the differences also use the coefficients an earlier run on the same DIR left there: the tools
# of one size may be run in several goes (say the slow reference alone). The data file is deleted after its size unless
# --keep-data.
#
#   --kelmath PATH  the built command (build/tools/kelmath/kelmath). Its rows are skipped, each
#                   with a line saying why, when PATH is not given, when `kelmath regress --help`
#                   has no --stream (the streaming row), or when the binary is not linked with
#                   MPI or mpirun is missing (the MPI rows).
#   --work DIR      where the data, the generator and the logs go (default /tmp/kelmath_streaming);
#                   never inside the repository.
#   --tools LIST    a subset of "write fread lm statsmodels reference dask kelmath" (the default:
#                   all; "write" only shows the generator's row).
#   --ranks LIST    the process counts of the MPI rows (default "1 2").
#
# Needs g++, R with r-cran-data.table, Debian's python3-pandas, python3-statsmodels and
# python3-dask (the system's /usr/bin/python3), GNU time (Debian package `time`), and for the MPI
# rows Open MPI's mpirun. Keep the folder's disk in mind: 10^7 rows are 2 GB, 5*10^7 rows 10 GB.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
python=/usr/bin/python3
kelmath=""
work=/tmp/kelmath_streaming
tools="write fread lm statsmodels reference dask kelmath"
ranks="1 2"
limit_mb=22000
keep_data=0
while [ $# -gt 0 ]; do
  case $1 in
    --kelmath) kelmath=$(cd "$(dirname "$2")" && pwd)/$(basename "$2"); shift 2 ;;
    --work) work=$2; shift 2 ;;
    --tools) tools=$2; shift 2 ;;
    --ranks) ranks=$2; shift 2 ;;
    --memory-limit-mb) limit_mb=$2; shift 2 ;;
    --keep-data) keep_data=1; shift ;;
    -*) echo "run.sh: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
if [ $# -eq 0 ]; then
  echo "usage: run.sh [--kelmath PATH] [--work DIR] [--tools LIST] [--ranks LIST]" \
    "[--memory-limit-mb MB] [--keep-data] ROWS..." >&2
  exit 2
fi
[ -x /usr/bin/time ] || { echo "run.sh: GNU time is missing (apt-get install time)" >&2; exit 1; }

mkdir -p "$work/logs"
work=$(cd "$work" && pwd)
repo=$(git -C "$here" rev-parse --show-toplevel 2>/dev/null || echo "$here")
case "$work/" in
  "$repo"/*) echo "run.sh: the work folder $work is inside the repository $repo" >&2; exit 2 ;;
esac
accuracy=$work/logs/accuracy.md
: > "$accuracy"

generator=$work/make_regression_csv
if [ ! -x "$generator" ] || [ "$here/make_regression_csv.cpp" -nt "$generator" ]; then
  ${CXX:-g++} -O2 -std=c++20 -ffp-contract=off -Wall -Wextra -o "$generator" "$here/make_regression_csv.cpp"
fi

has_tool() {
  case " $tools " in *" $1 "*) return 0 ;; *) return 1 ;; esac
}

# 1000000 -> 10^6, 50000000 -> 5·10^7; other counts as they are.
power_of_ten() {
  echo "$1" | awk '/^[1-9]0+$/ { print (substr($0, 1, 1) == "1" ? "" : substr($0, 1, 1) "·") \
                                   "10^" (length($0) - 1); next } { print }'
}

# Runs "$@" under /usr/bin/time -v with the address space limited; sets seconds, megabytes and
# status (the command's exit status). The command's output goes to logs/NAME.out, the time's
# report and the command's errors to logs/NAME.err.
measure() {
  name=$1
  shift
  status=0
  (ulimit -v $((limit_mb * 1024)) && exec /usr/bin/time -v "$@") \
    > "$work/logs/$name.out" 2> "$work/logs/$name.err" || status=$?
  read -r seconds megabytes < <(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0;
                                  for (i = 1; i <= n; ++i) s = s * 60 + t[i] }
                                /Maximum resident set size/ { kb = $2 }
                                END { printf "%.1f %.0f\n", s, kb / 1024 }' "$work/logs/$name.err")
}

# The phases an anchor printed ("phase read 1.234"), as "read 1.2 s, fit 2.9 s".
phases() {
  awk '$1 == "phase" { printf "%s%s %.1f s", (n++ ? ", " : ""), $2, $3 }' "$work/logs/$1.out"
}

# The last line the command wrote before the time's report: its own error message.
failure() {
  grep -v -e '^	' -e '^Command ' "$work/logs/$1.err" | tail -n 1 | cut -c1-120
}

json_size() {
  if [ -f "$1" ]; then echo "JSON $(( $(wc -c < "$1") / 1024 )) kB"; else echo "no JSON"; fi
}

row() {
  printf '| %s | %s | %s | %s | %s |\n' "$(power_of_ten "$rows")" "$1" "$2" "$3" "$4"
}

# One table row for the run named $2 shown as tool $1: its time and memory, and the note $3, or
# why it failed.
report() {
  if [ "$status" -eq 0 ]; then
    row "$1" "$seconds" "$megabytes" "$3"
  else
    row "$1" "$seconds" "$megabytes" "failed (exit $status): $(failure "$2")"
  fi
}

# Whether $1 holds coefficients: "truth", a non-empty JSON file, or an anchor's coefficient lines.
has_coefficients() {
  case $1 in
    truth) return 0 ;;
    *.json) [ -s "$1" ] ;;
    *) grep -q '^coefficient' "$1" 2>/dev/null ;;
  esac
}

# The largest relative difference of the coefficients in $2 from those in $1, or – when either
# is missing or both are the same file.
difference() {
  if [ "$1" != "$2" ] && has_coefficients "$1" && has_coefficients "$2"; then
    "$python" "$here/compare_coefficients.py" "$1" "$2" 2>&1
  else
    echo "–"
  fi
}

# One row of the accuracy table: the fit named $1, whose coefficients are in $2, against
# statsmodels' and against the long-double reference.
accuracy_row() {
  has_coefficients "$2" || return 0
  printf '| %s | %s | %s | %s |\n' "$(power_of_ten "$rows")" "$1" \
    "$(difference "$work/logs/statsmodels_$rows.out" "$2")" \
    "$(difference "$work/logs/reference_$rows.out" "$2")" >> "$accuracy"
}

run_anchors() {
  if has_tool fread; then
    measure "fread_$rows" Rscript "$here/fread_read.R" "$data"
    report "R data.table::fread (read only)" "fread_$rows" \
      "$(phases "fread_$rows"), threads: $(awk '$1 == "threads" { print $2 }' "$work/logs/fread_$rows.out")"
  fi
  if has_tool lm; then
    measure "lm_$rows" Rscript "$here/r_lm_fit.R" "$data"
    report "R fread + lm" "lm_$rows" "$(phases "lm_$rows")"
  fi
  if has_tool statsmodels; then
    measure "statsmodels_$rows" "$python" "$here/statsmodels_fit.py" "$data"
    report "pandas read_csv + statsmodels OLS" "statsmodels_$rows" "$(phases "statsmodels_$rows")"
  fi
  if has_tool reference; then
    measure "reference_$rows" "$python" "$here/longdouble_reference.py" "$data"
    report "long-double reference (blocks of 10^6 rows)" "reference_$rows" "$(phases "reference_$rows")"
  fi
  if has_tool dask; then
    measure "dask_$rows" "$python" "$here/dask_lstsq.py" "$data"
    report "Dask read_csv + da.linalg.lstsq" "dask_$rows" \
      "$(phases "dask_$rows"), blocks: $(awk '$1 == "blocks" { print $2 }' "$work/logs/dask_$rows.out")"
  fi
}

run_kelmath() {
  if [ -z "$kelmath" ]; then
    row "kelmath" "–" "–" "skipped: no --kelmath PATH given"
    return
  fi
  if "$kelmath" regress --help 2>/dev/null | grep -q -- --stream; then
    json=$work/logs/kelmath_stream_$rows.json
    measure "kelmath_stream_$rows" "$kelmath" regress "$data" --response y --stream --json "$json"
    report "kelmath regress --stream" "kelmath_stream_$rows" \
      "$(json_size "$json")"
    # The same with the four diagnostic plots, drawn from a pass more.
    json=$work/logs/kelmath_plots_$rows.json
    rm -rf "$work/logs/plots_$rows"
    measure "kelmath_plots_$rows" "$kelmath" regress "$data" --response y --stream --json "$json" \
      --plots "$work/logs/plots_$rows"
    report "kelmath regress --stream --plots" "kelmath_plots_$rows" \
      "$(json_size "$json"), $(grep -o '"passes": *[0-9]*' "$json" | tr -d '"'), plots: $(du -sk "$work/logs/plots_$rows" | cut -f1) kB"
  else
    row "kelmath regress --stream" "–" "–" "skipped: \`kelmath regress --help\` has no --stream"
  fi
  if ! command -v mpirun > /dev/null; then
    row "mpirun kelmath regress" "–" "–" "skipped: no mpirun"
    return
  fi
  if ! ldd "$kelmath" 2>/dev/null | grep -q libmpi; then
    row "mpirun kelmath regress" "–" "–" "skipped: kelmath is not linked with MPI"
    return
  fi
  for p in $ranks; do
    json=$work/logs/kelmath_mpi${p}_$rows.json
    measure "kelmath_mpi${p}_$rows" mpirun --allow-run-as-root --oversubscribe -np "$p" \
      "$kelmath" regress "$data" --response y --json "$json"
    report "mpirun -np $p kelmath regress" "kelmath_mpi${p}_$rows" \
      "peak of the largest process; $(json_size "$json")"
  done
}

# The accuracy rows of one size; the last compares the generator's b with the reference, the
# sampling error that sets the scale of the differences that matter to a user.
compare_size() {
  accuracy_row "R lm" "$work/logs/lm_$rows.out"
  accuracy_row "statsmodels OLS" "$work/logs/statsmodels_$rows.out"
  accuracy_row "Dask lstsq" "$work/logs/dask_$rows.out"
  accuracy_row "kelmath --stream" "$work/logs/kelmath_stream_$rows.json"
  for p in $ranks; do
    accuracy_row "mpirun -np $p kelmath" "$work/logs/kelmath_mpi${p}_$rows.json"
  done
  if has_coefficients "$work/logs/reference_$rows.out"; then
    accuracy_row "the generator's b (sampling error)" truth
  fi
}

echo "| rows | tool | seconds | peak MB | note |"
echo "|---:|---|---:|---:|---|"
for rows in "$@"; do
  data=$work/regression_$rows.csv
  if [ ! -f "$data" ]; then
    measure "write_$rows" "$generator" "$rows" "$work"
    [ "$status" -eq 0 ] || { report "make_regression_csv" "write_$rows" ""; exit 1; }
    has_tool write && report "make_regression_csv (C++)" "write_$rows" \
      "$(( $(wc -c < "$data") / 1048576 )) MB file"
  fi
  run_anchors
  has_tool kelmath && run_kelmath
  compare_size
  rm -f "$work"/logs/kelmath_*_"$rows".json
  [ "$keep_data" -eq 1 ] || rm -f "$data"
done
echo
echo "Largest relative difference over the 11 coefficients, and where:"
echo
echo "| rows | coefficients of | vs statsmodels | vs long-double reference |"
echo "|---:|---|---:|---:|"
cat "$accuracy"
