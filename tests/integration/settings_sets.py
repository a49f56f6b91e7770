#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""hz70cli settings against hz70sim: a set saved, one setting changed on the line, the difference found,
and loading the set back writes that setting and nothing else (the simulator's request log); a zone's
settings copied to two others write only what differs."""
import argparse
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from hz70sim import Simulator  # noqa: E402

MODE = 6  # RTU


def check(condition, message):
  if not condition:
    raise AssertionError(message)


def main():
  parser = argparse.ArgumentParser()
  parser.add_argument("--sim", required=True)
  parser.add_argument("--cli", required=True)
  args = parser.parse_args()

  with Simulator(args.sim, zones="1-3", mode=MODE, log=True) as sim:
    set_file = os.path.join(sim.dir, "set.txt")

    def cli(*words, status):
      run = subprocess.run([args.cli, "--port", sim.link, "--mode", str(MODE), "--timeout", "300", *words],
                           capture_output=True, text=True, timeout=10)
      check(run.returncode == status, "hz70cli %s: exit %d, wanted %d\n%s%s"
            % (" ".join(words), run.returncode, status, run.stdout, run.stderr))
      return run.stdout

    def writes():
      return [line for line in sim.log_lines() if line[2] == "6"]

    cli("settings", "save", set_file, "1", "2", "3", status=0)
    check("\nXP " in open(set_file, encoding="utf-8").read(), "no XP in the saved set")
    cli("--address", "2", "write", "4006", "77", status=0)  # someone changes zone 2 on the line
    before = len(writes())
    listed = cli("settings", "diff", set_file, status=1)
    check(listed.count("\n") == 1 and "address 2" in listed and "XP 77 %" in listed, listed)
    cli("settings", "load", set_file, status=1)  # without --yes nothing is written
    check(len(writes()) == before, "written without --yes")
    loaded = cli("settings", "load", set_file, "--yes", status=0)
    check(re.fullmatch(r"zone 2 \(address 2, [^)]*\): XP \d+ %, wanted \d+\n.*: XP \d+: written\n", loaded), loaded)
    written = writes()[before:]
    check([w[1:4] for w in written] == [["2", "6", "4006"]], "writes: %r" % written)
    cli("settings", "diff", set_file, status=0)
    print("saved, changed, found and restored with %d write" % len(written))

    # Zone 1's one change copied to zones 2 and 3: that setting, and only it, written to each.
    cli("--address", "1", "write", "4007", "123", status=0)
    before = len(writes())
    cli("settings", "copy", "1", "2", "3", "--yes", status=0)
    copied = [w[1:5] for w in writes()[before:]]
    check(copied == [["2", "6", "4007", "123"], ["3", "6", "4007", "123"]], "copy wrote %r" % copied)


if __name__ == "__main__":
  main()
