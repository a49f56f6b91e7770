// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "comm/SerialPort.h"
#include "support/FakeClock.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace hz70::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes ToBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// A serial port in memory: records every operation and every write, and delivers input that the test
// queues, either directly or from `onWrite` (a scripted peer answering each request).
class FakeSerialPort final : public SerialPort {
public:
    // Switches for failures.
    bool openSucceeds = true;
    bool applySucceeds = true;
    bool errorStateReadable = true;
    bool writeSucceeds = true;
    bool overflowPending = false;

    std::vector<std::string> calls;  // operation names in order
    std::vector<Bytes> writes;       // every block written
    std::vector<LineConfig> applied; // every configuration applied
    std::string openedName;
    std::optional<std::string> awaitedDevice; // as the link's user last set it
    std::function<void(const Bytes&)> onWrite;
    PortCondition condition; // what Condition reports
    // With a clock, WaitForInput lets fake time pass until input arrives (the clock's onTick may deliver
    // it); without one it returns at once, as if the time had passed.
    FakeClock* clock = nullptr;
    int waitCalls = 0;

    void Arrive(const Bytes& bytes) { input_.insert(input_.end(), bytes.begin(), bytes.end()); }
    void Arrive(const std::string& text) { Arrive(ToBytes(text)); }
    [[nodiscard]] std::size_t pendingInput() const { return input_.size(); }
    [[nodiscard]] int CallCount(const std::string& name) const {
        int n = 0;
        for (const auto& c : calls) {
            n += c == name ? 1 : 0;
        }
        return n;
    }

    bool Open(const std::string& name) override {
        calls.push_back("Open");
        openedName = name;
        open_ = openSucceeds;
        return open_;
    }
    void Close() override {
        calls.push_back("Close");
        open_ = false;
    }
    bool IsOpen() const override { return open_; }
    void AwaitDevice(const std::optional<std::string>& device) override { awaitedDevice = device; }
    PortCondition Condition() const override { return condition; }
    bool SetQueueSizes(std::size_t, std::size_t) override { return Record("SetQueueSizes"); }
    bool SaveState() override { return Record("SaveState"); }
    bool RestoreState() override { return Record("RestoreState"); }
    bool SetImmediateReads() override { return Record("SetImmediateReads"); }
    bool Apply(const LineConfig& config) override {
        calls.push_back("Apply");
        applied.push_back(config);
        return applySucceeds;
    }
    bool Purge(unsigned flags) override {
        calls.push_back("Purge");
        if ((flags & (RxClear | RxAbort)) != 0) {
            input_.clear();
        }
        return true;
    }
    bool ClearModemLine(ModemLine line) override {
        return Record(line == ModemLine::Rts ? "ClearRts" : "ClearDtr");
    }
    bool ReadErrorState(PortErrorState& state) override {
        calls.push_back("ReadErrorState");
        if (!errorStateReadable) {
            return false;
        }
        state = PortErrorState{};
        state.inputOverflow = overflowPending;
        overflowPending = false;
        state.queuedInput = input_.size();
        return true;
    }
    void ClearBreak() override { calls.push_back("ClearBreak"); }
    int Read(std::uint8_t* buffer, std::size_t size) override {
        calls.push_back("Read");
        std::size_t n = 0;
        while (n < size && !input_.empty()) {
            buffer[n++] = input_.front();
            input_.pop_front();
        }
        return static_cast<int>(n);
    }
    int Write(const std::uint8_t* data, std::size_t size) override {
        calls.push_back("Write");
        if (!writeSucceeds) {
            return -1;
        }
        writes.emplace_back(data, data + size);
        if (onWrite) {
            onWrite(writes.back());
        }
        return static_cast<int>(size);
    }
    InputWait WaitForInput(std::uint32_t milliseconds) override {
        ++waitCalls;
        if (!open_) {
            return InputWait::Failed;
        }
        for (std::uint32_t waited = 0; clock != nullptr && waited < milliseconds && input_.empty();
             ++waited) {
            clock->Advance(1);
        }
        return input_.empty() ? InputWait::TimedOut : InputWait::Ready;
    }

private:
    bool Record(const char* name) {
        calls.emplace_back(name);
        return true;
    }

    bool open_ = false;
    std::deque<std::uint8_t> input_;
};

} // namespace hz70::test
