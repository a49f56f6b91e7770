#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Everything CI checks, from a fresh Debian 12 machine: packages; the layout of our C++ files; one build
# of the program, the tools, every test and the fuzz targets with AddressSanitizer and
# UndefinedBehaviorSanitizer (preset `asan`); every test, the window tests again under the Polish locale
# of our operators' desktops; a short fuzzing run; and the Windows build of the link and hz70cli with its
# checks under Wine. Ends with the time each stage took.
#   HZ70_FUZZ_SECONDS  seconds per fuzz target (default 10; scripts/fuzz.sh alone runs longer)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
cd "$root" # ctest finds its presets in the working directory

timings=()
stage() { # stage NAME COMMAND...: runs one stage and notes its time
  local name=$1 started=$SECONDS
  shift
  echo "== $name"
  "$@"
  timings+=("$(printf '%4d s  %s' $((SECONDS - started)) "$name")")
}
# The times so far, also when a stage fails.
report_times() {
  echo "== time of each stage"
  printf '%s\n' "${timings[@]}"
  printf '%4d s  in all\n' "$SECONDS"
}
trap report_times EXIT

# Our own C++ files as .clang-format lays them out (build folders hold only generated ones).
check_layout() {
  find "$root" \( -path "$root/build*" -o -path "$root/.*" \) -prune -o \
    -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format --dry-run -Werror
}

build() {
  cmake --preset asan -DHZ70_REQUIRE_PEER_TESTS=ON >/dev/null
  cmake --build build-asan -j"$jobs"
}

stage "packages" bash scripts/setup.sh
stage "layout of the C++ files" check_layout
stage "build with sanitizers" build
# Most tests wait on pseudo-terminals, peers and timers rather than on a processor, so twice as many run
# at once as there are processors; the few that time a cadence run alone (RUN_SERIAL).
stage "every test" ctest --preset asan -j$((2 * jobs))
stage "window tests under pl_PL.UTF-8" ctest --preset asan-pl -j"$jobs"
stage "fuzzing" bash scripts/fuzz.sh "${HZ70_FUZZ_SECONDS:-10}" asan
stage "Windows build and checks under Wine" env HZ70_SIM="$root/build-asan/tools/hz70sim/hz70sim" \
  bash scripts/windows.sh
