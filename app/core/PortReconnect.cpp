// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/PortReconnect.h"

namespace hz70 {

PortReconnect::PortReconnect(TTrans& trans, SerialPort& port, Clock& clock)
    : trans_(trans), port_(port), clock_(clock) {}

void PortReconnect::Tick() {
    const PortState portState = trans_.portState();
    if (portState.isClosed()) {
        // Closed on purpose: the next exchange opens whatever port the link is now set to.
        if (!awaitedDevice_.empty()) {
            port_.AwaitDevice(std::nullopt);
            awaitedDevice_.clear();
        }
        state_ = ReconnectState::Idle;
        return;
    }
    if (state_ == ReconnectState::Waiting) {
        if (clock_.GetTickCount() - lastAttempt_ >= kRetryInterval) {
            Reopen();
        }
        return;
    }
    const PortCondition condition = port_.Condition();
    const bool lost = portState.isOpen() && condition.state == PortCondition::State::Lost;
    const bool missing = portState.openFailed() && condition.state == PortCondition::State::NoDevice;
    if (lost || missing) {
        StartWaiting(condition);
    }
}

bool PortReconnect::PortAtFault() const {
    return state_ == ReconnectState::Waiting || !trans_.portState().isOpen() ||
           port_.Condition().state == PortCondition::State::Lost;
}

void PortReconnect::StartWaiting(const PortCondition& condition) {
    state_ = ReconnectState::Waiting;
    if (condition.state == PortCondition::State::Lost) {
        awaitedDevice_ = condition.device;
        port_.AwaitDevice(awaitedDevice_);
        // At once: while the link holds the vanished device, a driver gives the returning one another
        // name.
        Reopen();
    } else {
        lastAttempt_ = clock_.GetTickCount(); // the open has just failed
    }
}

void PortReconnect::Reopen() {
    lastAttempt_ = clock_.GetTickCount();
    trans_.Close();
    (void)trans_.Open(trans_.portIndex());
    state_ = OpenOnAwaitedDevice() ? ReconnectState::Reopened : ReconnectState::Waiting;
    if (state_ == ReconnectState::Reopened) {
        port_.AwaitDevice(std::nullopt);
    }
}

bool PortReconnect::OpenOnAwaitedDevice() const {
    // With the device gone, "COMn" may lead to another one (/dev/ttyS0 after /dev/ttyUSB0): that is not
    // the bus the zones are on, and the awaited device takes the name back when it returns.
    return trans_.portState().isOpen() &&
           (awaitedDevice_.empty() || port_.Condition().device == awaitedDevice_);
}

} // namespace hz70
