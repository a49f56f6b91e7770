#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Soak and fault run of the program against the simulator (not part of the test command: it takes long),
# on a line that echoes, puts a stray byte before replies and is unplugged and plugged back in once.
#   scripts/soak.sh [MINUTES]   (default 20; the chart histories fill after 15 minutes)
# The report, the request log and screenshots land in build/soak.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
cmake -S "$root" --preset full >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target hz70sim hz70wiz
/usr/bin/python3 "$root/tests/soak/soak.py" --build "$root/build" --out "$root/build/soak" --minutes "${1:-20}"
