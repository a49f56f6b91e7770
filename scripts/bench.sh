#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds and runs the benchmarks: the link's poll step and reply parsing, then what the trend chart's
# tick, redraw and memory cost with full histories (on Qt's offscreen platform; it fails when a figure
# is over its budget).
#   scripts/bench.sh [OPTIONS]   options go to the link's benchmarks, e.g. --benchmark_filter=Polled
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
cmake -S "$root" --preset bench >/dev/null
cmake --build "$root/build-bench" -j"$(nproc)" --target hz70_bench hz70_chart_bench
"$root/build-bench/tests/bench/hz70_bench" "$@"
"$root/build-bench/tests/bench/hz70_chart_bench"
