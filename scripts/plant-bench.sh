#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A plant on this machine: GATEWAYS hz70cli gateways (default 50), each on its own hz70sim of 8 zones,
# one mosquitto broker killed and restarted halfway; messages per second, latency, CPU and memory per
# gateway, and states lost across the restart (not part of the test command: it takes about 1.5 min).
#   scripts/plant-bench.sh [GATEWAYS [SECONDS [OUTAGE_SECONDS]]]
# The report, the subscriber's log and each gateway's CSV land in build/plant-bench.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
cmake -S "$root" --preset full >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target hz70sim hz70cli
rm -rf "$root/build/plant-bench"
/usr/bin/python3 "$root/tests/soak/plant_bench.py" --build "$root/build" --out "$root/build/plant-bench" \
  --gateways "${1:-50}" --seconds "${2:-60}" --outage "${3:-10}"
