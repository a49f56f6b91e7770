#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Everything CI checks, from a fresh Debian 12 machine: packages, the build, every test, a second build
# of the core and its tests with AddressSanitizer + UndefinedBehaviorSanitizer, a bounded fuzzing run,
# the window tests again under the Polish locale of our operators' desktops, and the Windows build of the
# link and hz70cli with its checks under Wine.
#   HZ70_FUZZ_SECONDS  seconds per fuzz target (default 30)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
bash "$root/scripts/setup.sh"

echo "== sanitizer build: core and unit tests"
cmake -S "$root" --preset asan >/dev/null
cmake --build "$root/build-asan" -j"$jobs"
ctest --test-dir "$root/build-asan" -L "^(comm|model|app|views|sim|cli)$" --output-on-failure -j"$jobs"

echo "== fuzzing"
bash "$root/scripts/fuzz.sh" "${HZ70_FUZZ_SECONDS:-30}"

echo "== build and every test"
cmake -S "$root" --preset full -DHZ70_REQUIRE_PEER_TESTS=ON >/dev/null
cmake --build "$root/build" -j"$jobs"
LANG=C.UTF-8 LC_ALL=C.UTF-8 ctest --test-dir "$root/build" --output-on-failure -j"$jobs"

echo "== window tests under pl_PL.UTF-8"
LANG=pl_PL.UTF-8 LC_ALL=pl_PL.UTF-8 ctest --test-dir "$root/build" -L gui --output-on-failure -j"$jobs"

echo "== Windows build and checks under Wine"
HZ70_SIM="$root/build/tools/hz70sim/hz70sim" bash "$root/scripts/windows.sh"
