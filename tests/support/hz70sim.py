# SPDX-License-Identifier: GPL-3.0-or-later
"""hz70sim for the Python tests: started on a pseudo-terminal link (or a loopback TCP port), ready once it
has printed its banner, told what to do on its standard input, and never left running: leaving the `with`
block ends it."""
import os
import re
import select
import shutil
import signal
import subprocess
import tempfile

WAIT_S = 5.0


class Simulator:
    """A running hz70sim serving the link COM1 in `dir`, a temporary folder of its own unless `directory`
    names one; with `tcp`, a free loopback TCP port instead, as an Ethernet converter would. `port` is what
    a master gives as its port: the link's path or "tcp:127.0.0.1:N". `options` are further command-line
    options. Starting fails unless its banner begins with `banner`; with `log`, its request log is
    requests.log in `dir`."""

    def __init__(self, program, *options, zones, mode, directory=None, log=False, banner="hz70sim: zones ",
                 tcp=False):
        self._own_dir = directory is None
        self.dir = directory or tempfile.mkdtemp(prefix="hz70sim.")
        self.link = None if tcp else os.path.join(self.dir, "COM1")
        self.log = os.path.join(self.dir, "requests.log") if log else None
        line = ["--tcp", "0"] if tcp else ["--link", self.link]
        argv = [program, *line, "--zones", zones, "--mode", str(mode), *options]
        self.process = subprocess.Popen(argv + (["--log", self.log] if log else []), stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        # The banner comes once the link is there and a signal would end it cleanly.
        self.banner = self._read_line()
        if not self.banner.startswith(banner):
            self.close()
            raise AssertionError("hz70sim did not start: %r %r" % (self.banner, self.process.stderr.read()))
        # The port the system picked is in the banner.
        self.port = re.search(r" on (tcp:\S+),", self.banner).group(1) if tcp else self.link

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def _read_line(self):
        ready, _, _ = select.select([self.process.stdout], [], [], WAIT_S)
        return self.process.stdout.readline() if ready else ""

    def command(self, line):
        """Gives a command such as "silence 3" or "unplug"; returns the answer, or raises AssertionError
        when there is none or it is a refusal."""
        self.process.stdin.write(line + "\n")
        self.process.stdin.flush()
        reply = self._read_line()
        if not reply or reply.startswith("error"):
            raise AssertionError("command %r: %r" % (line, reply))
        return reply

    def log_lines(self):
        with open(self.log, encoding="ascii") as log:
            return [line.split() for line in log if line.strip()]

    def _end(self, how):
        """Ends it by `how`, a signal or "quit" on its input, killing it if it lingers; returns its status."""
        if self.process.poll() is None:
            if how == "quit":
                self.process.stdin.write("quit\n")
                self.process.stdin.flush()
            else:
                self.process.send_signal(how)
        try:
            return self.process.wait(timeout=WAIT_S)
        except subprocess.TimeoutExpired:
            self.process.kill()
            return self.process.wait()

    def stop(self, how=signal.SIGTERM):
        """Ends it by `how` and raises AssertionError unless it ended with status 0 and removed its link."""
        status = self._end(how)
        link_left = self.link is not None and os.path.lexists(self.link)
        if status != 0 or link_left:
            raise AssertionError("hz70sim ended with %s, link left: %s" % (status, link_left))

    def close(self):
        self._end(signal.SIGTERM)
        if self._own_dir:
            shutil.rmtree(self.dir, ignore_errors=True)
