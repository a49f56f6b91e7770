// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "comm/LineConfig.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

namespace hz70 {

// The line operations a transmission with RTS raised by hand is made of. RaiseRts and Write run on the
// sender's thread; WaitUntilSent and LowerRts on the transmitter's own, while the sender may read the
// line or call DiscardOutput.
class RtsLine {
public:
    virtual ~RtsLine() = default;

    // False when the line has no RTS to raise: the block then goes out without it.
    virtual bool RaiseRts() = 0;
    // Queues the block for sending without waiting for it to leave; the bytes queued, or -1.
    virtual int Write(const std::uint8_t* data, std::size_t size) = 0;
    // Returns once the last stop bit of everything queued has left, or once DiscardOutput emptied the
    // queue.
    virtual void WaitUntilSent() = 0;
    // Drops what is still queued; a WaitUntilSent in progress returns promptly.
    virtual void DiscardOutput() = 0;
    virtual void LowerRts() = 0;
};

// The longest a block of `bytes` may keep RTS up before its transmission counts as stuck: twice its
// time on the wire, plus what a USB adapter's latency adds.
[[nodiscard]] std::chrono::milliseconds DrainBound(const LineConfig& config, std::size_t bytes);

// Sends blocks on a two-wire line whose driver cannot switch the transmitter on by itself: RTS goes up
// before each block and down right after its last stop bit. The wait for that bit happens on a thread of
// the transmitter's own, so the sender never waits for the wire, only, when it sends again, for the
// previous block to be out. One sender thread at a time.
class RtsTransmitter {
public:
    explicit RtsTransmitter(RtsLine& line);
    // Ends a transmission still pending as Abort does.
    ~RtsTransmitter();
    RtsTransmitter(const RtsTransmitter&) = delete;
    RtsTransmitter& operator=(const RtsTransmitter&) = delete;

    // Waits until RTS is down again (AwaitIdle), raises it and queues the block; returns what the line's
    // Write returned. RTS comes down once the block has left, or when `bound` has passed and someone
    // waits for it.
    int Send(const std::uint8_t* data, std::size_t size, std::chrono::milliseconds bound);
    // Returns once RTS is down, at once when nothing is being sent. A transmission past its bound is
    // ended as Abort does.
    void AwaitIdle();
    // Ends a pending transmission promptly: what is still queued is dropped and RTS comes down.
    void Abort();
    // True from Send until RTS is down again.
    [[nodiscard]] bool Sending() const;

private:
    void Run();

    RtsLine& line_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool sending_ = false;
    bool stopping_ = false;
    std::chrono::steady_clock::time_point deadline_;
    std::thread worker_; // last: it starts on the members above
};

} // namespace hz70
