#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each one.
#   tests/fuzz/run_fuzzers.sh            run every target over its corpus once (seconds)
#   tests/fuzz/run_fuzzers.sh 600        fuzz every target for 600 s, growing a scratch corpus
# clang and its fuzzer runtime come from Debian's packages; they are installed if missing.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${1:-0}

if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  apt-get update -qq && apt-get install -y -qq clang libclang-rt-dev >/dev/null
fi

build=build-fuzz
CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELMATH_FUZZ=ON \
  -DKELMATH_BUILD_TESTS=OFF -DKELMATH_BUILD_BENCHMARKS=OFF -DKELMATH_BUILD_DEMOS=OFF >/dev/null
cmake --build "$build" -j2 >/dev/null

export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
if [ "$seconds" -eq 0 ]; then
  ctest --test-dir "$build" -L fuzz --output-on-failure
  exit 0
fi
for fuzzer in "$build"/tests/fuzz/*_fuzzer; do
  name=$(basename "$fuzzer" _fuzzer)
  work="$build/corpus/$name"
  mkdir -p "$work"
  "$fuzzer" -max_total_time="$seconds" -close_fd_mask=2 -max_len=4096 -timeout=10 \
    -print_final_stats=1 "$work" "tests/fuzz/corpus/$name"
done
