// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70cli/Interruption.h"

#include <algorithm>

namespace hz70::cli {

void StopCondition::SetDeadlineIn(std::uint32_t milliseconds) {
    deadline_ = clock_.GetTickCount() + milliseconds;
}

bool StopCondition::Reached() {
    return signal() != 0 || (deadline_ && static_cast<std::int32_t>(clock_.GetTickCount() - *deadline_) >= 0);
}

int InterruptiblePort::Write(const std::uint8_t* data, std::size_t size) {
    return stop_.Reached() ? -1 : port_.Write(data, size);
}

InputWait InterruptiblePort::WaitForInput(std::uint32_t milliseconds) {
    if (stop_.Reached()) {
        return InputWait::Failed;
    }
    // A shorter wait is harmless: the link measures its time-out itself and waits again.
    const InputWait result = port_.WaitForInput(std::min(milliseconds, kStopLatency));
    return stop_.Reached() ? InputWait::Failed : result;
}

void InterruptibleClock::Sleep(std::uint32_t milliseconds) {
    const std::uint32_t start = clock_.GetTickCount();
    for (std::uint32_t slept = 0; slept < milliseconds && !stop_.Reached();
         slept = clock_.GetTickCount() - start) {
        clock_.Sleep(std::min(milliseconds - slept, kStopLatency));
    }
}

} // namespace hz70::cli
