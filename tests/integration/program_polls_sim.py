#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The whole program (offscreen) against hz70sim on a pseudo-terminal: the simulator's request log must
show the three zones polled in turn, one request per zone every two 100 ms ticks while replies come
within a tick; SIGTERM then ends the program cleanly."""
import argparse
import os
import signal
import statistics
import subprocess
import sys
import tempfile
import time


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--sim", required=True)
    args = parser.parse_args()
    program_path, sim_path = os.path.abspath(args.program), os.path.abspath(args.sim)
    failures = []
    with tempfile.TemporaryDirectory(prefix="hz70e2e.") as work:
        with open(os.path.join(work, "HZ70wiz.INI"), "wb") as settings:
            settings.write(b"DevCount=3\r\nDevAddr=1;2;3;0;0;0;0;0;\r\n")
        sim = subprocess.Popen([sim_path, "--zones", "1,2,3", "--link", "COM1", "--mode", "0", "--log",
                                "requests.log"], cwd=work, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            deadline = time.monotonic() + 10
            while not os.path.exists(os.path.join(work, "COM1")):
                if time.monotonic() > deadline:
                    raise SystemExit("hz70sim made no link")
                time.sleep(0.05)
            program = subprocess.Popen([program_path], cwd=work, stdin=subprocess.DEVNULL,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                       env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
            time.sleep(8)
            program.send_signal(signal.SIGTERM)
            status = program.wait(timeout=20)
            if status != 0:
                failures.append(f"the program ended with {status} on SIGTERM")
        finally:
            sim.terminate()
            sim.wait(timeout=10)
        with open(os.path.join(work, "requests.log")) as log:
            entries = [line.split() for line in log if line.strip()]

    polls = [(int(e[0]), int(e[1])) for e in entries if e[2] == "3" and e[3] == "4018"]
    attaches = [int(e[1]) for e in entries if e[2] == "17"]
    if attaches[:3] != [1, 2, 3]:
        failures.append(f"start-up identified {attaches[:3]}, not 1, 2, 3")
    # Skip the first round: the settings read at start-up comes in between.
    steady = polls[3:]
    addresses = [address for _, address in steady]
    expected = [(addresses[0] - 1 + i) % 3 + 1 for i in range(len(addresses))] if addresses else []
    if len(steady) < 20:
        failures.append(f"only {len(steady)} polls in the steady part")
    elif addresses != expected:
        failures.append(f"zones not polled in turn: {addresses[:12]} ...")
    gaps = [b[0] - a[0] for a, b in zip(steady, steady[1:])]
    if gaps:
        median = statistics.median(gaps)
        print(f"{len(steady)} polls, gap between requests: median {median} ms, "
              f"min {min(gaps)} ms, max {max(gaps)} ms ({1000 / median:.2f} zone polls per second)")
        if not 180 <= median <= 230:
            failures.append(f"median gap {median} ms, not two 100 ms ticks")
    for failure in failures:
        print("FAILED:", failure)
    print(f"{0 if failures else 1} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
