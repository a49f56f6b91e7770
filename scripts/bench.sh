#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds and runs the benchmarks (release build).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DHZ70_CORE_ONLY=ON \
  -DBUILD_TESTING=ON >/dev/null
cmake --build "$root/build-bench" -j"$(nproc)" --target hz70_bench
"$root/build-bench/tests/bench/hz70_bench" "$@"
