#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""hz70cli polling a line behind an Ethernet converter, played by hz70sim serving its bus on a loopback TCP
port: every zone answers, the converter drops the connection mid-run, and hz70cli connects again and
polls on by itself within a second. On ASCII, and on RTU through a converter that echoes the requests."""
import argparse
import csv
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from hz70sim import Simulator  # noqa: E402

RUNS = [
    # framing mode, simulator options
    (0, []),
    (6, ["--echo"]),
]
SECONDS = 4
DROP_AFTER_S = 1.5
RECONNECT_MS = 1000


def poll_with_a_drop(cli, sim, mode):
    """Polls zones 1-3 for SECONDS, the converter dropping the connection on the way; returns hz70cli's
    exit status, its CSV rows and its standard error."""
    poll = subprocess.Popen([cli, "--port", sim.port, "--mode", str(mode), "--seconds", str(SECONDS), "poll",
                             "1", "2", "3"], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        time.sleep(DROP_AFTER_S)
        sim.command("disconnect")
        out, err = poll.communicate(timeout=SECONDS + 10)
    finally:
        poll.kill()
    return poll.returncode, list(csv.DictReader(out.splitlines())), err


def check_run(cli, sim_path, mode, options):
    """What went wrong on this line, in words; empty when nothing did."""
    with Simulator(sim_path, *options, zones="1,2,3", mode=mode, tcp=True, log=True) as sim:
        status, rows, err = poll_with_a_drop(cli, sim, mode)
        sim.stop()
        log = sim.log_lines()
    what = f"mode {mode} {' '.join(options)}".strip()
    # "<ms> - - - - connected" and "disconnected" frame each connection; requests are
    # "<ms> <address> <function> <register> <count> <answer>".
    changes = [(int(entry[0]), entry[5]) for entry in log if entry[1] == "-"]
    dropped = next((ms for ms, change in changes if change == "disconnected"), None)
    back = next((ms for ms, change in changes if change == "connected" and dropped and ms > dropped), None)
    answered_after = {entry[1] for entry in log
                      if back and entry[1] != "-" and int(entry[0]) > back and entry[5].startswith("ok")}
    last_rows = {row["zone"]: row for row in rows}
    failures = []
    if status != 0:
        failures.append(f"{what}: hz70cli ended with {status}: {err!r}")
    if dropped is None or back is None:
        failures.append(f"{what}: no drop and reconnection in the simulator's log: {changes}")
    elif back - dropped > RECONNECT_MS:
        failures.append(f"{what}: connected again {back - dropped} ms after the drop")
    if answered_after != {"1", "2", "3"}:
        failures.append(f"{what}: zones answered after the reconnection: {sorted(answered_after)}")
    if sorted(last_rows) != ["1", "2", "3"] or any(row["comm_error"] != "0" for row in last_rows.values()):
        failures.append(f"{what}: the last row of each zone: {list(last_rows.values())}")
    if "the port is open again" not in err:
        failures.append(f"{what}: hz70cli did not say it opened the port again: {err!r}")
    if not failures:
        print(f"{what}: {len(rows)} rows; connected again {back - dropped} ms after the drop; "
              f"{len(log) - len(changes)} requests")
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--cli", required=True)
    args = parser.parse_args()
    failures = [failure for mode, options in RUNS for failure in check_run(args.cli, args.sim, mode, options)]
    for failure in failures:
        print("FAIL " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
