// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/OutgoingQueue.h"

#include <algorithm>

namespace hz70::publish {

void OutgoingQueue::pushState(Message state) {
    latest_[state.topic] = state.payload;
    states_.push_back({std::move(state), Phase::kWaiting, 0});
    if (states_.size() > stateLimit_) {
        if (states_.front().phase == Phase::kInFlight) {
            --inFlight_;
        }
        states_.pop_front();
        ++dropped_;
    }
}

void OutgoingQueue::keep(Message message) {
    const auto same = [&message](const Entry& entry) { return entry.message.topic == message.topic; };
    const auto kept = std::find_if(kept_.begin(), kept_.end(), same);
    if (kept == kept_.end()) {
        kept_.push_back({std::move(message), Phase::kWaiting, 0});
        return;
    }
    if (kept->message.payload == message.payload) {
        return;
    }
    if (kept->phase == Phase::kInFlight) {
        --inFlight_; // its answer no longer matters: the newer payload must go anyway
    }
    *kept = {std::move(message), Phase::kWaiting, 0};
}

OutgoingQueue::Sending OutgoingQueue::send(Entry& entry) {
    entry.phase = Phase::kInFlight;
    entry.id = ++lastId_;
    ++inFlight_;
    return {entry.id, entry.message};
}

std::optional<OutgoingQueue::Sending> OutgoingQueue::next() {
    const auto waiting = [](const Entry& entry) { return entry.phase == Phase::kWaiting; };
    if (const auto kept = std::find_if(kept_.begin(), kept_.end(), waiting); kept != kept_.end()) {
        return send(*kept);
    }
    // States go in order; the ones in flight are at the front.
    if (const auto state = std::find_if(states_.begin(), states_.end(), waiting); state != states_.end()) {
        return send(*state);
    }
    return std::nullopt;
}

void OutgoingQueue::acknowledged(std::uint64_t id) {
    const auto answered = [id](const Entry& entry) {
        return entry.phase == Phase::kInFlight && entry.id == id;
    };
    if (const auto state = std::find_if(states_.begin(), states_.end(), answered); state != states_.end()) {
        states_.erase(state);
        --inFlight_;
    } else if (const auto kept = std::find_if(kept_.begin(), kept_.end(), answered); kept != kept_.end()) {
        kept->phase = Phase::kDelivered;
        --inFlight_;
    }
}

bool OutgoingQueue::stateQueued(const std::string& topic) const {
    return std::any_of(states_.begin(), states_.end(),
                       [&topic](const Entry& entry) { return entry.message.topic == topic; });
}

void OutgoingQueue::reconnected() {
    inFlight_ = 0;
    for (Entry& entry : kept_) {
        entry.phase = Phase::kWaiting;
    }
    for (Entry& entry : states_) {
        entry.phase = Phase::kWaiting;
    }
    // Ahead of the queue, so that a zone's newest state stays the last one the broker retains.
    for (auto zone = latest_.rbegin(); zone != latest_.rend(); ++zone) {
        if (!stateQueued(zone->first)) {
            states_.push_front({{zone->first, zone->second}, Phase::kWaiting, 0});
        }
    }
}

} // namespace hz70::publish
