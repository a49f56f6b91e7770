// SPDX-License-Identifier: GPL-3.0-or-later
#include "comm/RtsTransmitter.h"

#include <chrono>
#include <condition_variable>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace hz70 {
namespace {

using namespace std::chrono_literals;
using Ops = std::vector<std::string>;

// A line that records its operations in order and whose last bit leaves only when the test lets it (or
// the output is discarded). A drain nobody ends gives up after a few seconds and says so, so a fault
// shows as a wrong sequence rather than a hung test.
class GatedLine final : public RtsLine {
public:
    bool rtsOffered = true;
    int writeResult = 0; // 0: the whole block is queued

    bool RaiseRts() override {
        Record("RaiseRts");
        return rtsOffered;
    }
    int Write(const std::uint8_t*, std::size_t size) override {
        Record("Write");
        const std::lock_guard lock(mutex_);
        queued_ = true;
        return writeResult != 0 ? writeResult : static_cast<int>(size);
    }
    void WaitUntilSent() override {
        std::unique_lock lock(mutex_);
        const bool ended = changed_.wait_for(lock, 5s, [this] { return !queued_ || lastBitMayLeave_; });
        if (queued_) {
            ops_.emplace_back(ended ? "LastBitLeft" : "DrainNeverEnded");
        }
        queued_ = lastBitMayLeave_ = false;
    }
    void DiscardOutput() override {
        const std::lock_guard lock(mutex_);
        ops_.emplace_back("DiscardOutput");
        queued_ = false;
        changed_.notify_all();
    }
    void LowerRts() override { Record("LowerRts"); }

    void LetLastBitLeave() {
        const std::lock_guard lock(mutex_);
        lastBitMayLeave_ = true;
        changed_.notify_all();
    }
    Ops ops() const {
        const std::lock_guard lock(mutex_);
        return ops_;
    }

private:
    void Record(const char* op) {
        const std::lock_guard lock(mutex_);
        ops_.emplace_back(op);
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Ops ops_;
    bool queued_ = false;
    bool lastBitMayLeave_ = false;
};

constexpr std::uint8_t kBlock[] = {0x01, 0x03, 0x0F, 0xB2, 0x00, 0x07, 0xA7, 0x3B};
constexpr int kBlockSize = static_cast<int>(sizeof kBlock);
constexpr auto kNoBound = std::chrono::milliseconds(1h);

TEST(RtsTransmitterTest, RtsStaysUpUntilTheLastBitLeftWhileTheSenderGoesOn) {
    enum class End { LastBitLeaves, OutputPurged, PortClosed, PastItsBound, NextBlockSent };
    const Ops kSent = {"RaiseRts", "Write"};
    const Ops kLeft = {"RaiseRts", "Write", "LastBitLeft", "LowerRts"};
    const Ops kEnded = {"RaiseRts", "Write", "DiscardOutput", "LowerRts"};
    const Ops kNextAfterLowering = {"RaiseRts", "Write", "LastBitLeft", "LowerRts", "RaiseRts", "Write"};
    const struct {
        const char* name;
        End end;
        Ops ops;
    } cases[] = {
        {"the last bit leaves", End::LastBitLeaves, kLeft},
        {"the output is purged", End::OutputPurged, kEnded},
        {"the port is closed", End::PortClosed, kEnded},
        {"a drain past its bound is ended by the next wait", End::PastItsBound, kEnded},
        {"the next block waits for the previous one's lowering", End::NextBlockSent, kNextAfterLowering},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GatedLine line;
        auto transmitter = std::make_unique<RtsTransmitter>(line);
        const auto bound = c.end == End::PastItsBound ? 1ms : kNoBound;
        ASSERT_EQ(transmitter->Send(kBlock, sizeof kBlock, bound), kBlockSize);
        EXPECT_EQ(line.ops(), kSent) << "the sender waited for the wire";
        EXPECT_TRUE(transmitter->Sending());
        switch (c.end) {
        case End::LastBitLeaves:
            line.LetLastBitLeave();
            transmitter->AwaitIdle();
            break;
        case End::OutputPurged:
            transmitter->Abort();
            break;
        case End::PortClosed:
            transmitter.reset();
            break;
        case End::PastItsBound:
            transmitter->AwaitIdle();
            break;
        case End::NextBlockSent: {
            auto next = std::async(std::launch::async,
                                   [&] { return transmitter->Send(kBlock, sizeof kBlock, kNoBound); });
            EXPECT_EQ(next.wait_for(50ms), std::future_status::timeout) << "sent while RTS was up";
            line.LetLastBitLeave();
            EXPECT_EQ(next.get(), kBlockSize);
            break;
        }
        }
        EXPECT_EQ(line.ops(), c.ops);
        if (transmitter && c.end != End::NextBlockSent) {
            EXPECT_FALSE(transmitter->Sending());
        }
    }
}

TEST(RtsTransmitterTest, ABlockWithNothingToWaitForLeavesNoDrainBehind) {
    const struct {
        const char* name;
        bool rtsOffered;
        int writeResult;
        Ops ops;
    } cases[] = {
        {"no RTS on the line", false, 0, {"RaiseRts", "Write"}},
        {"the write failed", true, -1, {"RaiseRts", "Write", "LowerRts"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GatedLine line;
        line.rtsOffered = c.rtsOffered;
        line.writeResult = c.writeResult;
        RtsTransmitter transmitter(line);
        EXPECT_EQ(transmitter.Send(kBlock, sizeof kBlock, kNoBound),
                  c.writeResult != 0 ? c.writeResult : kBlockSize);
        EXPECT_FALSE(transmitter.Sending());
        transmitter.AwaitIdle();
        EXPECT_EQ(line.ops(), c.ops);
    }
}

} // namespace
} // namespace hz70
