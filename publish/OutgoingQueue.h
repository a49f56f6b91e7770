// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "publish/Message.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <vector>

namespace hz70::publish {

// What waits for the broker, in the order it goes out. Zone states queue up to a bound, the oldest
// dropped beyond it; other retained messages (settings, discovery configs) are kept only as the latest
// per topic. A message leaves only when the broker acknowledged it; after a reconnect everything not
// acknowledged goes again, and so does the latest state of every zone whose newest state was delivered,
// since a restarted broker may have lost its retained messages. Not thread-safe: its owner locks.
class OutgoingQueue {
public:
    // A message handed to the broker, known by `id` until acknowledged.
    struct Sending {
        std::uint64_t id = 0;
        Message message;
    };

    explicit OutgoingQueue(std::size_t stateLimit) : stateLimit_(stateLimit) {}

    // A zone's new state; its topic names the zone.
    void pushState(Message state);
    // The latest message of its topic; one equal to the kept one is no news and is not sent again.
    void keep(Message message);

    // The next message to send, now counted in flight, or none when everything waits for an answer.
    [[nodiscard]] std::optional<Sending> next();
    void acknowledged(std::uint64_t id);
    // A new connection: nothing is in flight any more, and the zones' latest states go again.
    void reconnected();

    [[nodiscard]] std::size_t queuedStates() const { return states_.size(); }
    [[nodiscard]] std::size_t inFlight() const { return inFlight_; }
    [[nodiscard]] std::uint64_t droppedStates() const { return dropped_; }

private:
    enum class Phase { kWaiting, kInFlight, kDelivered };
    struct Entry {
        Message message;
        Phase phase = Phase::kWaiting;
        std::uint64_t id = 0;
    };

    Sending send(Entry& entry);
    [[nodiscard]] bool stateQueued(const std::string& topic) const;

    std::size_t stateLimit_;
    std::deque<Entry> states_;                  // delivered ones leave at once
    std::vector<Entry> kept_;                   // in the order their topics first came
    std::map<std::string, std::string> latest_; // the newest state of every zone, by topic
    std::size_t inFlight_ = 0;
    std::uint64_t dropped_ = 0;
    std::uint64_t lastId_ = 0;
};

} // namespace hz70::publish
