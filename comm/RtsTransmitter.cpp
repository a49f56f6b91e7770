// SPDX-License-Identifier: GPL-3.0-or-later
#include "comm/RtsTransmitter.h"

namespace hz70 {
namespace {

constexpr std::chrono::milliseconds kAdapterLatency{100};

} // namespace

std::chrono::milliseconds DrainBound(const LineConfig& config, std::size_t bytes) {
    const int bitsPerByte = 1 + config.dataBits + (config.parity == 'N' ? 0 : 1) + config.stopBits;
    const auto bits = static_cast<long long>(bytes) * bitsPerByte;
    const auto onTheWire = std::chrono::milliseconds((bits * 1000 + config.baudRate - 1) / config.baudRate);
    return 2 * onTheWire + kAdapterLatency;
}

RtsTransmitter::RtsTransmitter(RtsLine& line) : line_(line), worker_([this] { Run(); }) {}

RtsTransmitter::~RtsTransmitter() {
    Abort();
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

int RtsTransmitter::Send(const std::uint8_t* data, std::size_t size, std::chrono::milliseconds bound) {
    AwaitIdle();
    if (!line_.RaiseRts()) {
        return line_.Write(data, size);
    }
    const int queued = line_.Write(data, size);
    if (queued <= 0) {
        line_.LowerRts();
        return queued;
    }
    {
        const std::lock_guard lock(mutex_);
        sending_ = true;
        deadline_ = std::chrono::steady_clock::now() + bound;
    }
    changed_.notify_all();
    return queued;
}

void RtsTransmitter::AwaitIdle() {
    std::unique_lock lock(mutex_);
    if (!changed_.wait_until(lock, deadline_, [this] { return !sending_; })) {
        lock.unlock();
        Abort();
    }
}

void RtsTransmitter::Abort() {
    std::unique_lock lock(mutex_);
    if (!sending_) {
        return;
    }
    lock.unlock();
    line_.DiscardOutput();
    lock.lock();
    changed_.wait(lock, [this] { return !sending_; });
}

bool RtsTransmitter::Sending() const {
    const std::lock_guard lock(mutex_);
    return sending_;
}

void RtsTransmitter::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return sending_ || stopping_; });
        if (!sending_) {
            return;
        }
        lock.unlock();
        line_.WaitUntilSent();
        line_.LowerRts();
        lock.lock();
        sending_ = false;
        changed_.notify_all();
    }
}

} // namespace hz70
