#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""hz70sim against Modbus masters we did not write: mbpoll (RTU) and pymodbus (RTU and ASCII).

Each case starts hz70sim on a pseudo-terminal with a link in a temporary directory, talks to it, stops
it with a signal or "quit" and checks that it ended cleanly and removed its link.
"""
import argparse
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from hz70sim import Simulator  # noqa: E402

SKIPPED = 77


def simulator(program, mode, baud=9600, extra=()):
  return Simulator(program, "--baud", str(baud), "--foreign", "9=77", *extra, zones="1,2,3", mode=mode, log=True,
                   banner="hz70sim: zones 1-3")


def check(condition, message):
  if not condition:
    raise AssertionError(message)


def mbpoll(link, *args, write=()):
  values = ["--", *write] if write else []
  result = subprocess.run(["mbpoll", "-m", "rtu", "-b", "9600", "-P", "none", "-o", "1", "-1", *args, link, *values],
                          capture_output=True, text=True, timeout=15)
  return result.stdout + result.stderr


def mbpoll_values(output):
  return {int(reg): int(value) for reg, value in re.findall(r"\[(\d+)\]:\s+(-?\d+)", output)}


def check_measured(values):
  """The 7 measured words of a zone that has just powered up in automatic control."""
  check(sorted(values) == list(range(4018, 4025)), "registers %s" % sorted(values))
  signed = {reg: value - 65536 if value >= 32768 else value for reg, value in values.items()}
  check(signed[4018] == 0, "alarm word %d" % signed[4018])
  check(signed[4019] & 0x0001, "status word %#x lacks automatic control" % signed[4019])
  check(100 <= signed[4020] <= 6000, "temperature %d tenths" % signed[4020])
  check(signed[4021] in (1000, 2000), "working setpoint %d tenths" % signed[4021])
  check(0 <= signed[4022] <= 1000, "output %d tenths of %%" % signed[4022])


def case_mbpoll_rtu(program):
  if shutil.which("mbpoll") is None:
    return SKIPPED
  with simulator(program, mode=6) as sim:
    check_measured(mbpoll_values(mbpoll(sim.link, "-0", "-a", "1", "-r", "4018", "-c", "7")))
    identity = mbpoll(sim.link, "-a", "2", "-u")
    check(re.search(r"Id\s*:\s*0x8E", identity) and "Status: On" in identity, identity)
    foreign = mbpoll(sim.link, "-a", "9", "-u")
    check(re.search(r"Id\s*:\s*0x4D", foreign), foreign)
    mbpoll(sim.link, "-0", "-a", "3", "-r", "4000", write=["250"])
    check(mbpoll_values(mbpoll(sim.link, "-0", "-a", "3", "-r", "4000", "-c", "16"))[4000] == 250,
          "SP not written")
    check("Illegal data value" in mbpoll(sim.link, "-0", "-a", "3", "-r", "4003", write=["101"]),
          "PS 101 accepted")
    check("Illegal data address" in mbpoll(sim.link, "-0", "-a", "3", "-r", "4016", "-c", "2"),
          "a read across 4017 accepted")
    answers = [fields[5] for fields in sim.log_lines()]
    check(answers == ["ok", "ok", "ok", "ok", "ok", "exception3", "exception2"], "log %s" % answers)
    sim.stop(signal.SIGINT)
  return 0


def pymodbus_client(link, framer_name, mode):
  from pymodbus.client import ModbusSerialClient
  from pymodbus.transaction import ModbusAsciiFramer, ModbusRtuFramer
  framer = ModbusAsciiFramer if framer_name == "ascii" else ModbusRtuFramer
  # A pseudo-terminal on recent kernels refuses a parity change on its own (EINVAL), so RTU runs N,8,1;
  # ASCII runs E,7,1, which the kernel takes since the data bits change with it.
  formats = {1: (7, "E", 1), 6: (8, "N", 1)}
  bytesize, parity, stopbits = formats[mode]
  client = ModbusSerialClient(link, framer=framer, baudrate=9600, bytesize=bytesize, parity=parity,
                              stopbits=stopbits, timeout=1, retries=0)
  check(client.connect(), "pymodbus cannot open the link")
  return client


def case_pymodbus(program, framer_name):
  from pymodbus.other_message import ReportSlaveIdRequest
  mode = 1 if framer_name == "ascii" else 6
  with simulator(program, mode=mode) as sim:
    client = pymodbus_client(sim.link, framer_name, mode)
    try:
      reply = client.read_holding_registers(4018, 7, slave=1)
      check(not reply.isError(), "read 4018: %s" % reply)
      check_measured({4018 + i: value for i, value in enumerate(reply.registers)})

      identity = client.execute(ReportSlaveIdRequest(unit=2))
      check(not identity.isError() and identity.identifier[:1] == b"\x8e" and identity.status,
            "report slave id: %s" % identity)

      written = client.write_register(4006, 12, slave=2)
      check(not written.isError() and written.address == 4006 and written.value == 12, "write XP: %s" % written)
      settings = client.read_holding_registers(4000, 16, slave=2)
      check(not settings.isError() and settings.registers[6] == 12 and settings.registers[0] == 200,
            "settings after the write: %s" % settings)

      refused = client.write_register(4001, 150, slave=2)
      check(refused.isError() and refused.exception_code == 3, "SPL 150: %s" % refused)
      outside = client.read_holding_registers(4017, 1, slave=2)
      check(outside.isError() and outside.exception_code == 2, "read 4017: %s" % outside)
      unknown = client.read_input_registers(4018, 7, slave=2)
      check(unknown.isError() and unknown.exception_code == 1, "function 4: %s" % unknown)
    finally:
      client.close()
    functions = [fields[2] for fields in sim.log_lines()]
    check(functions == ["3", "17", "6", "3", "6", "3", "4"], "log %s" % functions)
    sim.stop(signal.SIGTERM)
  return 0


def timed_exchange(link, request, expected_length, timeout=5.0):
  """Sends a request on the raw line; returns the reply and the seconds from the write to its last byte."""
  import serial
  port = serial.Serial(link, 1200, timeout=0)
  try:
    port.reset_input_buffer()
    start = time.monotonic()
    port.write(request)
    reply = b""
    while len(reply) < expected_length and time.monotonic() - start < timeout:
      select.select([port.fileno()], [], [], 0.5)
      reply += port.read(expected_length - len(reply))
    return reply, time.monotonic() - start
  finally:
    port.close()


def case_pacing(program):
  """At 1200 bit/s a reply of n characters cannot be complete before n * 10 / 1200 s."""
  poll_rtu = bytes([0x01, 0x03, 0x0F, 0xB2, 0x00, 0x07, 0xA7, 0x3B])
  for mode, request, length, bits in ((6, poll_rtu, 19, 10), (3, poll_rtu, 19, 11),
                                      (0, b":01030FB2000734\r\n", 39, 10)):
    with simulator(program, mode=mode, baud=1200, extra=("--response-delay", "0")) as sim:
      reply, seconds = timed_exchange(sim.link, request, length)
      check(len(reply) == length, "mode %d: %d of %d bytes" % (mode, len(reply), length))
      floor = length * bits / 1200
      check(seconds >= floor, "mode %d: %d characters in %.3f s, faster than %.3f s" % (mode, length, seconds, floor))
      check(seconds < floor + 0.25, "mode %d: %.3f s, far slower than the line" % (mode, seconds))
      print("mode %d: %d characters at 1200 bit/s in %.3f s (line time %.3f s)" % (mode, length, seconds, floor))
      sim.stop("quit")
  return 0


CASES = {
    "mbpoll-rtu": case_mbpoll_rtu,
    "pymodbus-rtu": lambda program: case_pymodbus(program, "rtu"),
    "pymodbus-ascii": lambda program: case_pymodbus(program, "ascii"),
    "pacing": case_pacing,
}


def main():
  parser = argparse.ArgumentParser(description=__doc__)
  parser.add_argument("--sim", required=True, help="the hz70sim program")
  parser.add_argument("case", choices=sorted(CASES))
  args = parser.parse_args()
  try:
    return CASES[args.case](args.sim)
  except AssertionError as failure:
    print("FAILED: %s" % failure, file=sys.stderr)
    return 1


if __name__ == "__main__":
  sys.exit(main())
