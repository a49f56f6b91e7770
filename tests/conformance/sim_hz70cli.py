#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Our own master (hz70cli) against hz70sim with every fault kind the simulator injects.

Faults are switched on hz70sim's standard input between exchanges; every exchange must end in the result
code the master documents, within a bound set by its reply time-out (nothing hangs).
"""
import argparse
import os
import re
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from hz70sim import Simulator  # noqa: E402

TIMEOUT_MS = 300
# A blocking read waits at most twice (one repeat) plus its pauses; leave room for process start-up.
BOUND_S = 2 * TIMEOUT_MS / 1000 + 0.6


def check(condition, message):
  if not condition:
    raise AssertionError(message)


def simulator(program, mode, directory=None):
  return Simulator(program, "--foreign", "9=77", "--seed", "5", zones="1,2", mode=mode, directory=directory,
                   banner="hz70sim: zones 1-2")


def run_cli(cli, sim, mode, *args, address=1):
  return subprocess.run([cli, "--port", sim.link, "--mode", str(mode), "--timeout", str(TIMEOUT_MS),
                         "--address", str(address), *args], capture_output=True, text=True, timeout=10)


def exchange(cli, sim, mode, *args, address=1):
  """Runs hz70cli once; returns its result code, its output and how long it took."""
  start = time.monotonic()
  result = run_cli(cli, sim, mode, *args, address=address)
  seconds = time.monotonic() - start
  found = re.search(r"result (-?\d+)", result.stdout)
  check(found, "no result from hz70cli %s: %r %r" % (args, result.stdout, result.stderr))
  return int(found.group(1)), result.stdout, seconds


def expect(cli, sim, mode, name, code, *args, address=1, output=None):
  result, text, seconds = exchange(cli, sim, mode, *args, address=address)
  check(result == code, "%s: result %d, expected %d\n%s" % (name, result, code, text))
  check(seconds < BOUND_S, "%s: took %.2f s" % (name, seconds))
  if output:
    check(re.search(output, text), "%s: %r not in\n%s" % (name, output, text))
  print("%-28s result %4d  %.2f s" % (name, result, seconds))


def whole_runs(cli, sim, mode):
  """Commands judged by their exit status, last line and time: a poll nobody answers, one where a zone
  does (nothing said after where the port leads), one whose start waits on a silent zone at the longest
  time-out (--seconds still holds), a scan's summary."""
  for args, status, last_line, seconds in (
      (("--seconds", "1", "poll", "3"), 1, r"^hz70cli: no zone answered in 1\.\d s$", 1.5),
      (("--seconds", "1", "poll", "2", "3"), 0, r"^hz70cli: .*COM1 is a link to /dev/pts/", 1.5),
      (("--timeout", "600000", "--seconds", "1", "poll", "1", "3"), 1, r"^hz70cli: no zone answered in 1\.\d s$", 1.5),
      (("--first", "1", "--last", "3", "scan"), 0, r"^scan: 2 HZ70 found; asked 3 addresses \(1\.\.3\) in \d+\.\d s$", BOUND_S)):
    start = time.monotonic()
    run = run_cli(cli, sim, mode, *args)
    took = time.monotonic() - start
    lines = run.stderr.splitlines()
    check(run.returncode == status and lines and re.search(last_line, lines[-1]) and took < seconds,
          "hz70cli %s: exit %d after %.2f s, stderr %r" % (" ".join(args), run.returncode, took, run.stderr))
    print("%-28s exit %d  %.2f s" % (" ".join(args), run.returncode, took))


def stops_when_asked(cli, sim, mode):
  """SIGINT and SIGTERM end a command at once whatever its time-out, as killed by the signal, and with no
  result it did not get: a wait for a silent controller, a write's, a poll's."""
  for args, sig in ((("--timeout", "600000", "identify"), signal.SIGINT),
                    (("--timeout", "600000", "write", "4000", "210"), signal.SIGTERM),
                    (("--timeout", "600000", "poll", "1", "3"), signal.SIGINT)):
    process = subprocess.Popen([cli, "--port", sim.link, "--mode", str(mode), "--address", "3", *args],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    time.sleep(0.5)
    start = time.monotonic()
    process.send_signal(sig)
    try:
      out, err = process.communicate(timeout=5)
    finally:
      if process.poll() is None:
        process.kill()
    took = time.monotonic() - start
    check(process.returncode == -sig and took < 0.2 and "result" not in out and "answered" not in err,
          "hz70cli %s on %s: exit %s after %.2f s, %r %r" % (" ".join(args), sig.name, process.returncode, took, out, err))
    print("%-28s %s: ended in %.3f s" % (" ".join(args[2:]), sig.name, took))


def link_ownership(program, mode):
  """A second simulator is refused a link a running one serves; a dead one's link is taken over."""
  with simulator(program, mode) as first:
    second = subprocess.run([program, "--link", first.link, "--zones", "3"], stdin=subprocess.DEVNULL,
                            capture_output=True, text=True, timeout=5)
    check(second.returncode == 1 and "belongs to a running hz70sim (process %d)" % first.process.pid in second.stderr,
          "second simulator on an owned link: exit %d, %r" % (second.returncode, second.stderr))
    check(os.path.realpath(first.link).startswith("/dev/pts/"), "the owner lost its link")
    first.process.kill()  # dies without removing anything
    first.process.wait(timeout=5)
    check(os.path.lexists(first.link), "a killed simulator's link should be left behind")
    with simulator(program, mode, directory=first.dir) as heir:
      check("replacing " in heir.process.stderr.readline(), "taking over a dead simulator's link was not said")
      heir.stop()
  print("%-28s refused while owned, taken over once its owner died" % "link ownership")


def run(cli, program, mode):
  with simulator(program, mode) as sim:
    expect(cli, sim, mode, "clean read", 3, "read", "4018", "7",
           output=r"4019 \d+ -?\d+ 0x[0-9A-F]{4} Status\n4020 \d+ -?\d+ 0x[0-9A-F]{4} Trz -?\d+\.\d °C\n")
    expect(cli, sim, mode, "identify", 17, "identify", output=r"slave id 142")
    expect(cli, sim, mode, "foreign device", 17, "identify", address=9, output=r"slave id 77")
    expect(cli, sim, mode, "no such controller", 2, "identify", address=3)
    expect(cli, sim, mode, "refused value", 134, "write", "4003", "101", output=r"exception 3 \(illegal data value\)")
    expect(cli, sim, mode, "register outside the map", 131, "read", "4017", "1",
           output=r"exception 2 \(illegal data address\)")
    whole_runs(cli, sim, mode)
    stops_when_asked(cli, sim, mode)

    for command, name in (("drop 1", "dropped reply"), ("corrupt 1", "corrupt checksum"),
                          ("wrongaddr 1", "reply from another address")):
      sim.command(command)
      expect(cli, sim, mode, name, 2, "read", "4018", "7")
      expect(cli, sim, mode, name + " (write)", 2, "write", "4000", "210")
      sim.command(command.split()[0] + " 0")

    sim.command("noise 1")
    # Bytes that belong to no frame are skipped in both framings: the reply behind them is found.
    expect(cli, sim, mode, "noise before replies", 3, "read", "4018", "7")
    sim.command("noise 0")

    sim.command("split 3 40")
    expect(cli, sim, mode, "reply in 3 pieces", 3, "read", "4018", "7")
    sim.command("split 1")

    sim.command("delay %d" % (TIMEOUT_MS - 150))
    expect(cli, sim, mode, "reply near the time-out", 3, "read", "4018", "7")
    sim.command("delay %d" % (TIMEOUT_MS + 150))
    expect(cli, sim, mode, "reply past the time-out", 2, "identify")
    sim.command("delay 0")
    time.sleep(0.3)  # let the late reply go by

    sim.command("silence 1")
    expect(cli, sim, mode, "silenced controller", 2, "read", "4018", "7")
    expect(cli, sim, mode, "its neighbour", 3, "read", "4018", "7", address=2)
    sim.command("revive 1")
    expect(cli, sim, mode, "revived controller", 3, "read", "4018", "7")

    sim.command("alarm 1 fuse")
    expect(cli, sim, mode, "blown fuse", 3, "read", "4018", "1", output=r"4018 256 ")
    sim.command("alarm 1 clear")
    expect(cli, sim, mode, "alarm cleared", 3, "read", "4018", "1", output=r"4018 0 ")
    sim.stop()


def main():
  parser = argparse.ArgumentParser(description=__doc__)
  parser.add_argument("--sim", required=True, help="the hz70sim program")
  parser.add_argument("--cli", required=True, help="the hz70cli program")
  parser.add_argument("--mode", type=int, required=True, help="framing mode 0..6")
  args = parser.parse_args()
  try:
    run(args.cli, args.sim, args.mode)
    if args.mode == 0:
      link_ownership(args.sim, args.mode)
  except AssertionError as failure:
    print("FAILED: %s" % failure, file=sys.stderr)
    return 1
  return 0


if __name__ == "__main__":
  sys.exit(main())
