// SPDX-License-Identifier: GPL-3.0-or-later
#include "comm/Clock.h"

#include <chrono>
#include <thread>

namespace hz70 {

std::uint32_t SteadyClock::GetTickCount() {
    const auto sinceEpoch = std::chrono::steady_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count();
    return static_cast<std::uint32_t>(ms);
}

void SteadyClock::Sleep(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace hz70
