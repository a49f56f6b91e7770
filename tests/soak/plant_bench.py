#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A plant on one machine: GATEWAYS hz70cli gateways, each on its own hz70sim of 8 zones, all publishing
to one mosquitto broker, and one mosquitto_sub taking every topic at QoS 1 in a persistent session.
Halfway through, the broker is killed and started again after OUTAGE seconds.

Reports messages per second at the subscriber, the latency from a state's `time` (the poll's end) to
its receipt (median, 99th percentile; outside the outage), CPU (% of one core) and resident memory per
gateway, and the states lost across the restart: for every zone, each poll that the gateway printed in
its CSV must have reached the subscriber. Writes report.txt in the output folder; exits non-zero when a
state was lost."""
import argparse
import os
import signal
import statistics
import subprocess
import sys
import time
from datetime import datetime

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from broker import Broker  # noqa: E402
from hz70sim import Simulator  # noqa: E402

ZONES = 8
CLOCK_TICK = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat", encoding="ascii") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICK


def rss_kb(pid):
    with open(f"/proc/{pid}/status", encoding="ascii") as status:
        return next(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


def csv_polls(path):
    """(zone, local time text) of every poll line the gateway printed."""
    with open(path, encoding="utf-8") as csv:
        next(csv, None)
        return [(int(line.split(",")[1]), line.split(",")[0]) for line in csv if line.count(",") > 3]


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--build", required=True, help="the build folder with hz70cli and hz70sim")
    parser.add_argument("--out", required=True)
    parser.add_argument("--gateways", type=int, default=50)
    parser.add_argument("--seconds", type=int, default=60, help="the measured time, outage included")
    parser.add_argument("--outage", type=int, default=10, help="seconds the broker is away")
    args = parser.parse_args()
    cli = os.path.join(args.build, "tools", "hz70cli", "hz70cli")
    sim_program = os.path.join(args.build, "tools", "hz70sim", "hz70sim")
    os.makedirs(args.out, exist_ok=True)
    received_path = os.path.join(args.out, "received.txt")
    report = []

    def say(text):
        print(text, flush=True)
        report.append(text)

    sims, gateways = [], []
    with Broker(persistent=True) as broker:
        with open(received_path, "w", encoding="utf-8") as received:
            subscriber = subprocess.Popen(["mosquitto_sub", *broker.client_options(), "-t", "hz70/#",
                                           "-q", "1", "-c", "-i", "plant-bench", "-F", "%U %t %p"],
                                          stdout=received, stderr=subprocess.DEVNULL)
        try:
            for n in range(args.gateways):
                sim = Simulator(sim_program, "--seed", str(n + 1), zones=f"1-{ZONES}", mode=0)
                sims.append(sim)
                base = os.path.join(args.out, f"gateway{n:02d}")
                with open(base + ".csv", "w") as out, open(base + ".err", "w") as err:
                    gateways.append(subprocess.Popen(
                        [cli, "--port", sim.link, "gateway", "--mqtt", broker.url(),
                         "--system", f"line{n:02d}", "--csv", *map(str, range(1, ZONES + 1))],
                        stdin=subprocess.DEVNULL, stdout=out, stderr=err))
            say(f"{args.gateways} gateways, {args.gateways * ZONES} zones, one broker; warming up")
            time.sleep(10)
            start_wall, start_cpu = time.time(), [cpu_seconds(g.pid) for g in gateways]
            time.sleep(args.seconds / 2 - args.outage / 2)
            killed = time.time()
            broker.kill()
            time.sleep(args.outage)
            restarted = time.time()
            broker.start()
            time.sleep(args.seconds / 2 - args.outage / 2)
            end_wall, end_cpu = time.time(), [cpu_seconds(g.pid) for g in gateways]
            rss = [rss_kb(g.pid) for g in gateways]
            for gateway in gateways:
                gateway.send_signal(signal.SIGTERM)
            statuses = [gateway.wait(timeout=10) for gateway in gateways]
            time.sleep(2)  # the last acknowledgements reach the subscriber
        finally:
            for gateway in gateways:
                if gateway.poll() is None:
                    gateway.kill()
            subscriber.terminate()
            subscriber.wait()
            for sim in sims:
                sim.close()

    states = {}  # (system, zone) -> {poll time text: first receipt}
    duplicates = 0  # QoS 1 delivers at least once: a restarted broker resends what it last saved
    with open(received_path, encoding="utf-8") as received:
        for line in received:
            stamp, topic, payload = line.rstrip("\n").split(" ", 2)
            parts = topic.split("/")
            if len(parts) != 5 or parts[4] != "state":
                continue
            when = payload.split('"time":"', 1)[1].split('"', 1)[0]
            polls = states.setdefault((parts[1], int(parts[3])), {})
            duplicates += when in polls
            polls.setdefault(when, float(stamp))
    window = [(r, datetime.fromisoformat(when).timestamp()) for polls in states.values()
              for when, r in polls.items() if start_wall <= r < end_wall]
    # The outage ends for the gateways when each has reconnected and sent what it queued meanwhile.
    recovered = min((r for r, p in window if p > restarted and r - p < 0.1), default=end_wall)
    flushed = max((r for r, p in window if killed <= p <= recovered), default=recovered)
    steady = [(r - p) * 1000 for r, p in window if p < killed - 1 or p > flushed + 2]
    cpu = [(e - s) / (end_wall - start_wall) * 100 for s, e in zip(start_cpu, end_cpu)]
    say(f"messages at the subscriber: {len(window) / (end_wall - start_wall):.0f} zone states/s over "
        f"{end_wall - start_wall:.0f} s, a broker outage of {args.outage} s included")
    say(f"latency from the poll's end to receipt: median {statistics.median(steady):.1f} ms, "
        f"p99 {percentile(steady, 0.99):.1f} ms ({len(steady)} states outside the outage and the "
        f"catching up)")
    say(f"the broker back after {args.outage} s: fresh states arrive {recovered - restarted:.1f} s "
        f"later, and everything queued meanwhile has arrived {flushed - restarted:.1f} s later")
    say(f"per gateway: CPU {statistics.mean(cpu):.2f} % of a core on average (max {max(cpu):.2f} %), "
        f"RSS {statistics.mean(rss) / 1024:.1f} MiB on average (max {max(rss) / 1024:.1f} MiB)")
    lost = 0
    for n in range(args.gateways):
        system = f"line{n:02d}"
        for zone, when in csv_polls(os.path.join(args.out, f"gateway{n:02d}.csv")):
            stamp = datetime.strptime(when, "%Y-%m-%d %H:%M:%S.%f").timestamp()
            received = states.get((system, zone), {})
            if killed - 5 <= stamp <= restarted + 5 and not any(
                    abs(datetime.fromisoformat(t).timestamp() - stamp) < 0.05 for t in received):
                lost += 1
    polled = sum(1 for (_, _), polls in states.items() for t in polls
                 if killed - 5 <= datetime.fromisoformat(t).timestamp() <= restarted + 5)
    say(f"across the broker restart: {polled} states polled from 5 s before the kill to 5 s after the "
        f"restart reached the subscriber; {lost} of those the gateways printed did not (goal: 0)")
    say(f"duplicates (QoS 1 resent after the restart): {duplicates}")
    say(f"gateways' exit status on SIGTERM: {sorted(set(statuses))}")
    with open(os.path.join(args.out, "report.txt"), "w", encoding="utf-8") as out:
        out.write("\n".join(report) + "\n")
    return 1 if lost else 0


if __name__ == "__main__":
    sys.exit(main())
