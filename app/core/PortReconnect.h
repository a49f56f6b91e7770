// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "comm/Clock.h"
#include "comm/SerialPort.h"
#include "comm/Trans.h"

#include <cstdint>
#include <string>

namespace hz70 {

// What the program itself does about its port.
enum class ReconnectState {
    Idle,     // nothing: the port is open, closed on purpose, or refused for a reason waiting cannot mend
    Waiting,  // the device is missing or was lost: the port is reopened every retry interval
    Reopened, // the port was reopened by itself and is open
};

// Reopens a port whose device went away (an adapter pulled out) or is not there, every kRetryInterval,
// until it opens on the device it was lost from; meanwhile the port opens that device alone. Holds no timer:
// the poll timer calls Tick. The operator's port dialog, which closes the link, ends the waiting; the link
// then opens as it always does.
class PortReconnect {
public:
    static constexpr std::uint32_t kRetryInterval = 2000; // ms

    PortReconnect(TTrans& trans, SerialPort& port, Clock& clock);

    void Tick();
    // True when exchanges fail because of the port rather than the controllers: it is not open, its
    // device is gone, or it is open on another device than the one awaited.
    [[nodiscard]] bool PortAtFault() const;

    [[nodiscard]] ReconnectState state() const { return state_; }
    // The device the port was lost from; empty when it never was open.
    [[nodiscard]] const std::string& awaitedDevice() const { return awaitedDevice_; }

private:
    void StartWaiting(const PortCondition& condition);
    // Closes the link, which releases a vanished device so that it can come back under its name, and
    // opens it again.
    void Reopen();
    [[nodiscard]] bool OpenOnAwaitedDevice() const;

    TTrans& trans_;
    SerialPort& port_;
    Clock& clock_;
    ReconnectState state_ = ReconnectState::Idle;
    std::string awaitedDevice_;
    std::uint32_t lastAttempt_ = 0;
};

} // namespace hz70
