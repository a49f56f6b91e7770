#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs HZ70wiz on a simulated heating system: hz70sim makes a pseudo-terminal with controllers at the
# given addresses and links it as ./COM1 in the demo folder (build/demo), where the program finds it.
#   scripts/run.sh [ZONES]   e.g. scripts/run.sh 1,2,3,4,5,6,7,8   (default 1,2,3)
# The program's settings file, HZ70wiz.INI, lives in build/demo; the first run writes one for ZONES, with
# both chart axes shown. Without a display it says where a screenshot of the program is renewed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
zones=${1:-1,2,3}
bash "$root/scripts/setup.sh"
cmake -S "$root" --preset full >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target hz70sim hz70wiz

demo="$root/build/demo"
mkdir -p "$demo"
cd "$demo"
IFS=, read -ra addresses <<<"$zones"
if [[ ! -e HZ70wiz.INI ]]; then
  slots=("${addresses[@]}")
  while ((${#slots[@]} < 8)); do slots+=(0); done
  # Both chart axes shown (bit 1), so the first chart shows its scales; the label formats are the
  # program's defaults, which a file without their keys would replace by the empty format.
  printf 'DevCount=%d\r\nDevAddr=%s;\r\nCheckL=1\r\nCheckR=1\r\nFormatL=###0.###\r\nFormatR=###0.###\r\n' \
    "${#addresses[@]}" "$(IFS=';'; echo "${slots[*]:0:8}")" >HZ70wiz.INI
fi

"$root/build/tools/hz70sim/hz70sim" --zones "$zones" --link COM1 --mode 0 --log sim-requests.log </dev/null &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true' EXIT
for _ in $(seq 50); do [[ -e COM1 ]] && break; sleep 0.1; done

if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  "$root/build/app/hz70wiz"
  exit
fi
# No display: the program runs on a virtual one, and a picture of that screen, renewed every few
# seconds, is where to look. It is replaced whole, so a viewer never shows half a picture.
screen="$demo/screen.png"
echo "run: no display, so the program runs on a virtual one (xvfb-run); a screenshot of it every" \
  "5 s goes to $screen (Ctrl+C ends the run)" >&2
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  "$1" &
  program=$!
  trap "kill $program 2>/dev/null" INT TERM
  while kill -0 "$program" 2>/dev/null; do
    sleep 5
    import -window root "png:$2.part" 2>/dev/null && mv -f "$2.part" "$2"
  done
  wait "$program"' run "$root/build/app/hz70wiz" "$screen"
