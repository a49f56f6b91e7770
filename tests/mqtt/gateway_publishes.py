#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""hz70cli gateway between hz70sim and real mosquitto brokers on loopback, watched with mosquitto_sub:
every zone's state and settings with their documented fields, Home Assistant's discovery, and "online"
retained; "offline" when the
gateway is killed or stopped; nothing lost and the polling unchanged while the broker is killed and
restarted; TLS with a password, and a wrong password refused in words; a site broker bridged to a plant
broker. Each check runs on its own (name them on the command line) or all in turn."""
import argparse
import json
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from datetime import datetime

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from broker import Broker  # noqa: E402
from hz70sim import Simulator  # noqa: E402

ADDRESSES = ["1", "2", "3"]
ZONES = range(1, len(ADDRESSES) + 1)
SYSTEM = "line1"
PREFIX = f"hz70/{SYSTEM}"
STATE_KEYS = {"time", "zone", "address", "name", "temperature", "setpoint", "power", "current", "leakage",
              "unit", "alarms", "mode", "comm_error"}
WAIT_S = 10.0


class Subscriber:
    """mosquitto_sub on `topic` (several: separated by spaces) at QoS 1, every message kept as (receipt
    time, retained, topic, payload). With `session`, a persistent session of that client id, which the
    broker keeps while it is away."""

    def __init__(self, broker, topic="hz70/#", user=None, password=None, session=None):
        topics = [option for t in topic.split() for option in ("-t", t)]
        argv = ["mosquitto_sub", *broker.client_options(user, password), *topics, "-q", "1",
                "-F", "%U %r %t %p"]
        if session:
            argv += ["-c", "-i", session]
        self.process = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.messages = []
        self._lock = threading.Lock()
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _read(self):
        for line in self.process.stdout:
            received, retained, topic, payload = line.rstrip("\n").split(" ", 3)
            with self._lock:
                self.messages.append((float(received), retained == "1", topic, payload))

    def taken(self, topic=None):
        with self._lock:
            return [m for m in self.messages if topic is None or m[2] == topic]

    def wait_for(self, what, predicate, timeout=WAIT_S):
        """Waits until predicate(messages) is true; raises AssertionError saying `what` otherwise."""
        deadline = time.monotonic() + timeout
        while not predicate(self.taken()):
            if time.monotonic() > deadline:
                raise AssertionError(f"within {timeout} s no {what}; got {len(self.taken())} messages: "
                                     f"{self.taken()[-5:]}")
            time.sleep(0.05)

    def close(self):
        self.process.terminate()
        self.process.wait(timeout=5)


class Gateway:
    """hz70cli gateway on the simulator's line, publishing to `url` as SYSTEM unless `system` is given;
    a password goes through a private file. Its standard error and its CSV of the polls are kept in
    files, readable at any time."""

    def __init__(self, cli, sim, url, *options, password=None, system=SYSTEM):
        self.dir = tempfile.mkdtemp(prefix="hz70gateway.")
        argv = [cli, "--port", sim.link, "gateway", "--mqtt", url, "--system", system, *options]
        if password is not None:
            secret = os.path.join(self.dir, "password")
            with open(os.open(secret, os.O_WRONLY | os.O_CREAT, 0o600), "w", encoding="utf-8") as file:
                file.write(password + "\n")
            argv += ["--mqtt-password-file", secret]
        self.stderr_path = os.path.join(self.dir, "stderr")
        self.csv_path = os.path.join(self.dir, "polls.csv")
        with open(self.stderr_path, "w", encoding="utf-8") as stderr, open(self.csv_path, "w") as csv:
            self.process = subprocess.Popen(argv + ["--csv"] + ADDRESSES, stdin=subprocess.DEVNULL,
                                            stdout=csv, stderr=stderr)

    def __enter__(self):
        return self

    def __exit__(self, exc_type, *exc):
        """Stops it as a service manager would, if it still runs: it must end with 0, and with no finding
        of the sanitizers in any case."""
        try:
            running = self.process.poll() is None
            status = self.stop()
            said = self.stderr()
            if exc_type is None:
                assert not running or status == 0, f"the gateway ended with {status} on SIGTERM: {said}"
                assert "Sanitizer" not in said and "runtime error" not in said, said
        finally:
            shutil.rmtree(self.dir, ignore_errors=True)

    def stop(self, how=signal.SIGTERM):
        """Ends it by `how`; returns its exit status."""
        if self.process.poll() is None:
            self.process.send_signal(how)
        try:
            return self.process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            raise AssertionError(f"the gateway did not end within 5 s of signal {how}")

    def stderr(self):
        with open(self.stderr_path, encoding="utf-8") as stderr:
            return stderr.read()

    def polls(self):
        """(zone, poll time) of every update it printed in its CSV."""
        with open(self.csv_path, encoding="utf-8") as csv:
            rows = [line.split(",") for line in list(csv)[1:]]
        return [(int(row[1]), datetime.strptime(row[0], "%Y-%m-%d %H:%M:%S.%f").timestamp()) for row in rows
                if len(row) > 3 and row[3]]

    def wait_said(self, text, timeout=5):
        """Waits until its standard error holds `text`; returns all of it."""
        deadline = time.monotonic() + timeout
        while text not in self.stderr():
            if time.monotonic() > deadline:
                raise AssertionError(f"the gateway did not say {text!r} within {timeout} s: {self.stderr()}")
            time.sleep(0.05)
        return self.stderr()


def states(messages, zone):
    return [json.loads(m[3]) for m in messages if m[2] == f"{PREFIX}/zone/{zone}/state"]


def every_zone_has(suffix):
    return lambda messages: all(any(m[2] == f"{PREFIX}/zone/{n}/{suffix}" for m in messages)
                                for n in ZONES)


def status_is(value, prefix=PREFIX):
    return lambda messages: bool(messages) and any(m[2] == f"{prefix}/status" and m[3] == value
                                                   for m in messages)


def last_status(messages, prefix=PREFIX):
    said = [m[3] for m in messages if m[2] == f"{prefix}/status"]
    return said[-1] if said else None


def poll_time(state):
    return datetime.fromisoformat(state["time"]).timestamp()


def check_publishes(cli, sim_program):
    """Every zone's state with the documented fields, its settings, Home Assistant's discovery, and
    "online" retained."""
    with Simulator(sim_program, zones=",".join(ADDRESSES), mode=0) as sim, Broker() as broker, \
            Gateway(cli, sim, broker.url(), "--ha-discovery"):
        subscriber = Subscriber(broker, "hz70/# homeassistant/#")
        try:
            subscriber.wait_for("state of every zone", every_zone_has("state"))
            subscriber.wait_for("settings of every zone", every_zone_has("settings"))
            subscriber.wait_for("discovery of every zone", lambda ms: {
                json.loads(m[3])["state_topic"] for m in ms if m[2].startswith("homeassistant/")} == {
                f"{PREFIX}/zone/{n}/state" for n in ZONES})
        finally:
            subscriber.close()
        for zone, address in enumerate(ADDRESSES, start=1):
            state = states(subscriber.taken(), zone)[-1]
            missing = STATE_KEYS - state.keys()
            assert not missing, f"zone {zone}: no {sorted(missing)} in {state}"
            assert (state["zone"], state["address"]) == (zone, int(address)), state
            assert state["unit"] in ("°C", "°F") and state["comm_error"] is False, state
            numbers = ("temperature", "setpoint", "power", "current", "leakage")
            assert all(isinstance(state[key], (int, float)) for key in numbers), state
            datetime.fromisoformat(state["time"])
            settings = json.loads(subscriber.taken(f"{PREFIX}/zone/{zone}/settings")[-1][3])
            assert isinstance(settings, dict) and settings, settings
        # A newcomer sees the retained status and every zone at once.
        late = Subscriber(broker)
        try:
            late.wait_for("retained online", lambda ms: any(m[2] == f"{PREFIX}/status" and m[1] and
                                                            m[3] == "online" for m in ms))
            late.wait_for("retained state of every zone", every_zone_has("state"))
        finally:
            late.close()


def check_availability(cli, sim_program):
    """"offline" as the last will of a killed gateway, and from a stopped one, which exits 0."""
    with Simulator(sim_program, zones=",".join(ADDRESSES), mode=0) as sim, Broker() as broker:
        subscriber = Subscriber(broker, topic=f"{PREFIX}/status")
        try:
            for how, status in ((signal.SIGKILL, -signal.SIGKILL), (signal.SIGTERM, 0)):
                with Gateway(cli, sim, broker.url()) as gateway:
                    subscriber.wait_for("online", lambda ms: last_status(ms) == "online")
                    gateway.wait_said(f"MQTT: connected to 127.0.0.1:{broker.port}\n")
                    assert gateway.stop(how) == status, f"signal {how}: exit status not {status}"
                    subscriber.wait_for(f"offline after signal {how}",
                                        lambda ms: last_status(ms) == "offline", timeout=3)
        finally:
            subscriber.close()


def request_gaps(log, start, end):
    """The gaps between the measured-value requests of the simulator's log in [start, end) (monotonic ms)."""
    times = [int(e[0]) for e in log if e[2] == "3" and e[3] == "4018" and start <= int(e[0]) < end]
    return [b - a for a, b in zip(times, times[1:])]


def check_broker_restart(cli, sim_program):
    """The broker killed for 5 s: every update the gateway polled around the outage reaches a subscriber
    once the broker is back, and the simulator sees the same polling cadence during the outage as
    before it."""
    outage_s = 5
    with Simulator(sim_program, zones=",".join(ADDRESSES), mode=0, log=True) as sim, \
            Broker(persistent=True) as broker, Gateway(cli, sim, broker.url()) as gateway:
        subscriber = Subscriber(broker, session="hz70-test-watcher")
        try:
            subscriber.wait_for("online", status_is("online"))
            time.sleep(3)  # the session is saved; a few rounds before the outage
            killed, killed_at = time.monotonic(), time.time()
            broker.kill()
            time.sleep(outage_s)
            restarted, restarted_at = time.monotonic(), time.time()
            broker.start()
            # Everything polled meanwhile arrives, then a few more rounds.
            subscriber.wait_for("states after the restart", lambda ms: all(
                any(poll_time(s) > restarted_at + 2 for s in states(ms, n)) for n in ZONES), timeout=15)
            said, polls, log = gateway.stderr(), gateway.polls(), sim.log_lines()
        finally:
            subscriber.close()
    received = {zone: [poll_time(s) for s in states(subscriber.taken(), zone)] for zone in ZONES}
    # The CSV line and the state of one update are stamped a moment apart; a zone's updates 0.6 s apart.
    lost = [(zone, when) for zone, when in polls if killed_at - 2 <= when <= restarted_at + 2
            and not any(abs(t - when) < 0.1 for t in received[zone])]
    assert not lost, f"{len(lost)} updates polled around the outage never arrived, e.g. {lost[:3]}"
    log_ms = lambda t: int(t * 1000)  # noqa: E731 (time.monotonic and the simulator share CLOCK_MONOTONIC)
    before = request_gaps(log, log_ms(killed - 3), log_ms(killed))
    during = request_gaps(log, log_ms(killed), log_ms(restarted))
    polled = len([p for p in polls if killed_at <= p[1] <= restarted_at])
    print(f"request gaps: before {statistics.median(before)} ms, during the outage "
          f"{statistics.median(during)} ms (max {max(during)} ms); {polled} updates during the outage, "
          f"none lost")
    # A tick that waited for the broker would show as a gap of a second or more.
    assert abs(statistics.median(during) - statistics.median(before)) <= 20 and max(during) < 1000, \
        "the polling slowed while the broker was away"
    assert re.search(rf"^hz70cli: MQTT: .*127\.0\.0\.1:{broker.port}.*; retrying$", said, re.M), said


def check_tls_password(cli, sim_program):
    """Over TLS with a user and password; a wrong password is refused, said in words, and never shown."""
    users = {"gateway": "right-pass-1", "reader": "reader-pass"}
    wrong = "wrong-pass-2"
    with Simulator(sim_program, zones=",".join(ADDRESSES), mode=0) as sim, \
            Broker(users=users, tls=True) as broker:
        subscriber = Subscriber(broker, "hz70/#", "reader", users["reader"])
        try:
            with Gateway(cli, sim, broker.url("gateway"), "--mqtt-ca", broker.ca,
                         password=users["gateway"]), \
                    Gateway(cli, sim, broker.url("gateway"), "--mqtt-ca", broker.ca, password=wrong,
                            system="intruder") as refused:
                subscriber.wait_for("state of every zone over TLS", every_zone_has("state"))
                said = refused.wait_said("; retrying\n")
                assert refused.process.poll() is None, "the refused gateway gave up instead of retrying"
        finally:
            subscriber.close()
        print("a wrong password:", said.splitlines()[-1])
        assert re.search(r"^hz70cli: MQTT: .*(password|not authori[sz]ed).*; retrying$", said, re.M), said
        assert wrong not in said, "the password was written to standard error"
        assert not any(m[2].startswith("hz70/intruder/") for m in subscriber.taken())


def check_bridge(cli, sim_program):
    """A site broker bridged to a plant broker: the plant sees the same topics."""
    with Simulator(sim_program, zones=",".join(ADDRESSES), mode=0) as sim, Broker() as plant, \
            Broker(bridge_to=plant) as site, Gateway(cli, sim, site.url()):
        subscriber = Subscriber(plant)
        try:
            subscriber.wait_for("online at the plant", status_is("online"))
            subscriber.wait_for("state of every zone at the plant", every_zone_has("state"))
            subscriber.wait_for("settings of every zone at the plant", every_zone_has("settings"))
        finally:
            subscriber.close()


CHECKS = {"publishes": check_publishes, "availability": check_availability,
          "broker_restart": check_broker_restart, "tls_password": check_tls_password, "bridge": check_bridge}


def run_checks(checks, description):
    """Runs the checks named on the command line (default: all) against --cli and --sim; 1 if any failed."""
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("checks", nargs="*", help=", ".join(checks) + " (default: all)")
    args = parser.parse_args()
    unknown = set(args.checks) - checks.keys()
    if unknown:
        parser.error(f"no check named {', '.join(sorted(unknown))}")
    failed = 0
    for name in args.checks or checks:
        started = time.monotonic()
        try:
            checks[name](args.cli, args.sim)
            print(f"ok: {name} ({time.monotonic() - started:.1f} s)")
        except AssertionError as error:
            failed += 1
            print(f"FAILED: {name}: {error}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(run_checks(CHECKS, __doc__))
