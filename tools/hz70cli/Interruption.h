// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "comm/Clock.h"
#include "comm/SerialPort.h"

#include <atomic>
#include <cstdint>
#include <optional>

namespace hz70::cli {

// The number of the signal that asked the tool to stop, 0 while none did. A signal handler sets it, so it
// must be lock-free.
using StopSignal = std::atomic<int>;
static_assert(StopSignal::is_always_lock_free);

// When the tool stops: once a signal asked for it, or once its deadline (if any) has passed.
class StopCondition {
public:
    StopCondition(const StopSignal& signal, Clock& clock) : signal_(signal), clock_(clock) {}

    // From now on the tool also stops `milliseconds` from now.
    void SetDeadlineIn(std::uint32_t milliseconds);
    [[nodiscard]] bool Reached();
    // The signal that asked to stop, or 0.
    [[nodiscard]] int signal() const { return signal_.load(); }

private:
    const StopSignal& signal_;
    Clock& clock_;
    std::optional<std::uint32_t> deadline_;
};

// The longest a wait or sleep goes on unseen by a stop. It bounds both a signal that lands just before a
// wait starts and a platform whose waits a signal does not interrupt.
inline constexpr std::uint32_t kStopLatency = 50; // ms

// The tool's serial port: waits for input end within kStopLatency of the stop, as if the device had gone,
// and nothing is written from then on. So a blocking exchange ends soon whatever its reply time-out, and
// never sends a request (a write, least of all) after the user asked to stop.
class InterruptiblePort final : public SerialPort {
public:
    InterruptiblePort(SerialPort& port, StopCondition& stop) : port_(port), stop_(stop) {}

    [[nodiscard]] bool Open(const std::string& name) override { return port_.Open(name); }
    void AwaitDevice(const std::optional<std::string>& device) override { port_.AwaitDevice(device); }
    void Close() override { port_.Close(); }
    [[nodiscard]] bool IsOpen() const override { return port_.IsOpen(); }
    bool SetQueueSizes(std::size_t input, std::size_t output) override {
        return port_.SetQueueSizes(input, output);
    }
    bool SaveState() override { return port_.SaveState(); }
    bool RestoreState() override { return port_.RestoreState(); }
    bool SetImmediateReads() override { return port_.SetImmediateReads(); }
    [[nodiscard]] bool Apply(const LineConfig& config) override { return port_.Apply(config); }
    bool Purge(unsigned flags) override { return port_.Purge(flags); }
    bool ClearModemLine(ModemLine line) override { return port_.ClearModemLine(line); }
    [[nodiscard]] bool ReadErrorState(PortErrorState& state) override { return port_.ReadErrorState(state); }
    void ClearBreak() override { port_.ClearBreak(); }
    [[nodiscard]] int Read(std::uint8_t* buffer, std::size_t size) override {
        return port_.Read(buffer, size);
    }
    [[nodiscard]] int Write(const std::uint8_t* data, std::size_t size) override;
    [[nodiscard]] InputWait WaitForInput(std::uint32_t milliseconds) override;
    [[nodiscard]] PortCondition Condition() const override { return port_.Condition(); }

private:
    SerialPort& port_;
    StopCondition& stop_;
};

// The tool's clock: sleeps end within kStopLatency of the stop.
class InterruptibleClock final : public Clock {
public:
    InterruptibleClock(Clock& clock, StopCondition& stop) : clock_(clock), stop_(stop) {}

    [[nodiscard]] std::uint32_t GetTickCount() override { return clock_.GetTickCount(); }
    void Sleep(std::uint32_t milliseconds) override;

private:
    Clock& clock_;
    StopCondition& stop_;
};

} // namespace hz70::cli
