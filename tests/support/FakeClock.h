// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "comm/Clock.h"

#include <cstdint>
#include <functional>

namespace hz70::test {

// A clock that moves only when told. Each GetTickCount can advance it by `autoAdvance` ms, so that
// loops waiting for a time-out end without real waiting; Sleep advances it by the time slept.
class FakeClock final : public Clock {
public:
    explicit FakeClock(std::uint32_t start = 1'000'000, std::uint32_t autoAdvance = 0)
        : now_(start), autoAdvance_(autoAdvance) {}

    std::uint32_t GetTickCount() override {
        const std::uint32_t now = now_;
        Advance(autoAdvance_);
        return now;
    }
    void Sleep(std::uint32_t milliseconds) override {
        sleptMs_ += milliseconds;
        ++sleepCalls_;
        Advance(milliseconds);
    }

    void Advance(std::uint32_t milliseconds) {
        for (std::uint32_t i = 0; i < milliseconds; ++i) {
            ++now_;
            if (onTick) {
                onTick(now_);
            }
        }
    }
    void Set(std::uint32_t now) { now_ = now; }
    void SetAutoAdvance(std::uint32_t milliseconds) { autoAdvance_ = milliseconds; }
    [[nodiscard]] std::uint32_t now() const { return now_; }
    [[nodiscard]] std::uint32_t sleptMs() const { return sleptMs_; }
    [[nodiscard]] int sleepCalls() const { return sleepCalls_; }

    // Called after every millisecond the clock moves: lets a fake peer answer "later".
    std::function<void(std::uint32_t)> onTick;

private:
    std::uint32_t now_;
    std::uint32_t autoAdvance_;
    std::uint32_t sleptMs_ = 0;
    int sleepCalls_ = 0;
};

} // namespace hz70::test
