#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Our Modbus master (through hz70cli) against pymodbus slaves, in RTU and in ASCII framing."""
import argparse
import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from ptylink import PEER_PYTHON, PtyLine  # noqa: E402
from pymodbus_slave import register_value  # noqa: E402

CLI = None
SLAVE_SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "pymodbus_slave.py")
TIMEOUT_MS = 300


class MasterAgainstPymodbus:
    framer = None
    mode = None

    @classmethod
    def setUpClass(cls):
        cls.line = PtyLine(b_name="COM1").__enter__()
        # Runs even when the rest of the set-up fails, so no peer is left behind.
        cls.addClassCleanup(cls.line.__exit__, None, None, None)
        cls.slave = cls.line.start([PEER_PYTHON, SLAVE_SCRIPT, "--device", cls.line.a, "--framer",
                                    cls.framer, "--slave", "1", "--slave", "2:142", "--slave", "5:7"])
        # The slave is ready once it answers.
        deadline = time.monotonic() + 15
        while cls.cli("identify").returncode != 0:
            if time.monotonic() > deadline or cls.slave.poll() is not None:
                raise RuntimeError("pymodbus slave did not come up: " + cls.slave.stderr.read().decode())

    @classmethod
    def cli(cls, *args, address=1, port=None):
        argv = [CLI, "--port", port or "COM1", "--mode", str(cls.mode), "--timeout", str(TIMEOUT_MS),
                "--address", str(address), *args]
        # COM1 is found as the entry in the working directory.
        return subprocess.run(argv, cwd=cls.line.dir, capture_output=True, text=True, timeout=30)

    def values(self, output):
        return [tuple(int(field) for field in line.split()[:2]) for line in output.splitlines()[1:]]

    def test_identify_reports_the_hz70_id_and_a_foreign_id(self):
        run = self.cli("identify")
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        self.assertIn("result 17", run.stdout)
        self.assertIn("slave id 142 (HZ70)", run.stdout)
        run = self.cli("identify", address=5)
        self.assertIn("slave id 7 (not an HZ70)", run.stdout)

    def test_reads_the_measured_block_and_the_settings_block(self):
        for address, first, count in ((1, 4018, 7), (2, 4000, 16)):
            run = self.cli("read", str(first), str(count), address=address)
            self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
            self.assertTrue(run.stdout.startswith("result 3"))
            expected = [(r, register_value(address, r) if r != 4016 else 0)
                        for r in range(first, first + count)]
            self.assertEqual(self.values(run.stdout), expected)

    def test_written_setting_reads_back(self):
        for value in (1, 0):
            run = self.cli("write", "4016", str(value), address=2)
            self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
            self.assertIn("result 6", run.stdout)
            run = self.cli("read", "4016", "1", address=2)
            self.assertEqual(self.values(run.stdout), [(4016, value)])

    def test_exception_reply_gives_its_code(self):
        run = self.cli("read", "6000", "2")
        self.assertEqual(run.returncode, 1)
        self.assertIn("result 131", run.stdout)
        self.assertIn("exception 2", run.stdout)

    def test_missing_slave_times_out_with_result_2(self):
        start = time.monotonic()
        run = self.cli("read", "4018", "7", address=9)
        elapsed = time.monotonic() - start
        self.assertEqual(run.returncode, 1)
        self.assertIn("result 2", run.stdout)
        # The blocking read asks twice, each waiting out the time-out.
        self.assertGreaterEqual(elapsed, 2 * TIMEOUT_MS / 1000)
        run = self.cli("identify", address=9)
        self.assertEqual(run.returncode, 1)
        self.assertIn("result 2", run.stdout)

    def test_absent_port_is_reported_without_sending(self):
        run = self.cli("identify", port=os.path.join(self.line.dir, "absent"))
        self.assertEqual(run.returncode, 1)
        self.assertIn("result -2", run.stdout)


class RtuAgainstPymodbus(MasterAgainstPymodbus, unittest.TestCase):
    framer = "rtu"
    mode = 6


class AsciiAgainstPymodbus(MasterAgainstPymodbus, unittest.TestCase):
    framer = "ascii"
    mode = 0


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--framer", choices=["rtu", "ascii"])
    args, rest = parser.parse_known_args()
    CLI = os.path.abspath(args.cli)
    suites = {"rtu": RtuAgainstPymodbus, "ascii": AsciiAgainstPymodbus}
    classes = [suites[args.framer]] if args.framer else list(suites.values())
    suite = unittest.TestSuite(unittest.defaultTestLoader.loadTestsFromTestCase(c) for c in classes)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)
