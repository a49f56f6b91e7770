#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the Windows programs of a MinGW-w64 build under Wine, in a throw-away Wine prefix whose COM1 and
# COM2 lead to pseudo-terminals made on the Linux side (a program under Wine cannot make them):
#   1. windows_tests.exe (port contract, Windows port, Windows files) against line_peer.py;
#   2. hz70cli.exe identify, read, write and 3 s of poll against hz70sim, in RTU and in ASCII.
# Prints a line per check and a summary with the figures; exits non-zero when a check failed.
#   run-checks.sh WINDOWS_BUILD_DIR HZ70SIM
set -euo pipefail
build=$1
sim=$2
here=$(cd "$(dirname "$0")" && pwd)
tests_exe=$build/windows_tests.exe
cli=$build/hz70/tools/hz70cli/hz70cli.exe
poll_seconds=3

work=$(mktemp -d "${TMPDIR:-/tmp}/hz70-wine.XXXXXX")
lines=$work/lines
mkdir -p "$lines"
# Quiet and without windows: no debug output, no offer to install Mono or Gecko, no display.
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

background=()
cleanup() {
  for pid in "${background[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  timeout 20 wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
summary=()
check() { # check NAME OK DETAIL
  if [[ $2 == 1 ]]; then
    passed=$((passed + 1))
    echo "PASS $1${3:+: $3}"
  else
    failed=$((failed + 1))
    echo "FAIL $1${3:+: $3}"
  fi
}

# Every run under Wine is bounded.
on_wine() { # on_wine SECONDS PROGRAM ARGS...
  local seconds=$1
  shift
  timeout -k 5 "$seconds" wine "$@"
}

# Waits (bounded) until the pseudo-terminal behind a link is there.
await_line() {
  for _ in $(seq 100); do
    [[ -e $1 ]] && return 0
    sleep 0.05
  done
  return 1
}

echo "== Wine prefix in $work"
# Wine maps COMn to /dev/ttyS{n-1} unless told otherwise; the ports' links are read when its services
# start, so they start once, after the mapping, and stay (a persistent server) while the lines come
# and go.
# The server's own messages go to a file: it also dumps its objects there when a pseudo-terminal it
# holds hangs up.
if ! { on_wine 120 reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$lines/com1" /f &&
  on_wine 60 reg add 'HKLM\Software\Wine\Ports' /v COM2 /t REG_SZ /d "$lines/com2" /f &&
  timeout 60 wineserver -w && wineserver -p; } >"$work/wine-setup.log" 2>&1; then
  cat "$work/wine-setup.log" >&2
  exit 1
fi

echo "== port and file tests under Wine (windows_tests.exe)"
timeout 300 python3 "$here/line_peer.py" "$lines/com1" "$lines/com2" --seconds 240 >"$work/peer.log" 2>&1 &
background+=($!)
await_line "$lines/com2"
tests_ok=0
on_wine 240 "$tests_exe" --gtest_brief=1 >"$work/tests.log" 2>&1 && tests_ok=1
tr -d '\r' <"$work/tests.log" | grep -E '^\[  (FAILED|PASSED) |Failure|^.*\.cpp:[0-9]+:' || true
tests_passed=$(tr -d '\r' <"$work/tests.log" | sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\..*/\1/p')
tests_failed=$(tr -d '\r' <"$work/tests.log" | sed -n 's/^ *\([0-9]*\) FAILED TESTS\?$/\1/p')
kill "${background[-1]}" 2>/dev/null || true
check "windows_tests.exe" "$tests_ok" "${tests_passed:-0} passed, ${tests_failed:-0} failed"
summary+=("windows_tests.exe under Wine: ${tests_passed:-0} passed, ${tests_failed:-0} failed")

# One framing mode: hz70sim with three controllers behind COM1, hz70cli.exe as the master.
exchanges() { # exchanges MODE
  local mode=$1 out=$work/$1
  mkdir -p "$out"
  rm -f "$lines/com1"
  timeout 120 "$sim" --zones 1,2,3 --mode "$mode" --link "$lines/com1" --log "$out/requests.log" \
    </dev/null >"$out/sim.log" 2>&1 &
  local sim_pid=$!
  background+=("$sim_pid")
  if ! await_line "$lines/com1"; then
    check "$mode: hz70sim" 0 "no line: $(cat "$out/sim.log")"
    return
  fi
  local cli_args=(--port COM1 --mode "$mode")
  local ok text

  ok=0
  text=$(on_wine 30 "$cli" "${cli_args[@]}" identify 2>&1 | tr -d '\r') && grep -q '^slave id 142' <<<"$text" && ok=1
  check "$mode: identify" "$ok" "$(grep -m1 '^slave id' <<<"$text" || echo "$text")"

  ok=0
  text=$(on_wine 30 "$cli" "${cli_args[@]}" read 4018 7 2>&1 | tr -d '\r') &&
    [[ $(grep -cE '^40(1[89]|2[0-4]) ' <<<"$text") == 7 ]] && ok=1
  check "$mode: read 4018 7" "$ok" "$(grep -m1 '^4020 ' <<<"$text" || echo "$text")"

  ok=0
  on_wine 30 "$cli" "${cli_args[@]}" write 4016 1 >"$out/write.log" 2>&1 &&
    text=$(on_wine 30 "$cli" "${cli_args[@]}" read 4016 1 2>&1 | tr -d '\r') && grep -q '^4016 1 ' <<<"$text" && ok=1
  check "$mode: write 4016 1, read back" "$ok" "$(grep -m1 '^4016 ' <<<"$text" || tr -d '\r' <"$out/write.log")"

  local before
  before=$(wc -l <"$out/requests.log")
  ok=0
  on_wine $((poll_seconds + 30)) "$cli" "${cli_args[@]}" --seconds "$poll_seconds" poll 1 2 3 \
    >"$out/poll.csv" 2>"$out/poll.err" && ok=1
  kill "$sim_pid" 2>/dev/null || true
  wait "$sim_pid" 2>/dev/null || true
  local rows errors zones requests answered
  rows=$(tr -d '\r' <"$out/poll.csv" | tail -n +2 | grep -c . || true)
  errors=$(tr -d '\r' <"$out/poll.csv" |
    awk -F, 'NR == 1 { for (i = 1; i <= NF; ++i) if ($i == "comm_error") c = i; next } $c != 0' | grep -c . || true)
  zones=$(tr -d '\r' <"$out/poll.csv" | tail -n +2 | cut -d, -f2 | sort -u | grep -c . || true)
  requests=$(tail -n +"$((before + 1))" "$out/requests.log" | grep -c . || true)
  answered=$(tail -n +"$((before + 1))" "$out/requests.log" | awk '$NF == "ok"' | grep -c . || true)
  [[ $zones == 3 && $errors == 0 ]] || ok=0
  local figures
  figures="$rows zone updates from $zones zones, $errors with a communication error; hz70sim answered"
  figures+=" $answered of $requests requests ($(awk -v n="$requests" -v s="$poll_seconds" 'BEGIN { printf "%.1f", n / s }')/s)"
  check "$mode: poll ${poll_seconds} s" "$ok" "$figures"
  summary+=("$mode: hz70cli.exe identify, read, write; poll ${poll_seconds} s: $figures")
}

echo "== hz70cli.exe against hz70sim through COM1"
exchanges rtu-8n1
exchanges ascii-8n1

echo "== Windows checks under Wine: summary ($SECONDS s)"
printf '%s\n' "${summary[@]}"
echo "windows: $passed passed, $failed failed"
[[ $failed == 0 ]]
