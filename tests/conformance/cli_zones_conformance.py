#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""hz70cli poll and scan against pymodbus slaves: two HZ70s (id 142) and a foreign device (id 7)."""
import argparse
import csv
import io
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


def signed(word):
    return word - 65536 if word >= 32768 else word


class ZoneCommandsAgainstPymodbus(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.line = PtyLine(b_name="COM1").__enter__()
        # Runs even when the rest of the set-up fails, so no peer is left behind.
        cls.addClassCleanup(cls.line.__exit__, None, None, None)
        cls.line.start([PEER_PYTHON, SLAVE_SCRIPT, "--device", cls.line.a, "--framer", "rtu",
                        "--slave", "2", "--slave", "4:142", "--slave", "5:7"])
        deadline = time.monotonic() + 15
        while cls.cli("--address", "2", "identify").returncode != 0:
            if time.monotonic() > deadline:
                raise RuntimeError("pymodbus slave did not come up")

    @classmethod
    def cli(cls, *args):
        argv = [CLI, "--mode", "6", "--timeout", "150", *args]
        return subprocess.run(argv, cwd=cls.line.dir, capture_output=True, text=True, timeout=60)

    def test_scan_lists_the_hz70s_and_passes_over_the_foreign_device(self):
        run = self.cli("--first", "1", "--last", "8", "scan")
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertEqual(run.stdout.splitlines(),
                         ["address 2: HZ70 (slave id 142)", "address 4: HZ70 (slave id 142)"])
        self.assertIn("address 5: slave id 7, not an HZ70", run.stderr)
        self.assertIn("scan: 2 HZ70 found", run.stderr)

    def test_scan_of_an_empty_range_fails(self):
        run = self.cli("--first", "10", "--last", "12", "scan")
        self.assertEqual(run.returncode, 1)
        self.assertEqual(run.stdout, "")

    def test_poll_prints_scaled_signed_values_of_each_zone_in_turn(self):
        run = self.cli("--seconds", "2", "poll", "2", "4")
        self.assertEqual(run.returncode, 0, run.stderr)
        rows = list(csv.DictReader(io.StringIO(run.stdout)))
        self.assertGreaterEqual(len(rows), 6)
        self.assertEqual([row["zone"] for row in rows[:4]], ["1", "2", "1", "2"])
        for row in rows:
            address = int(row["address"])
            self.assertEqual(row["comm_error"], "0")
            if register_value(address, 4018) & 0x0007:  # a sensor alarm: the word is no reading
                self.assertEqual(row["temperature"], "")
                self.assertIn("sensor-", row["alarms"])
            else:
                self.assertEqual(float(row["temperature"]), signed(register_value(address, 4020)) / 10)
            self.assertEqual(float(row["leakage"]), signed(register_value(address, 4024)) / 10)
            self.assertEqual(int(row["alarm"]), register_value(address, 4018))
            self.assertEqual(int(row["status"]), register_value(address, 4019))

    def test_poll_takes_the_zones_of_a_settings_file_and_reports_a_silent_one(self):
        with open(os.path.join(self.line.dir, "hz70wiz.ini"), "wb") as settings:
            settings.write(b"Mode=6\r\nTimeout=150\r\nDevCount=2\r\nDevAddr=4;9;\r\n")
        run = self.cli("--settings", self.line.dir, "--port", "COM1", "--seconds", "3", "poll")
        self.assertEqual(run.returncode, 0, run.stderr)
        rows = list(csv.DictReader(io.StringIO(run.stdout)))
        by_zone = {zone: [row for row in rows if row["zone"] == zone] for zone in ("1", "2")}
        self.assertTrue(all(row["comm_error"] == "0" for row in by_zone["1"]))
        # The silent zone shows no values once its three attempts have failed.
        self.assertTrue(by_zone["2"])
        self.assertEqual(by_zone["2"][-1]["comm_error"], "1")
        self.assertEqual(by_zone["2"][-1]["temperature"], "")


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    args, rest = parser.parse_known_args()
    CLI = os.path.abspath(args.cli)
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(ZoneCommandsAgainstPymodbus)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)
