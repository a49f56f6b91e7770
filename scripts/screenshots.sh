#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes the README's screenshots: the program under Xvfb against the simulator (8 zones, heating up fast,
# one zone with an alarm, one silent), each window maximised in turn. PNGs go to docs/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
cmake -S "$root" --preset full >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target hz70sim hz70wiz

work=$(mktemp -d)
display=:93
export DISPLAY=$display
cleanup() {
  kill "${program:-}" "${sim:-}" "${xvfb:-}" 2>/dev/null || true
  exec 3>&- 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
printf 'DevCount=8\r\nDevAddr=1;2;3;4;5;6;7;8;\r\nDevName=Piec 1;Piec 2;Suszarka;Strefa 4;Strefa 5;Strefa 6;Strefa 7;Strefa 8;\r\nOkres=0\r\nCheckL=5\r\nCheckR=5\r\n' >HZ70wiz.INI
Xvfb $display -screen 0 1280x800x24 >/dev/null 2>&1 &
xvfb=$!
mkfifo commands
"$root/build/tools/hz70sim/hz70sim" --zones 1-8 --link COM1 --speed 20 --seed 3 <commands >/dev/null 2>&1 &
sim=$!
exec 3>commands
for _ in $(seq 50); do [[ -e COM1 ]] && break; sleep 0.1; done
echo "alarm 6 sensor-open" >&3
"$root/build/app/hz70wiz" >/dev/null 2>&1 &
program=$!
sleep 5
echo "silence 8" >&3
# Answer the question about the silent zone (keep polling it) as soon as it comes.
for _ in $(seq 10); do
  sleep 2
  xdotool search --name '^HZ70$' >/dev/null 2>&1 && xdotool key Escape
done
sleep 40

shot() { import -window root -crop 1024x738+0+0 "$root/docs/$1.png"; }
mkdir -p "$root/docs"
shot main-window
# Double-clicking a title bar maximises that window; the tool bar buttons then bring the others up maximised.
xdotool mousemove 234 60 click --repeat 2 --delay 80 1
sleep 1
shot synoptic
for view in chart:37 table:62 bargraph:87; do
  xdotool mousemove "${view#*:}" 31 click 1
  sleep 2
  shot "${view%%:*}"
done
echo "screenshots in $root/docs"
