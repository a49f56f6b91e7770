#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Long run of the settings crash test (not part of the test command): the save is killed with SIGKILL at
# random moments until KILLS kills have landed inside a save, and after every kill the settings file must
# be the old one or the new one, byte for byte. TMPDIR chooses the file system it runs on; on a tmpfs a
# save is so short that many more kills miss it.
#   scripts/crash.sh [KILLS]   (default 1000)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kills=${1:-1000}
build="$root/build"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" --preset full >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target app_tests
echo "crash: $kills kills inside a save wanted, folder in ${TMPDIR:-/tmp} ($(df -T "${TMPDIR:-/tmp}" | awk 'NR==2 {print $2}'))"
HZ70_CRASH_KILLS="$kills" "$build/tests/app_tests" --gtest_filter='SettingsCrash.*' --gtest_brief=1
