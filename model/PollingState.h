// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace hz70 {

// The poll timer's switch. The main window owns the one instance; the controller routines that block
// clear it while they run, so that no poll step starts in the middle of their exchange.
struct PollingState {
    bool PollingEnabled = true; // false: timer ticks do nothing
};

// Clears PollingEnabled for its lifetime and then puts back the value it found.
class PollingPause {
public:
    explicit PollingPause(PollingState& state) : state_(state), saved_(state.PollingEnabled) {
        state_.PollingEnabled = false;
    }
    ~PollingPause() { state_.PollingEnabled = saved_; }
    PollingPause(const PollingPause&) = delete;
    PollingPause& operator=(const PollingPause&) = delete;

private:
    PollingState& state_;
    bool saved_;
};

} // namespace hz70
