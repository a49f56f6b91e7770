// SPDX-License-Identifier: GPL-3.0-or-later
// The poll timer's exchange on a line where RTS is raised by hand, in real time: how long the caller
// spends in one poll step at most (it must stay far below the 100 ms tick), and how soon after the
// request's last stop bit RTS comes down (the reply may start 3.5 characters later).
#include "comm/ModbusFraming.h"
#include "comm/RtsTransmitter.h"
#include "comm/Trans.h"
#include "support/FakeClock.h"
#include "support/FakeSerialPort.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using namespace hz70;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A line that sends like a UART at its rate: a block leaves one character time per byte after what was
// queued before it, and a drain returns when its last stop bit has left.
class UartLine final : public RtsLine {
public:
    UartLine(int rate, int bitsPerByte)
        : byteTime_(std::chrono::microseconds(1'000'000 * bitsPerByte / rate)) {}

    bool RaiseRts() override { return true; }
    int Write(const std::uint8_t*, std::size_t size) override {
        const std::lock_guard lock(mutex_);
        lastBit_ = std::max(Clock::now(), lastBit_) + static_cast<int>(size) * byteTime_;
        return static_cast<int>(size);
    }
    void WaitUntilSent() override {
        std::unique_lock lock(mutex_);
        changed_.wait_until(lock, lastBit_, [this] { return discarded_; });
        discarded_ = false;
    }
    void DiscardOutput() override {
        const std::lock_guard lock(mutex_);
        discarded_ = true;
        lastBit_ = Clock::now();
        changed_.notify_all();
    }
    void LowerRts() override {
        const std::lock_guard lock(mutex_);
        longestLag_ = std::max(longestLag_, Clock::now() - lastBit_);
        ++lowered_;
    }

    [[nodiscard]] int lowered() const {
        const std::lock_guard lock(mutex_);
        return lowered_;
    }
    [[nodiscard]] Clock::duration longestLag() const {
        const std::lock_guard lock(mutex_);
        return longestLag_;
    }

private:
    const Clock::duration byteTime_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Clock::time_point lastBit_;
    bool discarded_ = false;
    int lowered_ = 0;
    Clock::duration longestLag_{};
};

test::Bytes MeasuredBlockReply(Framing framing) {
    test::Bytes frame{1, 3, 14};
    for (std::uint8_t i = 0; i < 14; ++i) {
        frame.push_back(i);
    }
    test::Bytes line(64);
    line.resize(EncodeFrame(framing, frame, line));
    return line;
}

double Milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

// Arguments: the baud table's index and the mode table's index. Each iteration is one exchange, ticked
// every 100 ms as the poll timer does; the slave answers once RTS is down.
void PollExchangeWithRtsRaisedByHand(benchmark::State& state) {
    TTransSettings settings;
    settings.Baud = static_cast<int>(state.range(0));
    settings.Mode = static_cast<int>(state.range(1));
    settings.Timeout = kMaxReplyTimeout;
    test::FakeClock clock;
    test::FakeSerialPort port;
    TTrans trans(port, clock);
    (void)trans.SetSettings(settings);
    (void)trans.ReadRegistersAsync(1, 4018, 7); // opens the port: its configuration is known from here
    const LineConfig config = port.applied.back();
    UartLine line(config.baudRate, 1 + config.dataBits + (config.parity == 'N' ? 0 : 1) + config.stopBits);
    RtsTransmitter transmitter(line);
    port.onWrite = [&](const test::Bytes& block) {
        (void)transmitter.Send(block.data(), block.size(), DrainBound(config, block.size()));
    };
    const test::Bytes reply =
        MeasuredBlockReply(kModeTable[settings.Mode].rtu ? Framing::Rtu : Framing::Ascii);
    trans.Close();

    Clock::duration longestStep{};
    for (auto _ : state) {
        const int loweredBefore = line.lowered();
        bool answered = false;
        for (auto result = ExchangeResult::kBusy; result == ExchangeResult::kBusy;) {
            if (!answered && line.lowered() > loweredBefore) {
                port.Arrive(reply);
                answered = true;
            }
            const auto start = Clock::now();
            result = trans.ReadRegistersAsync(1, 4018, 7);
            longestStep = std::max(longestStep, Clock::now() - start);
            clock.Advance(100);
            std::this_thread::sleep_for(100ms);
        }
    }
    state.counters["longest_step_ms"] = Milliseconds(longestStep);
    state.counters["rts_lag_ms"] = Milliseconds(line.longestLag());
}
BENCHMARK(PollExchangeWithRtsRaisedByHand)
    ->ArgNames({"baud", "mode"})
    ->Args({0, 6}) // 300 bit/s, RTU: 8 request bytes, 267 ms on the wire
    ->Args({0, 0}) // 300 bit/s, ASCII: 17 characters, 567 ms
    ->Args({5, 6}) // 9600 bit/s, RTU: 8.3 ms
    ->Args({5, 0}) // 9600 bit/s, ASCII: 17.7 ms
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
