#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets with clang and runs each for a bounded time, one per processor at once.
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [PRESET]
# (default 30 s on the `fuzz` preset, optimised for long runs; the test command passes 10 s and `asan`,
# whose build already holds the targets). Any finding fails the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
preset=${2:-fuzz}
build="$root/build-$preset"
processors=$(nproc)

cmake -S "$root" --preset "$preset" >/dev/null
cmake --build "$build" -j"$processors" --target fuzzers

fuzz() { # fuzz TARGET: runs it; its output goes to build/NAME.log, its exit status to build/NAME.status
  local name status=0
  name=$(basename "$1")
  mkdir -p "$build/corpus/$name"
  (cd "$build" && "$1" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    "$build/corpus/$name" 2>"$build/$name.log") || status=$?
  echo "$status" >"$build/$name.status"
}

fuzzers=("$build"/tests/fuzz/*Fuzz)
for fuzzer in "${fuzzers[@]}"; do
  while (($(jobs -rp | wc -l) >= processors)); do
    wait -n || true
  done
  echo "fuzz: $(basename "$fuzzer") for ${seconds}s"
  fuzz "$fuzzer" &
done
wait

failed=0
for fuzzer in "${fuzzers[@]}"; do
  name=$(basename "$fuzzer")
  if [[ $(<"$build/$name.status") == 0 ]]; then
    grep -E '^stat::number_of_executed_units' "$build/$name.log" | sed "s/^/fuzz: $name /"
  else
    tail -n 40 "$build/$name.log"
    echo "fuzz: $name found a fault (reproducer in $build)" >&2
    failed=1
  fi
done
exit "$failed"
