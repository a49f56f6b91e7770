// SPDX-License-Identifier: GPL-3.0-or-later
// The two steps the 100 ms poll timer runs on every tick: both must take microseconds at most.
#include "comm/Trans.h"
#include "support/FakeClock.h"
#include "support/FakeSerialPort.h"
#include "support/RtuFrame.h"

#include <benchmark/benchmark.h>

namespace {

using namespace hz70;
using test::Bytes;

Bytes MeasuredBlockReply() {
    Bytes frame{1, 3, 14};
    for (std::uint8_t i = 0; i < 14; ++i) {
        frame.push_back(i);
    }
    return test::WithCrc(std::move(frame)); // 19 bytes
}

struct Bench {
    test::FakeClock clock{1'000'000, 0};
    test::FakeSerialPort port;
    TTrans trans{port, clock};

    Bench() {
        TTransSettings settings;
        settings.Mode = 6;
        settings.Timeout = 1'000'000'000; // never times out while measured
        (void)trans.SetSettings(settings);
        (void)trans.ReadRegistersAsync(1, 4018, 7); // sends; the reply is now awaited
    }
};

void PolledReadStepWithNothingArrived(benchmark::State& state) {
    Bench bench;
    for (auto _ : state) {
        benchmark::DoNotOptimize(bench.trans.ReadRegistersAsync(1, 4018, 7));
    }
}
BENCHMARK(PolledReadStepWithNothingArrived);

void AwaitReplyParsingACompleteRtuReply(benchmark::State& state) {
    Bench bench;
    const Bytes reply = MeasuredBlockReply();
    for (auto _ : state) {
        bench.port.Arrive(reply);
        benchmark::DoNotOptimize(bench.trans.AwaitReply());
    }
}
BENCHMARK(AwaitReplyParsingACompleteRtuReply);

} // namespace

BENCHMARK_MAIN();
