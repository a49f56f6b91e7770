// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/core/DeviceList.h"
#include "app/core/PortReconnect.h"
#include "comm/Trans.h"
#include "model/PollTickResult.h"
#include "model/PollingState.h"
#include "model/Slohz70.h"
#include "model/ZoneList.h"

#include <deque>
#include <string>

namespace hz70 {

// Asks the operator whether to stop monitoring a zone that stopped answering. A window's question runs an
// event loop of its own, and the poll timer's ticks go on inside it.
class MonitoringQuestion {
public:
    virtual ~MonitoringQuestion() = default;
    // Shows StopMonitoringText(zone) under kShortCaption with Yes and No; true for Yes.
    [[nodiscard]] virtual bool AskStopMonitoring(const TRegulator& zone) = 0;
};

[[nodiscard]] std::string StopMonitoringText(const TRegulator& zone);

// The poll timer's work: each tick advances the non-blocking poll of one zone, sets the zone's unit from
// its status word, returns what it did, and moves to the next zone once the zone's exchange is over.
// Holds no timer itself: the main window calls Poll every 100 ms, a headless tool may call Tick from any
// loop. With `port` given, a zone that fails while the port is at fault is not asked about: the status
// line names the port's fault.
//
// A zone that stops answering is asked about once per run of failures. The question waits for the end
// of the tick, and polling goes on while it is open: the other zones are polled, shown and recorded, and a
// question about another zone waits until it is answered, so that there is never more than one.
class PollCycle {
public:
    PollCycle(DeviceList& devices, const ZoneList& zones, TTrans& trans, PollingState& polling,
              MonitoringQuestion& question, const PortReconnect* port = nullptr);

    // Poll, then AskWaitingQuestions; what Poll did.
    [[nodiscard]] PollTickResult Tick();
    // The tick's work on the current zone; a zone that is to be asked about joins the waiting questions.
    // Every zone the tick reaches is handed on, polled or not: the windows show unmonitored zones too.
    [[nodiscard]] PollTickResult Poll();
    // Asks the waiting questions in turn and applies each answer: Yes stops polling the zone, No keeps
    // it polled. Called while a question is open, it leaves the rest to that question's caller. A zone
    // that answers again, or is no longer polled, before its question is asked is not asked about.
    void AskWaitingQuestions();
    // Whether AskWaitingQuestions has a question to ask now.
    [[nodiscard]] bool questionDue() const { return !waitingQuestions_.empty() && !asking_; }
    // Starts again at the first zone and drops the waiting questions; callers do this after rebuilding
    // the device list.
    void Restart();
    // The slot the next tick works on.
    [[nodiscard]] int pollIndex() const { return pollIndex_; }

private:
    [[nodiscard]] PollOutcome PollZone(DeviceEntry& zone);
    [[nodiscard]] bool PortAtFault() const;
    void Advance();

    DeviceList& devices_;
    const ZoneList& zones_;
    TTrans& trans_;
    PollingState& polling_;
    MonitoringQuestion& question_;
    const PortReconnect* port_;
    int pollIndex_ = 0;
    std::deque<DeviceEntry*> waitingQuestions_;
    bool asking_ = false;
    // Counts the restarts, so that an answer that comes after the list was rebuilt is dropped.
    unsigned generation_ = 0;
};

} // namespace hz70
