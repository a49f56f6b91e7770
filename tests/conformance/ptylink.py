# SPDX-License-Identifier: GPL-3.0-or-later
"""A serial line made of two linked pseudo-terminals (socat), and peers started on it."""
import os
import shutil
import subprocess
import sys
import tempfile
import time

# The peers run on the interpreter CTest chose for the tests, the one its configure found pymodbus in.
PEER_PYTHON = sys.executable


class PtyLine:
    """Two pseudo-terminals joined by socat: `a` and `b` are the paths of the two ends."""

    def __init__(self, a_name="a", b_name="b"):
        self.dir = tempfile.mkdtemp(prefix="hz70line.")
        self.a = os.path.join(self.dir, a_name)
        self.b = os.path.join(self.dir, b_name)
        self._processes = []

    def __enter__(self):
        self.start(["socat", f"pty,rawer,link={self.a}", f"pty,rawer,link={self.b}"])
        wait_for(lambda: os.path.exists(self.a) and os.path.exists(self.b), "socat's links")
        return self

    def __exit__(self, *exc):
        for process in reversed(self._processes):
            process.terminate()
            try:
                process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        shutil.rmtree(self.dir, ignore_errors=True)

    def start(self, argv, **kwargs):
        process = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.PIPE, **kwargs)
        self._processes.append(process)
        return process


def wait_for(condition, what, seconds=10.0):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            raise TimeoutError(f"gave up waiting for {what}")
        time.sleep(0.05)
