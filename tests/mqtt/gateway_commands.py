#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""hz70cli gateway --commands between hz70sim and a real mosquitto broker on loopback, commanded with
mosquitto_pub: a setpoint and a mode written, read back and answered; a table of bad commands each
refused with its reason and nothing written on the line (the simulator's request log); a flood of 1000
commands that leaves the polling cadence alone; the broker's access list deciding who may command; the
controller's refusal and its silence each answered. Each check runs on its own (name them on the
command line) or all in turn."""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from broker import Broker  # noqa: E402
from gateway_publishes import ADDRESSES, PREFIX, Gateway, Subscriber, run_checks  # noqa: E402
from hz70sim import Simulator  # noqa: E402

SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
EXAMPLE_ACL = os.path.join(SOURCE, "dist", "mosquitto", "hz70-acl")
WRITES = ("6", "16")


def publish(broker, topic, payload, *options, user=None, password=None):
    """mosquitto_pub at QoS 1; `payload` is bytes or text, None sends an empty message. Returns its exit
    status (a topic the client refuses gives non-zero)."""
    argv = ["mosquitto_pub", *broker.client_options(user, password), "-q", "1", "-t", topic, *options]
    data = payload.encode("utf-8") if isinstance(payload, str) else payload
    argv += ["-n"] if payload is None else ["-s"]
    return subprocess.run(argv, input=data or b"", stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          timeout=10).returncode


def results(subscriber, zone=None):
    """The results answered so far, as JSON, of one zone or all."""
    return [json.loads(m[3]) for m in subscriber.taken()
            if m[2].endswith("/result") and (zone is None or m[2] == f"{PREFIX}/zone/{zone}/result")]


def result_of(subscriber, topic, payload, timeout=10):
    """Waits for the result that answers (topic, payload)."""
    def answered(messages):
        return any(r["request"]["topic"] == topic and r["request"]["payload"] == payload
                   for r in results(subscriber))
    subscriber.wait_for(f"result of {topic} {payload!r}", answered, timeout)
    return [r for r in results(subscriber)
            if r["request"]["topic"] == topic and r["request"]["payload"] == payload][-1]


def writes(sim, since_ms=0):
    return [entry for entry in sim.log_lines() if entry[2] in WRITES and int(entry[0]) >= since_ms]


class CommandBench:
    """hz70sim on zones 1..3 with its request log, a broker, a gateway taking commands with an audit log
    of its own, and a subscriber to every result; ready once every zone has been published."""

    def __init__(self, cli, sim_program, broker=None, gateway_user=None, password=None, system=None):
        self.audit_dir = tempfile.mkdtemp(prefix="hz70audit.")
        self.audit = os.path.join(self.audit_dir, "commands.csv")
        self.sim = Simulator(sim_program, zones=",".join(ADDRESSES), mode=0, log=True)
        self.broker = broker or Broker()
        prefix = f"hz70/{system}" if system else PREFIX
        extra = {"system": system} if system else {}
        self.gateway = Gateway(cli, self.sim, self.broker.url(gateway_user), "--commands", "--audit",
                               self.audit, password=password, **extra)
        # With users, a dashboard's: it may read the results.
        reader = "dashboard" if self.broker.users else None
        self.results = Subscriber(self.broker, f"{prefix}/zone/+/result {prefix}/zone/+/state "
                                  f"{prefix}/zone/+/settings", reader, self.broker.users.get(reader))
        try:
            self.results.wait_for("state of every zone", lambda ms: all(
                any(m[2] == f"{prefix}/zone/{n}/state" for m in ms) for n in range(1, len(ADDRESSES) + 1)))
        except AssertionError as error:
            self.__exit__(type(error), error, None)
            raise

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        try:
            self.results.close()
            self.gateway.__exit__(*exc)
        finally:
            self.broker.close()
            self.sim.close()
            shutil.rmtree(self.audit_dir, ignore_errors=True)

    def audit_lines(self):
        with open(self.audit, encoding="utf-8") as audit:
            return audit.read().splitlines()


def check_round_trip(cli, sim_program):
    """A setpoint and a mode written, read back and answered on the result topic and, for an MQTT 5
    request, on its response topic with its correlation data; each in the audit log, and the zone's
    settings published again as read back."""
    cases = [  # zone, setting, payload, register, word written, value read back
        (2, "SP", "180", "4000", "180", 180),
        (3, "mode", "stop", "4016", "0", "stop"),
        (3, "mode", "auto", "4016", "1", "auto"),
    ]
    with CommandBench(cli, sim_program) as bench:
        replies = Subscriber(bench.broker, "replies/#")
        try:
            for zone, setting, payload, register, word, value in cases:
                topic = f"{PREFIX}/zone/{zone}/set/{setting}"
                sent = time.monotonic()
                publish(bench.broker, topic, payload, "-V", "mqttv5", "-D", "publish", "response-topic",
                        f"replies/{zone}", "-D", "publish", "correlation-data", f"c-{setting}")
                result = result_of(bench.results, topic, payload)
                print(f"{topic} {payload}: result after {1000 * (time.monotonic() - sent):.0f} ms: {result}")
                assert result["ok"] is True and result["read_back"] == value, result
                assert result["request"]["correlation"] == f"c-{setting}", result
                replies.wait_for(f"reply on replies/{zone}", lambda ms: any(
                    m[2] == f"replies/{zone}" and json.loads(m[3])["request"]["payload"] == payload
                    for m in ms))
                assert [w for w in writes(bench.sim) if w[1] == str(zone) and w[3] == register and
                        w[4] == word], f"no write of {word} to {register} at {zone}: {writes(bench.sim)}"
        finally:
            replies.close()
        bench.results.wait_for("zone 2's settings with SP as written", lambda ms: any(
            m[2] == f"{PREFIX}/zone/2/settings" and json.loads(m[3])["settings"]["SP"]["value"] == 180
            for m in ms))
        audit = bench.audit_lines()
        assert all(any(f"/zone/{zone}/set/{setting}" in line and payload in line for line in audit)
                   for zone, setting, payload, *_ in cases), audit


def check_bad_commands(cli, sim_program):
    """Each bad command is refused with its reason and writes nothing; so is a retained one, whether the
    broker held it before the gateway came (as after a broker restart) or it is sent while it runs."""
    cases = [  # topic under the prefix, payload, a word of the reason (None: the broker takes no such topic)
        ("zone/1/set/SP", "abc", "liczbą"),
        ("zone/1/set/SP", "0x10", "liczbą"),
        ("zone/1/set/SP", "1e2", "liczbą"),
        ("zone/1/set/SP", "180.5", "liczbą"),
        ("zone/1/set/SP", "١٨٠", "liczbą"),  # Arabic-Indic digits
        ("zone/1/set/SP", None, "liczbą"),  # empty
        ("zone/1/set/SP", "9" * 5000, "za długa"),
        ("zone/1/set/SP", b"\x00\xff\xfe1", "liczbą"),
        ("zone/1/set/SP", "600", "zakres"),
        ("zone/1/set/XP", "201", "zakres"),
        ("zone/1/set/PS", "-5", "zakres"),
        ("zone/1/set/FOO", "1", "nieznane ustawienie"),
        ("zone/1/set/mode", "manual", "tryb"),
        ("zone/0/set/SP", "180", "brak strefy"),
        ("zone/9/set/SP", "180", "brak strefy"),
        ("zone/+/set/SP", "180", None),
        ("zone/1/set/#", "180", None),
    ]
    retained = [(f"{PREFIX}/zone/2/set/SPL", "90"), (f"{PREFIX}/zone/3/set/SPR", "95")]
    broker = Broker()
    publish(broker, *retained[0], "-r")
    with CommandBench(cli, sim_program, broker) as bench:
        publish(bench.broker, *retained[1], "-r")
        said = []
        for topic, payload, reason in cases:
            answered = len(results(bench.results))
            status = publish(bench.broker, f"{PREFIX}/{topic}", payload)
            if reason is None:
                assert status != 0, f"the broker took a command on {topic}"
                continue
            bench.results.wait_for(f"a result for {topic} {payload!r:.20}", lambda ms: any(
                r["request"]["topic"] == f"{PREFIX}/{topic}" for r in results(bench.results)[answered:]))
            result = next(r for r in results(bench.results)[answered:]
                          if r["request"]["topic"] == f"{PREFIX}/{topic}")
            assert result["ok"] is False and reason in result["reason"], (topic, payload, result)
            said.append(f"{topic} {payload!r:.20}: {result['reason']}")
        for topic, payload in retained:
            result = next((r for r in results(bench.results) if r["request"]["topic"] == topic), None)
            assert result is None or result["ok"] is False, result
            said.append(f"{topic} {payload} retained: {result['reason'] if result else 'not answered'}")
        time.sleep(1)  # a few more rounds for a stray write to show
        assert not writes(bench.sim), f"bad commands wrote {writes(bench.sim)}"
    print("\n".join(said))


def check_flood(cli, sim_program):
    """1000 commands at once: over the 9 s from the flood on (three of the runner's 3 s intervals), the
    measured-value requests keep the pace of the 3 s before within 5 %, at most one write per 3 s reaches
    the line, and the rest are refused as too many (or as repeated)."""
    before_ms, during_ms = 3000, 9000
    with CommandBench(cli, sim_program) as bench:
        time.sleep(before_ms / 1000)
        flood_start = int(time.monotonic() * 1000)
        topic = f"{PREFIX}/zone/1/set/SP"
        payloads = [str(150 + i % 50) for i in range(1000)]
        subprocess.run(["mosquitto_pub", *bench.broker.client_options(), "-q", "1", "-t", topic, "-l"],
                       input="\n".join(payloads) + "\n", text=True, check=True, timeout=10)
        time.sleep(max(0.0, (flood_start + during_ms) / 1000 - time.monotonic()))
        bench.results.wait_for("a result for every command",
                               lambda ms: len(results(bench.results, 1)) >= 1000, timeout=10)
        log = bench.sim.log_lines()
    reads = lambda start, span: [int(e[0]) for e in log  # noqa: E731
                                 if e[2] == "3" and e[3] == "4018" and start <= int(e[0]) < start + span]
    pace = lambda times: (times[-1] - times[0]) / (len(times) - 1)  # noqa: E731
    before, during = reads(flood_start - before_ms, before_ms), reads(flood_start, during_ms)
    pace_before, pace_during = pace(before), pace(during)
    longest = max(b - a for a, b in zip(during, during[1:]))
    written = [e for e in log if e[2] in WRITES and int(e[0]) >= flood_start]
    answered = results(bench.results, 1)
    refused = [r for r in answered if not r["ok"] and r["reason"] == "zbyt wiele poleceń"]
    repeated = [r for r in answered if not r["ok"] and r["reason"] == "powtórzone polecenie"]
    seconds = (int(log[-1][0]) - flood_start) / 1000
    print(f"flood: a measured-value request every {pace_before:.1f} ms before, {pace_during:.1f} ms during "
          f"({100 * (pace_during / pace_before - 1):+.1f} %, longest gap {longest} ms); {len(written)} "
          f"writes, {len(refused)} refused as too many, {len(repeated)} as repeated, of {len(answered)}, all "
          f"answered within {seconds:.1f} s")
    assert len(written) <= 1 + seconds / 3, f"{len(written)} writes in {seconds:.1f} s, more than one per 3 s"
    assert len(refused) + len(repeated) + len(written) == len(answered) == 1000, "commands lost or run twice"
    assert abs(pace_during - pace_before) <= 0.05 * pace_before, "the flood slowed the polling"


def check_acl(cli, sim_program):
    """With the shipped access list, a dashboard's command never reaches the gateway, the control room's
    does."""
    users = {"gw-press3": "gateway-pass", "dashboard": "dashboard-pass", "controlroom": "control-pass"}
    with open(EXAMPLE_ACL, encoding="ascii") as acl:
        broker = Broker(users=users, acl=acl.read())
    with CommandBench(cli, sim_program, broker, "gw-press3", users["gw-press3"], "press3") as bench:
        topic = "hz70/press3/zone/1/set/SP"
        publish(broker, topic, "170", user="dashboard", password=users["dashboard"])
        publish(broker, topic, "171", user="controlroom", password=users["controlroom"])
        result = result_of(bench.results, topic, "171")
        assert result["ok"] is True, result
        time.sleep(1)
        answered = [r["request"]["payload"] for r in results(bench.results)]
        assert answered == ["171"], f"answered {answered}"
        assert [w[4] for w in writes(bench.sim)] == ["171"], writes(bench.sim)


def check_controller_faults(cli, sim_program):
    """The controller's exception and its silence each answered in words. The exception needs hz70sim's
    "refuse ADDR CODE" (every write answered with that exception)."""
    cases = [  # simulator command, zone, payload, the reason
        ("refuse 1 3", 1, "190", "wyjątek Modbus 3 (illegal data value)"),
        ("silence 2", 2, "180", "regulator nie odpowiada"),
    ]
    with CommandBench(cli, sim_program) as bench:
        for command, zone, payload, reason in cases:
            bench.sim.command(command)
            topic = f"{PREFIX}/zone/{zone}/set/SP"
            publish(bench.broker, topic, payload)
            result = result_of(bench.results, topic, payload)
            print(f"{topic} {payload} after {command!r}: {result['reason']}")
            assert result["ok"] is False and reason in result["reason"], result
        said = bench.gateway.stderr()
        assert 'zone 2 SP "180": refused: regulator nie odpowiada' in said, said


CHECKS = {"round_trip": check_round_trip, "bad_commands": check_bad_commands, "flood": check_flood,
          "acl": check_acl, "controller_faults": check_controller_faults}


if __name__ == "__main__":
    sys.exit(run_checks(CHECKS, __doc__))
