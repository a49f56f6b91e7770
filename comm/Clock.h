// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace hz70 {

// A millisecond tick that wraps at 2^32, and a sleep. Time-outs are always measured as unsigned
// differences of ticks, so the wrap is harmless.
class Clock {
public:
    virtual ~Clock() = default;
    [[nodiscard]] virtual std::uint32_t GetTickCount() = 0;
    virtual void Sleep(std::uint32_t milliseconds) = 0;
};

// The monotonic system clock.
class SteadyClock final : public Clock {
public:
    [[nodiscard]] std::uint32_t GetTickCount() override;
    void Sleep(std::uint32_t milliseconds) override;
};

} // namespace hz70
