#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The Linux end of the serial line that the port tests under Wine open as COM1.

Makes two pseudo-terminals behind the links that the Wine prefix maps COM1 and COM2 to: COM1 is the line
under test, COM2 the line on which the test asks for what the other end of COM1 should do
(tests/windows/LinePeer.h):
  C 0 0          empty both directions of COM1; answers 'k'
  S n1 n0 data   send the n bytes of data into COM1 and wait until its driver has them queued; 'k' or 'f'
  R n1 n0        read up to n bytes that COM1 sent, waiting up to 2 s; answers their count (2 bytes,
                 high first) and the bytes
Runs until it is ended or --seconds pass.
"""

import argparse
import fcntl
import os
import select
import struct
import sys
import termios
import time
import tty

WAIT_S = 2.0


def make_line(link):
    """A raw pseudo-terminal whose device side `link` points at; returns (controller, device) fds."""
    controller, device = os.openpty()
    tty.setraw(device)
    os.set_blocking(controller, False)
    if os.path.lexists(link):
        os.remove(link)
    os.symlink(os.ttyname(device), link)
    return controller, device


def queued(device):
    return struct.unpack("i", fcntl.ioctl(device, termios.FIONREAD, b"\0\0\0\0"))[0]


def read_within(fd, count, deadline):
    got = b""
    while len(got) < count:
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([fd], [], [], left)[0]:
            break
        try:
            chunk = os.read(fd, count - len(got))
        except BlockingIOError:
            continue
        if not chunk:
            break
        got += chunk
    return got


def write_all(fd, data):
    while data:
        select.select([], [fd], [], WAIT_S)
        try:
            data = data[os.write(fd, data):]
        except BlockingIOError:
            continue


def send_into(controller, device, data):
    wanted = queued(device) + len(data)
    write_all(controller, data)
    deadline = time.monotonic() + WAIT_S
    while queued(device) < wanted:
        if time.monotonic() > deadline:
            return b"f"
        time.sleep(0.001)
    return b"k"


def empty(controller, device):
    termios.tcflush(device, termios.TCIOFLUSH)
    while select.select([controller], [], [], 0)[0] and os.read(controller, 4096):
        pass
    return b"k"


def serve(line, control, until):
    controller, device = line
    while time.monotonic() < until:
        header = read_within(control, 3, until)
        if len(header) < 3:
            return
        letter, length = chr(header[0]), header[1] << 8 | header[2]
        if letter == "C":
            answer = empty(controller, device)
        elif letter == "S":
            answer = send_into(controller, device, read_within(control, length, time.monotonic() + WAIT_S))
        elif letter == "R":
            got = read_within(controller, length, time.monotonic() + WAIT_S)
            answer = bytes([len(got) >> 8, len(got) & 0xFF]) + got
        else:
            print(f"line_peer: unknown request {header!r}", file=sys.stderr)
            return
        write_all(control, answer)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("line", help="the link COM1 leads to")
    parser.add_argument("control", help="the link COM2 leads to")
    parser.add_argument("--seconds", type=float, default=120)
    args = parser.parse_args()
    line = make_line(args.line)
    control, _ = make_line(args.control)
    print("line_peer: ready", flush=True)
    serve(line, control, time.monotonic() + args.seconds)


if __name__ == "__main__":
    main()
