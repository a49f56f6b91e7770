#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""hz70cli against hz70sim playing the habits of real two-wire RS-485 adapters, in RTU and ASCII framing.

For every habit x framing: read, identify, write (read back), a write to an absent address (must fail:
on an echoing line a function-6 echo is byte for byte the reply it would be), and a few seconds of poll
whose good updates must come at the clean line's rate. Steady habits (echo, stray bytes, trailing NUL)
stay on for all of that; episodes (a late reply, the adapter unplugged) go on for one exchange that must
fail and off again, and every exchange after them must be right at once, without waiting for the line
to settle. Every failure names its framing, habit and command.
"""
import argparse
import datetime
import re
import subprocess
import sys
import time
from dataclasses import dataclass, field

from sim_hz70cli import simulator

TIMEOUT_MS = 300
STEADY_POLL_S = 2
EPISODE_POLL_S = 5
EPISODE_AT_S = 0.8     # into the poll run, when an episode begins ...
EPISODE_LENGTH_S = 0.8  # ... and how long it lasts
GOOD_SHARE = 0.8        # of the clean line's good updates per second
FRAMINGS = (("RTU", 6), ("ASCII", 0))


@dataclass
class Habit:
    name: str
    on: dict  # framing -> hz70sim commands that start the habit
    off: list  # commands that end it
    episode: bool = False  # True: on for one failing exchange only


def same(*commands):
    return {framing: list(commands) for framing, _ in FRAMINGS}


HABITS = [
    Habit("clean", same(), []),
    Habit("echo", same("echo on"), ["echo off"]),
    # A byte at the direction change in RTU; in ASCII, text outside any frame.
    Habit("stray bytes", {"RTU": ["stray FF"], "ASCII": ["stray 7E2178"]}, ["stray off"]),
    Habit("trailing NUL", same("trail 00"), ["trail off"]),
    # The reply comes after the master has given up: it lands in the next exchange.
    Habit("late reply", same("late %d" % (TIMEOUT_MS + 150)), ["late 0"], episode=True),
    Habit("unplug, plug", same("unplug"), ["plug"], episode=True),
]


class Failures:
    def __init__(self):
        self.items = []

    def check(self, condition, where, why):
        print("  %-4s %s%s" % ("ok" if condition else "FAIL", where, "" if condition else ": " + why), flush=True)
        if not condition:
            self.items.append("%s: %s" % (where, why))
        return condition


@dataclass
class Outcome:
    status: int
    result: int  # the printed result code; None when there was none
    out: str
    err: str
    seconds: float
    lines: list = field(default_factory=list)


def hz70cli(cli, sim, mode, *args, address=1):
    start = time.monotonic()
    run = subprocess.run([cli, "--port", sim.link, "--mode", str(mode), "--timeout", str(TIMEOUT_MS),
                          "--address", str(address), *args], capture_output=True, text=True, timeout=30)
    found = re.search(r"result (-?\d+)", run.stdout)
    return Outcome(run.returncode, int(found.group(1)) if found else None, run.stdout, run.stderr,
                   time.monotonic() - start)


def describe(outcome):
    return "exit %d, result %s, %.2f s; stdout %r; stderr %r" % (
        outcome.status, outcome.result, outcome.seconds, outcome.out[-300:], outcome.err[-300:])


def sim_commands(sim, commands, failures, where):
    for command in commands:
        try:
            sim.command(command)
        except AssertionError as refusal:
            failures.check(False, where, "hz70sim refused %r (%s)" % (command, refusal))
            return False
    return True


def expect_answer(failures, where, outcome, code, pattern):
    answered = outcome.status == 0 and outcome.result == code and re.search(pattern, outcome.out, re.M)
    return failures.check(answered, where, "expected exit 0, result %d and /%s/; got %s" % (
        code, pattern, describe(outcome)))


def expect_failure(failures, where, outcome, codes):
    failed = outcome.status == 1 and outcome.result in codes
    return failures.check(failed, where, "expected exit 1 and result %s; got %s" % (
        " or ".join(map(str, codes)), describe(outcome)))


def exchanges(cli, sim, mode, value, failures, where):
    """The single-exchange commands, each of which must get its right answer."""
    expect_answer(failures, where + " read", hz70cli(cli, sim, mode, "read", "4018", "7"), 3,
                  r"^4018 0 .*\n(.*\n){5}4024 ")
    expect_answer(failures, where + " identify", hz70cli(cli, sim, mode, "identify"), 17, r"slave id 142")
    expect_answer(failures, where + " write", hz70cli(cli, sim, mode, "write", "4000", str(value)), 6,
                  r"register written")
    expect_answer(failures, where + " read back", hz70cli(cli, sim, mode, "read", "4000", "1"), 3,
                  r"^4000 %d " % value)
    expect_failure(failures, where + " write to absent address 3",
                   hz70cli(cli, sim, mode, "write", "4000", str(value), address=3), (2,))


def csv_time(text):
    return datetime.datetime.strptime(text, "%Y-%m-%d %H:%M:%S.%f").timestamp()


def poll(cli, sim, mode, seconds, episode=None):
    """Polls zones 1 and 2; `episode` (on, off) runs during the poll. Returns the outcome with its CSV rows
    as (wall time, comm_error, temperature) and the wall time at which the episode ended."""
    process = subprocess.Popen([cli, "--port", sim.link, "--mode", str(mode), "--timeout", str(TIMEOUT_MS),
                                "--seconds", str(seconds), "poll", "1", "2"],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    start = time.monotonic()
    ended = None
    if episode:
        time.sleep(EPISODE_AT_S)
        episode[0]()
        time.sleep(EPISODE_LENGTH_S)
        episode[1]()
        ended = time.time()
    try:
        out, err = process.communicate(timeout=seconds + 10)
    except subprocess.TimeoutExpired:
        process.kill()
        out, err = process.communicate()
    outcome = Outcome(process.returncode, None, out, err, time.monotonic() - start)
    for line in out.splitlines()[1:]:
        cells = line.split(",")
        if len(cells) == 11:
            outcome.lines.append((csv_time(cells[0]), int(cells[10]), cells[3]))
    return outcome, ended


def good_rate(rows, since=None):
    """Good updates per second: rows with a reading and no communication error, after `since`."""
    good = [when for when, error, temperature in rows if error == 0 and temperature and
            (since is None or when >= since)]
    if len(good) < 2:
        return 0.0, len(good)
    return (len(good) - 1) / (good[-1] - good[0]), len(good)


def check_poll(failures, where, outcome, clean_rate, since=None):
    if not failures.check(outcome.status == 0, where, "poll did not end by itself with exit 0: " +
                          describe(outcome)):
        return None
    rate, count = good_rate(outcome.lines, since)
    if clean_rate is not None:
        failures.check(rate >= GOOD_SHARE * clean_rate, where, "%d good updates, %.2f/s%s; the clean line "
                       "gives %.2f/s" % (count, rate, " after the episode" if since else "", clean_rate))
    if since is None:
        bad = [row for row in outcome.lines if row[1] != 0 or not row[2]]
        failures.check(not bad, where, "%d failed updates on a line that should carry every reply" % len(bad))
    return rate


def run_habit(cli, sim, framing, mode, habit, index, clean_rate, failures):
    where = "%s %s:" % (framing, habit.name)
    print("%s" % where, flush=True)
    on, off = habit.on[framing], habit.off
    value = 201 + index
    if habit.episode:
        if not sim_commands(sim, on, failures, where + " start"):
            return None
        expect_failure(failures, where + " identify during it", hz70cli(cli, sim, mode, "identify"),
                       (2, -2))
        if not sim_commands(sim, off, failures, where + " end"):
            return None
        exchanges(cli, sim, mode, value, failures, where + " right after it:")
        outcome, ended = poll(cli, sim, mode, EPISODE_POLL_S,
                              (lambda: sim_commands(sim, on, failures, where + " poll start"),
                               lambda: sim_commands(sim, off, failures, where + " poll end")))
        check_poll(failures, where + " poll", outcome, clean_rate, since=ended + 0.3)
        return None
    if not sim_commands(sim, on, failures, where + " start"):
        return None
    try:
        exchanges(cli, sim, mode, value, failures, where)
        outcome, _ = poll(cli, sim, mode, STEADY_POLL_S)
        return check_poll(failures, where + " poll", outcome, clean_rate)
    finally:
        sim_commands(sim, off, failures, where + " end")


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--sim", required=True, help="the hz70sim program")
    parser.add_argument("--cli", required=True, help="the hz70cli program")
    args = parser.parse_args()
    failures = Failures()
    started = time.monotonic()
    for framing, mode in FRAMINGS:
        with simulator(args.sim, mode) as sim:
            clean_rate = None
            for index, habit in enumerate(HABITS):
                rate = run_habit(args.cli, sim, framing, mode, habit, index, clean_rate, failures)
                if habit.name == "clean":
                    clean_rate = rate
                    print("  clean poll rate %.2f good updates/s" % (rate or 0), flush=True)
            sim.stop()
    print("line habits: %d failure(s) in %.0f s" % (len(failures.items), time.monotonic() - started))
    for item in failures.items:
        print("FAILED: " + item, file=sys.stderr)
    return 1 if failures.items else 0


if __name__ == "__main__":
    sys.exit(main())
