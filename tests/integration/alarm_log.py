#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The whole program (offscreen) against hz70sim with four zones: alarms raised and cleared on the
simulator and a zone that falls silent each reach HZ70wiz-alarmy.csv exactly once as they come and go.
A second run of the program on the same folder, against the same still-running simulator, adds nothing
for what still stands, and an alarm raised and cleared meanwhile is added once each."""
import argparse
import csv
import os
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from hz70sim import Simulator  # noqa: E402

MODE = 0  # ASCII
LOG_NAME = "HZ70wiz-alarmy.csv"
HEADER = ["time", "zone", "address", "name", "event", "came_went", "acknowledged"]
WAIT_S = 10.0
# Unanswered polls after which a zone's link counts as lost, and a few more.
SILENT_POLLS = 5


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def events(work):
    """(zone, event, came_went) of every line after the header."""
    try:
        with open(os.path.join(work, LOG_NAME), newline="", encoding="utf-8") as log:
            rows = list(csv.reader(log))
    except FileNotFoundError:
        return []
    check(rows and rows[0] == HEADER, f"{LOG_NAME} starts with {rows[:1]}")
    return [(int(row[1]), row[4], row[5]) for row in rows[1:]]


def wait_for(work, expected):
    """Waits until the log holds exactly `expected`, in that order; fails with what it holds instead."""
    deadline = time.monotonic() + WAIT_S
    while time.monotonic() < deadline:
        if events(work) == expected:
            return
        time.sleep(0.1)
    raise Failure(f"{LOG_NAME} holds {events(work)},\n  wanted {expected}")


def polls(sim, address, since, answer):
    """How many reads of `address`'s measured values since `since` got an answer starting with `answer`."""
    return sum(1 for e in sim.log_lines()
               if e[1] == str(address) and e[2] == "3" and e[3] == "4018" and e[5].startswith(answer)
               and int(e[0]) > since)


def now_ms():
    return int(time.clock_gettime(time.CLOCK_MONOTONIC) * 1000)


class Program:
    """hz70wiz running offscreen in `work`, ended by SIGTERM on leaving the block."""

    def __init__(self, path, work):
        self.process = subprocess.Popen([path], cwd=work, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.PIPE,
                                        env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        try:
            status = self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.process.kill()
            status = self.process.wait()
        stderr = self.process.stderr.read().decode(errors="replace")
        if exc[0] is None:
            check(status == 0, f"the program ended with {status} on SIGTERM\n{stderr}")


def wait_until_polled(sim, wanted, since):
    """Waits until each (address, answer, count) of `wanted` has had that many polls since `since`."""
    deadline = time.monotonic() + WAIT_S
    while any(polls(sim, address, since, answer) < count for address, answer, count in wanted):
        check(time.monotonic() < deadline, f"not polled as {wanted}")
        time.sleep(0.1)


def run(program, sim_path, work):
    with open(os.path.join(work, "HZ70wiz.INI"), "wb") as settings:
        settings.write(f"Mode={MODE}\r\nDevCount=4\r\nDevAddr=1;2;3;4;0;0;0;0;\r\n".encode())
    with Simulator(sim_path, zones="1-4", mode=MODE, directory=work, log=True) as sim:
        started = now_ms()
        with Program(program, work):
            wait_until_polled(sim, [(address, "ok", 2) for address in (1, 2, 3, 4)], started)
            check(events(work) == [], f"alarms before any was raised: {events(work)}")
            expected = []
            for command, added in (("alarm 2 sensor-open", [(2, "sensor-open", "came")]),
                                   ("alarm 2 clear", [(2, "sensor-open", "went")]),
                                   ("alarm 3 load-short", [(3, "load-short", "came")]),
                                   ("silence 4", [(4, "communication", "came")])):
                sim.command(command)
                expected += added
                wait_for(work, expected)

        # Zone 3's alarm and zone 4's silence still stand: the second run must not report them again.
        restarted = now_ms()
        with Program(program, work):
            # Long enough for the silent zone to be given up again.
            wait_until_polled(sim, [(1, "ok", 2), (2, "ok", 2), (3, "ok", 2), (4, "silenced", SILENT_POLLS)],
                              restarted)
            check(events(work) == expected, f"the restart added {events(work)[len(expected):]}")
            for command, added in (("alarm 1 fuse", [(1, "fuse", "came")]),
                                   ("alarm 1 clear", [(1, "fuse", "went")])):
                sim.command(command)
                expected += added
                wait_for(work, expected)
    print(f"{len(expected)} events, each once, across a restart")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--sim", required=True)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix="hz70alarms.") as work:
        try:
            run(os.path.abspath(args.program), os.path.abspath(args.sim), work)
        except Failure as failure:
            print("FAILED:", failure)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
