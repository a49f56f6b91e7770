// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70cli/Interruption.h"

#include "comm/Trans.h"
#include "support/FakeClock.h"
#include "support/FakeSerialPort.h"

#include <csignal>
#include <functional>
#include <gtest/gtest.h>

namespace hz70::cli {
namespace {

// The link on the tool's port and clock, at the longest time-out, on a line where nothing ever answers:
// a stop by signal or deadline one second in ends the exchange soon after, and no request (the write
// after its line check, or the read's repeat) goes out once it is reached.
TEST(Interruption, AStopEndsTheExchangeSoonAndNothingIsSentAfterIt) {
    constexpr std::uint32_t kStopAfter = 1000;
    struct Case {
        const char* name;
        bool bySignal;
        std::function<ExchangeResult(TTrans&)> exchange;
    };
    const auto write = [](TTrans& trans) {
        const std::uint16_t value = 210;
        trans.ResetPayload();
        (void)trans.PutValue('i', &value);
        return trans.WriteRegister(1, 4000);
    };
    const auto read = [](TTrans& trans) { return trans.ReadRegisters(1, 4018, 7); };
    const auto identify = [](TTrans& trans) { return trans.ReportSlaveId(1, nullptr); };
    for (const Case& c : {Case{"write, signal", true, write}, Case{"read, signal", true, read},
                          Case{"identify, deadline", false, identify}, Case{"read, deadline", false, read}}) {
        SCOPED_TRACE(c.name);
        test::FakeClock steady;
        test::FakeSerialPort device;
        device.clock = &steady;
        StopSignal signal{0};
        StopCondition stop(signal, steady);
        InterruptiblePort port(device, stop);
        InterruptibleClock clock(steady, stop);
        TTrans trans(port, clock);
        TTransSettings settings;
        settings.Timeout = kMaxReplyTimeout;
        (void)trans.SetSettings(settings);

        const std::uint32_t start = steady.now();
        if (c.bySignal) {
            steady.onTick = [&](std::uint32_t now) {
                if (now - start == kStopAfter) {
                    signal = SIGINT;
                }
            };
        } else {
            stop.SetDeadlineIn(kStopAfter);
        }
        EXPECT_EQ(c.exchange(trans), ExchangeResult::kNoReply);
        EXPECT_LE(steady.now() - start, kStopAfter + kStopLatency);
        EXPECT_EQ(device.writes.size(), 1u);
        EXPECT_TRUE(stop.Reached());
    }
}

} // namespace
} // namespace hz70::cli
