#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets with clang and runs each for a bounded time.
#   scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 30; any finding fails the run)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
build="$root/build-fuzz"

cmake -S "$root" --preset fuzz >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzzers

for fuzzer in "$build"/tests/fuzz/*Fuzz; do
  name=$(basename "$fuzzer")
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  echo "fuzz: $name for ${seconds}s"
  (cd "$build" && "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 "$corpus" 2>"$build/$name.log") || {
    tail -n 40 "$build/$name.log"
    echo "fuzz: $name found a fault (reproducer in $build)" >&2
    exit 1
  }
  grep -E '^stat::number_of_executed_units' "$build/$name.log" | sed "s/^/fuzz: $name /"
done
