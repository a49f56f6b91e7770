#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs HZ70wiz on a simulated heating system: hz70sim makes a pseudo-terminal with three controllers
# (addresses 1, 2, 3) and links it as ./COM1 in the demo folder, where the program then finds it.
#   scripts/run.sh [ZONES]   e.g. scripts/run.sh 1,2,3,4,5,6,7,8
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
zones=${1:-1,2,3}
bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target hz70sim hz70cli

demo="$root/build/demo"
mkdir -p "$demo"
cd "$demo"
"$root/build/tools/hz70sim/hz70sim" --zones "$zones" --link COM1 --mode 0 </dev/null &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true' EXIT
for _ in $(seq 50); do [[ -e COM1 ]] && break; sleep 0.1; done

cli="$root/build/tools/hz70cli/hz70cli"
IFS=, read -ra addresses <<<"$zones"
for address in "${addresses[@]}"; do
  echo "== zone at address $address"
  "$cli" --port COM1 --address "$address" identify
done
echo "== measured values (alarm, status, temperature x10, setpoint x10, power x10, current x10, leakage x10)"
for _ in $(seq 10); do
  for address in "${addresses[@]}"; do
    printf 'address %s: ' "$address"
    "$cli" --port COM1 --address "$address" read 4018 7 | awk 'NR > 1 { printf "%s ", $3 } END { print "" }'
  done
  sleep 1
done
