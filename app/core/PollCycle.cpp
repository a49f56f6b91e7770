// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/PollCycle.h"

#include "model/StatusWord.h"

namespace hz70 {

std::string StopMonitoringText(const TRegulator& zone) {
    return "Błąd transmisji.\nWyłączyć monitorowanie Strefy " + zone.name;
}

PollCycle::PollCycle(DeviceList& devices, const ZoneList& zones, TTrans& trans, PollingState& polling,
                     MonitoringQuestion& question, const PortReconnect* port)
    : devices_(devices), zones_(zones), trans_(trans), polling_(polling), question_(question), port_(port) {}

PollTickResult PollCycle::Tick() {
    PollTickResult tick = Poll();
    AskWaitingQuestions();
    return tick;
}

PollTickResult PollCycle::Poll() {
    PollTickResult tick;
    tick.slot = pollIndex_;
    if (!polling_.PollingEnabled) {
        return tick;
    }
    if (pollIndex_ >= static_cast<int>(devices_.size())) {
        // The list shrank, or a hand-edited zone list names a slot that has no record.
        pollIndex_ = 0;
        return tick;
    }
    DeviceEntry& zone = *devices_[static_cast<std::size_t>(pollIndex_)];
    tick.outcome = zone.record.monitoring != 0 ? PollZone(zone) : PollOutcome::kNotPolled;
    // FailureReported stays false for a failure that is the port's, so that the zone is asked about once it
    // fails with the port back.
    if (tick.outcome == PollOutcome::kFailed && !zone.FailureReported && !PortAtFault()) {
        zone.FailureReported = true;
        waitingQuestions_.push_back(&zone);
    }
    ApplyTemperatureUnit(zone.record);
    tick.record = zone.record;
    if (tick.outcome != PollOutcome::kPending) {
        Advance();
    }
    return tick;
}

PollOutcome PollCycle::PollZone(DeviceEntry& zone) {
    const PollOutcome result = PollStep(zone.record, trans_);
    if (result == PollOutcome::kUpdated) {
        zone.record.commError = 0;
        zone.FailureReported = false;
        std::erase(waitingQuestions_, &zone);
    }
    return result;
}

bool PollCycle::PortAtFault() const {
    return port_ != nullptr && port_->PortAtFault();
}

void PollCycle::AskWaitingQuestions() {
    if (asking_) {
        return;
    }
    while (!waitingQuestions_.empty()) {
        DeviceEntry& zone = *waitingQuestions_.front();
        waitingQuestions_.pop_front();
        if (zone.record.monitoring == 0) {
            continue;
        }
        const unsigned generation = generation_;
        asking_ = true;
        const bool stop = question_.AskStopMonitoring(zone.record);
        asking_ = false;
        if (generation != generation_) {
            return;
        }
        zone.record.monitoring = stop ? 0 : 1;
    }
}

void PollCycle::Restart() {
    pollIndex_ = 0;
    waitingQuestions_.clear();
    ++generation_;
}

void PollCycle::Advance() {
    ++pollIndex_;
    const bool pastTheZones = pollIndex_ >= kZoneSlots || pollIndex_ >= static_cast<int>(devices_.size()) ||
                              zones_.DevAddr[static_cast<std::size_t>(pollIndex_)] == 0;
    if (pastTheZones) {
        pollIndex_ = 0;
    }
}

} // namespace hz70
