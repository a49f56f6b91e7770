#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Soak and fault run: the program under Xvfb against hz70sim with 8 zones, for a bounded time.

Faults throughout (dropped and corrupted replies, noise) on a line with a two-wire adapter's habits (the
request echoed back, a stray byte before every reply), one zone silenced and revived, one alarm raised
and cleared, and the adapter unplugged for a few seconds and plugged back in. The operator's question
about a silent zone is answered "No" (keep polling). Records that the program never exits or hangs, that
the revived zone is polled again within one cycle, how soon the bus answers again after the plug, the
resident memory over time (flat once the chart histories are full: 901 one-second samples, 15 minutes),
CPU use per minute, and the poll cadence from the simulator's request log. Writes report.txt in the
output folder and exits non-zero when a check fails.
"""
import argparse
import os
import shutil
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from hz70sim import Simulator  # noqa: E402

ZONES = 8
UNPLUGGED_S = 5
# Back on the line within this long after the plug: a few ticks to notice, one cycle to reach every zone.
REPLUG_BOUND_S = 10


class Run:
    def __init__(self, build, out, minutes):
        self.build = build
        self.out = out
        self.seconds = minutes * 60
        self.events = []  # (seconds since start, text)
        self.samples = []  # (seconds, rss kB, cpu seconds)
        self.failures = []
        self.start = None

    def now(self):
        return time.monotonic() - self.start

    def note(self, text):
        self.events.append((self.now(), text))
        print(f"[{self.now():7.1f}s] {text}", flush=True)

    def fail(self, text):
        self.failures.append(text)
        self.note("FAILED: " + text)


def process_usage(pid):
    with open(f"/proc/{pid}/status") as status:
        rss = next(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    ticks = os.sysconf("SC_CLK_TCK")
    return rss, (int(fields[11]) + int(fields[12])) / ticks


def answer_questions(display):
    """Presses Escape (No) on any "HZ70" question box; returns how many were answered."""
    env = dict(os.environ, DISPLAY=display)
    found = subprocess.run(["xdotool", "search", "--name", "^HZ70$"], env=env, capture_output=True, text=True)
    windows = found.stdout.split()
    for window in windows:
        subprocess.run(["xdotool", "windowfocus", "--sync", window], env=env, capture_output=True)
        subprocess.run(["xdotool", "key", "--window", window, "Escape"], env=env, capture_output=True)
        subprocess.run(["xdotool", "key", "Escape"], env=env, capture_output=True)
    return len(windows)


def read_log(lines):
    """The simulator's request log: requests as (ms, address, function, register, operand, answer), and
    the adapter's unplug and plug as (ms, "unplugged" or "plugged")."""
    entries, plugs = [], []
    for parts in lines:
        if len(parts) < 6:
            continue
        if parts[5] in ("unplugged", "plugged"):
            plugs.append((int(parts[0]), parts[5]))
        elif parts[1].isdigit():
            entries.append((int(parts[0]), int(parts[1]), parts[2], parts[3], parts[4], parts[5]))
    return entries, plugs


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--minutes", type=float, default=20)
    parser.add_argument("--display", default=":97")
    args = parser.parse_args()
    build = os.path.abspath(args.build)  # the programs run in the output folder

    run = Run(args.build, args.out, args.minutes)
    shutil.rmtree(args.out, ignore_errors=True)
    os.makedirs(args.out)
    with open(os.path.join(args.out, "HZ70wiz.INI"), "wb") as settings:
        settings.write(b"DevCount=8\r\nDevAddr=1;2;3;4;5;6;7;8;\r\nOkres=0\r\n")

    with Simulator(os.path.join(build, "tools/hz70sim/hz70sim"), "--seed", "7", "--speed", "5", zones="1-8",
                   mode=0, directory=args.out, log=True) as sim:
        xvfb = subprocess.Popen(["Xvfb", args.display, "-screen", "0", "1280x800x24"], stderr=subprocess.DEVNULL)
        program = subprocess.Popen([os.path.join(build, "app/hz70wiz")], cwd=args.out,
                                   env=dict(os.environ, DISPLAY=args.display),
                                   stdout=subprocess.DEVNULL,
                                   stderr=open(os.path.join(args.out, "hz70wiz.log"), "w"))
        run.start = time.monotonic()
        total = run.seconds
        schedule = sorted([
            (10, "drop 0.02"), (10, "corrupt 0.02"), (10, "noise 0.02"), (10, "echo on"), (10, "stray FF"),
            (total * 0.20, "silence 5"), (total * 0.30, "revive 5"),
            (total * 0.40, "alarm 3 sensor-open"), (total * 0.50, "alarm 3 clear"),
            (total * 0.60, "unplug"), (total * 0.60 + UNPLUGGED_S, "plug"),
        ], key=lambda entry: entry[0])
        revive_at = None
        unplugged_at = plugged_at = None
        questions = 0
        next_sample = 0
        last_log_size, last_log_growth = 0, 0.0
        try:
            while run.now() < total:
                if program.poll() is not None:
                    run.fail(f"the program exited with status {program.returncode}")
                    break
                while schedule and run.now() >= schedule[0][0]:
                    command = schedule.pop(0)[1]
                    sim.command(command)
                    run.note("simulator: " + command)
                    if command == "revive 5":
                        revive_at = time.clock_gettime(time.CLOCK_MONOTONIC) * 1000
                    if command == "unplug":
                        unplugged_at = run.now()
                    if command == "plug":
                        plugged_at = run.now()
                answered = answer_questions(args.display)
                if answered:
                    questions += answered
                    run.note(f"answered No to {answered} question(s)")
                size = os.path.getsize(sim.log) if os.path.exists(sim.log) else 0
                if size != last_log_size:
                    last_log_size, last_log_growth = size, run.now()
                elif run.now() - last_log_growth > 10 and (unplugged_at is None or plugged_at is not None):
                    # The simulator logs the plug itself, so a log that stopped then means no request since.
                    after_plug = plugged_at is not None and last_log_growth - plugged_at < 1
                    run.fail("no request on the bus for 10 s" +
                             (" after the adapter was plugged back in" if after_plug else ": the program hangs"))
                    break
                if run.now() >= next_sample:
                    rss, cpu = process_usage(program.pid)
                    run.samples.append((run.now(), rss, cpu))
                    next_sample += 30
                if revive_at and abs(run.now() - total * 0.30 - 3) < 0.6:
                    subprocess.run(["import", "-window", "root", os.path.join(args.out, "after-revive.png")],
                                   env=dict(os.environ, DISPLAY=args.display), capture_output=True)
                time.sleep(0.5)
            if program.poll() is None:
                rss, cpu = process_usage(program.pid)
                run.samples.append((run.now(), rss, cpu))
                subprocess.run(["import", "-window", "root", os.path.join(args.out, "end.png")],
                               env=dict(os.environ, DISPLAY=args.display), capture_output=True)
                program.send_signal(signal.SIGTERM)
                try:
                    status = program.wait(timeout=20)
                    run.note(f"the program ended on SIGTERM with status {status}")
                    if status != 0:
                        run.fail(f"exit status {status} after SIGTERM")
                except subprocess.TimeoutExpired:
                    run.fail("the program did not end within 20 s of SIGTERM")
                    program.kill()
        finally:
            for process in (program, xvfb):
                if process.poll() is None:
                    process.terminate()
                    try:
                        process.wait(timeout=10)
                    except subprocess.TimeoutExpired:
                        process.kill()

    report(run, *read_log(sim.log_lines()), revive_at, questions, total)
    return 1 if run.failures else 0


def report(run, log, plugs, revive_at, questions, total):
    lines = [f"soak: {total / 60:.1f} minutes, {ZONES} zones, faults drop/corrupt/noise 2% each; line habits: "
             f"echo, stray byte FF before replies, unplugged once for {UNPLUGGED_S} s", ""]
    polls = [entry for entry in log if entry[2] == "3" and entry[3] == "4018"]
    if polls:
        span = (polls[-1][0] - polls[0][0]) / 1000
        lines.append(f"poll cadence: {len(polls)} zone polls in {span:.0f} s = {len(polls) / span:.2f}/s "
                     f"(the 100 ms timer allows 5/s when replies come within a tick)")
        clean = [p for p in polls if p[0] - polls[0][0] < 60_000 * (total / 60 * 0.2)]
        if len(clean) > 10:
            clean_span = (clean[-1][0] - clean[0][0]) / 1000
            lines.append(f"  before the silenced zone: {len(clean) / clean_span:.2f}/s")
    if revive_at:
        after = [p for p in polls if p[1] == 5 and p[0] >= revive_at and p[5].startswith("ok")]
        if after:
            delay = (after[0][0] - revive_at) / 1000
            cycle = 8 * 0.2 + 1.0  # eight zones at two ticks each, plus one time-out
            lines.append(f"revived zone 5: first good reply {delay:.2f} s after revive (one cycle: about "
                         f"{cycle:.1f} s)")
            if delay > cycle + 1.5:
                run.fail(f"zone 5 was first answered {delay:.2f} s after revive")
        else:
            run.fail("zone 5 was never polled successfully after revive")
    report_habits(run, lines, log, plugs)
    lines.append(f"operator questions answered No: {questions}")
    lines.append("")
    lines.append("time [s]  RSS [kB]  CPU in the last interval [%]")
    previous = None
    for when, rss, cpu in run.samples:
        share = "" if previous is None else f"{100 * (cpu - previous[2]) / (when - previous[0]):.1f}"
        lines.append(f"{when:8.0f}  {rss:8d}  {share}")
        previous = (when, rss, cpu)
    full = [s for s in run.samples if s[0] >= 16 * 60]
    if len(full) >= 2:
        growth = full[-1][1] - full[0][1]
        lines.append(f"RSS after the histories were full (16 min on): {full[0][1]} -> {full[-1][1]} kB "
                     f"({growth:+d} kB)")
        if growth > 2048:
            run.fail(f"resident memory grew by {growth} kB after the histories were full")
    if len(run.samples) >= 2:
        cpu_minutes = [(b[2] - a[2]) / (b[0] - a[0]) * 60 for a, b in zip(run.samples, run.samples[1:])]
        lines.append(f"CPU per minute: mean {sum(cpu_minutes) / len(cpu_minutes):.2f} s, "
                     f"max {max(cpu_minutes):.2f} s")
    lines.append("")
    lines += [f"[{when:7.1f}s] {text}" for when, text in run.events]
    lines.append("")
    lines.append("result: " + ("FAILED: " + "; ".join(run.failures) if run.failures else "passed"))
    text = "\n".join(lines) + "\n"
    with open(os.path.join(run.out, "report.txt"), "w") as out:
        out.write(text)
    print(text)


def report_habits(run, lines, log, plugs):
    """How many exchanges the echo and the stray byte touched, and the way back after the plug."""
    def marked(mark):
        return sum(1 for entry in log if mark in entry[5].split(","))
    answered = [entry for entry in log if entry[5].startswith("ok")]
    lines.append(f"line habits: {marked('echoed')} requests echoed, {marked('stray')} replies after a stray "
                 f"byte, {len(answered)} of {len(log)} requests answered")
    if not marked("echoed") or not marked("stray"):
        run.fail("the simulator's log shows no echoed request or no stray byte: the habits were not on")
    unplugged = next((ms for ms, what in plugs if what == "unplugged"), None)
    plugged = next((ms for ms, what in plugs if what == "plugged"), None)
    if unplugged is None or plugged is None:
        run.fail("the simulator's log has no unplug and plug")
        return
    back = [entry for entry in answered if entry[0] >= plugged]
    if not back:
        run.fail("no request was answered after the adapter was plugged back in")
        return
    delay = (back[0][0] - plugged) / 1000
    zones = {entry[1] for entry in back if entry[0] - back[0][0] < 5000}
    lines.append(f"unplugged for {(plugged - unplugged) / 1000:.1f} s; first answered request {delay:.2f} s "
                 f"after the plug, {len(zones)} zone(s) answered within 5 s of it")
    if delay > REPLUG_BOUND_S:
        run.fail(f"the program was answered again only {delay:.2f} s after the plug")


if __name__ == "__main__":
    sys.exit(main())
