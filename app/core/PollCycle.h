// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/core/DeviceList.h"
#include "app/core/PortReconnect.h"
#include "comm/Trans.h"
#include "model/PollingState.h"
#include "model/Slohz70.h"
#include "model/ZoneList.h"

#include <string>

namespace hz70 {

// Asks the operator whether to stop monitoring a zone that stopped answering.
class MonitoringQuestion {
public:
    virtual ~MonitoringQuestion() = default;
    // Shows StopMonitoringText(zone) under kShortCaption with Yes and No; true for Yes.
    [[nodiscard]] virtual bool AskStopMonitoring(const TRegulator& zone) = 0;
};

// Hands a record the cycle worked on to every view, in the views' fixed order.
class ZoneViews {
public:
    virtual ~ZoneViews() = default;
    virtual void NotifyViews(TRegulator& zone) = 0;
};

[[nodiscard]] std::string StopMonitoringText(const TRegulator& zone);

// The poll timer's work: each tick advances the non-blocking poll of one zone, then hands that zone to
// the views, and moves to the next zone once the zone's exchange is over. Holds no timer itself: the
// main window calls Tick every 100 ms, a headless tool may call it from any loop. With `port` given, a zone
// that fails while the port is at fault is not asked about: the status line names the port's fault, and
// a question would stop the timer that reopens the port.
class PollCycle {
public:
    PollCycle(DeviceList& devices, const ZoneList& zones, TTrans& trans, PollingState& polling,
              MonitoringQuestion& question, ZoneViews& views, const PortReconnect* port = nullptr);

    void Tick();
    // Starts again at the first zone; callers do this after rebuilding the device list.
    void Restart() { pollIndex_ = 0; }
    // The slot being worked on; views read it while NotifyViews runs.
    [[nodiscard]] int pollIndex() const { return pollIndex_; }
    // What the last tick did to its zone: kPollPending, kPollUpdated, kPollFailed, or kNotPolled when it
    // polled nothing (polling off, the zone not monitored, no record).
    [[nodiscard]] int lastTickResult() const { return lastTickResult_; }

    static constexpr int kNotPolled = -1;

private:
    [[nodiscard]] int PollZone(DeviceEntry& zone);
    [[nodiscard]] bool PortAtFault() const;
    void AskAboutFailure(DeviceEntry& zone);
    void Advance();

    DeviceList& devices_;
    const ZoneList& zones_;
    TTrans& trans_;
    PollingState& polling_;
    MonitoringQuestion& question_;
    ZoneViews& views_;
    const PortReconnect* port_;
    int pollIndex_ = 0;
    int lastTickResult_ = kNotPolled;
    // The question runs a nested event loop in the window; ticks arriving meanwhile must do nothing.
    bool asking_ = false;
};

} // namespace hz70
