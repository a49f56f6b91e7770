#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The whole program (offscreen) against hz70sim on a pseudo-terminal, on a clean ASCII line and on an
echoing RTU line whose adapter is pulled out for 10 s: the simulator's request log must show the three
zones polled in turn, one request per zone every two 100 ms ticks while replies come within a tick, and
after the adapter is back the zones must answer again without anyone touching the program (a question
box would stop the polling). SIGTERM then ends the program cleanly."""
import argparse
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from hz70sim import Simulator  # noqa: E402

RUNS = [
    # name, framing mode, simulator options, pull the adapter out
    ("clean ASCII line", 0, [], False),
    ("echoing RTU line, adapter pulled out and put back", 6, ["--echo"], True),
]
UNPLUGGED_SECONDS = 10


def run_program(program_path, sim_path, work, mode, sim_options, pull_out, failures):
    with open(os.path.join(work, "HZ70wiz.INI"), "wb") as settings:
        settings.write(f"Mode={mode}\r\nDevCount=3\r\nDevAddr=1;2;3;0;0;0;0;0;\r\n".encode())
    with Simulator(sim_path, *sim_options, zones="1,2,3", mode=mode, directory=work, log=True) as sim:
        program = subprocess.Popen([program_path], cwd=work, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                   env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
        time.sleep(8)
        if pull_out:
            for command, pause in (("unplug", UNPLUGGED_SECONDS), ("plug", 6)):
                sim.command(command)
                time.sleep(pause)
        program.send_signal(signal.SIGTERM)
        status = program.wait(timeout=20)
        if status != 0:
            failures.append(f"the program ended with {status} on SIGTERM")
    return sim.log_lines()


def check_cadence(polls, what, failures):
    addresses = [address for _, address in polls]
    expected = [(addresses[0] - 1 + i) % 3 + 1 for i in range(len(addresses))] if addresses else []
    if len(polls) < 20:
        failures.append(f"{what}: only {len(polls)} polls")
        return
    if addresses != expected:
        failures.append(f"{what}: zones not polled in turn: {addresses[:12]} ...")
    gaps = [b[0] - a[0] for a, b in zip(polls, polls[1:])]
    median = statistics.median(gaps)
    print(f"{what}: {len(polls)} polls, gap between requests: median {median} ms, min {min(gaps)} ms, "
          f"max {max(gaps)} ms ({1000 / median:.2f} zone polls per second)")
    if not 180 <= median <= 230:
        failures.append(f"{what}: median gap {median} ms, not two 100 ms ticks")


def check_run(entries, name, pull_out, failures):
    answered = [(int(e[0]), int(e[1])) for e in entries if e[2] == "3" and e[3] == "4018" and
                e[5].startswith("ok")]
    attaches = [int(e[1]) for e in entries if e[2] == "17"]
    if attaches[:3] != [1, 2, 3]:
        failures.append(f"{name}: start-up identified {attaches[:3]}, not 1, 2, 3")
    if not pull_out:
        # Skip the first round: the settings read at start-up comes in between.
        check_cadence(answered[3:], name, failures)
        return
    marks = {e[5]: int(e[0]) for e in entries if e[1] == "-"}
    if "unplugged" not in marks or "plugged" not in marks:
        failures.append(f"{name}: the simulator logged no unplug and plug")
        return
    before = [p for p in answered[3:] if p[0] < marks["unplugged"]]
    after = [p for p in answered if p[0] > marks["plugged"]]
    check_cadence(before, f"{name}, before", failures)
    if not after:
        failures.append(f"{name}: no zone answered after the adapter came back")
        return
    revived = {address for _, address in after}
    print(f"{name}: first good reply {after[0][0] - marks['plugged']} ms after the adapter came back; "
          f"zones answering again: {sorted(revived)}")
    if revived != {1, 2, 3}:
        failures.append(f"{name}: only zones {sorted(revived)} answered again")
    # The first poll after the return may still be a zone whose failure count climbs back.
    check_cadence(after[3:], f"{name}, after", failures)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--sim", required=True)
    args = parser.parse_args()
    program_path, sim_path = os.path.abspath(args.program), os.path.abspath(args.sim)
    failures = []
    for name, mode, sim_options, pull_out in RUNS:
        with tempfile.TemporaryDirectory(prefix="hz70e2e.") as work:
            entries = run_program(program_path, sim_path, work, mode, sim_options, pull_out, failures)
        check_run(entries, name, pull_out, failures)
    for failure in failures:
        print("FAILED:", failure)
    print(f"{0 if failures else 1} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
