#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows build and its checks, from a fresh Debian 12 machine: installs the MinGW-w64 cross
# compiler and Wine when they are missing, cross-builds hz70cli.exe and the Windows tests in
# build-windows/ (linked statically, so they run on a bare Windows), builds hz70sim for this machine,
# and runs the checks under Wine (tests/windows/run-checks.sh). No Qt for Windows here: the desktop
# program's Windows build is not made. About a minute and a half on 2 cores from a clean build-windows/.
set -euo pipefail
source "$(dirname "$0")/lib/packages.sh"
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
build=$root/build-windows

packages=(
  g++-mingw-w64-x86-64-posix wine wine64 googletest  # the cross build, its tests and Wine
  cmake ninja-build g++ python3                       # hz70sim for this machine, the line peer
  pkg-config libmosquitto-dev                         # the host build configures the publisher too
)
install_missing "${packages[@]}"

echo "== Windows cross build (MinGW-w64): hz70cli.exe, windows_tests.exe"
cmake -S "$root/tests/windows" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$build" -j"$jobs"

# Only DLLs that every Windows has: the C++ runtime, libgcc and winpthread are inside the programs.
for exe in "$build/hz70/tools/hz70cli/hz70cli.exe" "$build/windows_tests.exe"; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ { print $3 }' | sort -u | tr '\n' ' ')
  echo "$(basename "$exe") needs: $dlls"
  for dll in $dlls; do
    if ! grep -qiE '^(kernel32|msvcrt|user32|advapi32|ws2_32|shell32|ole32|bcrypt|ntdll)\.dll$' <<<"$dll"; then
      echo "windows: $(basename "$exe") needs $dll, which a bare Windows does not have" >&2
      exit 1
    fi
  done
done

# The controllers behind the Wine COM port: the simulator built for this machine, unless HZ70_SIM names
# one already built (the test command passes its own).
sim=${HZ70_SIM:-}
if [[ -z $sim ]]; then
  echo "== hz70sim for this machine"
  cmake -S "$root" -B "$build/host" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHZ70_CORE_ONLY=ON \
    -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$build/host" --target hz70sim -j"$jobs"
  sim=$build/host/tools/hz70sim/hz70sim
fi

bash "$root/tests/windows/run-checks.sh" "$build" "$sim"
