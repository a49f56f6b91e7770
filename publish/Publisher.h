// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/PollTickResult.h"
#include "model/Slohz70.h"
#include "publish/BrokerSettings.h"
#include "publish/CommandMessages.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace hz70::publish {

enum class BrokerState {
    Unavailable, // this build has no MQTT client
    Connecting,  // the first attempt is under way
    Connected,
    Retrying, // the last attempt failed or the connection dropped; `reason` says why
};

// A snapshot of the publisher, safe to take from any thread.
struct BrokerStatus {
    BrokerState state = BrokerState::Connecting;
    std::string broker;          // "host:port"
    std::string reason;          // why the last attempt failed, in words; empty once connected
    std::size_t queued = 0;      // zone states waiting for the broker
    std::uint64_t dropped = 0;   // zone states dropped because the queue was full, since the start
    std::uint64_t published = 0; // messages the broker has acknowledged, since the start
    // Commands refused because the inbox was full, since the start; each was answered on its result topic.
    std::uint64_t commandsRefused = 0;
};

// Publishes one line's zones to an MQTT broker. Every call returns at once: the network work runs on a
// thread of the publisher's own, which connects, reconnects with back-off, and publishes the queued
// states at QoS 1. "<prefix>/status" is "online" while connected and "offline" otherwise (the
// connection's last will); after every reconnect, "online" and every zone's latest state go out again.
// Delivery is at least once: a state leaves the queue when the broker acknowledged it, and what was
// unacknowledged when a connection dropped goes again, so a subscriber may see a state twice (with the
// same "time").
class Publisher {
public:
    // The zone states kept while the broker is away; beyond it the oldest go, counted in `dropped`.
    static constexpr std::size_t kQueueLimit = 4096;
    // Commands waiting for TakeCommands; beyond it a command is answered "zbyt wiele poleceń" at once.
    static constexpr std::size_t kInboxLimit = 256;

    // Starts connecting in the background.
    explicit Publisher(BrokerSettings settings);
    // Publishes "offline" and disconnects, waiting for both at most a second.
    ~Publisher();
    Publisher(const Publisher&) = delete;
    Publisher& operator=(const Publisher&) = delete;

    // A poll tick's result: publishes "<prefix>/zone/<n>/state" (retained) when the tick ended the zone's
    // exchange, stamped with `when`.
    void PublishTick(const PollTickResult& tick,
                     std::chrono::system_clock::time_point when = std::chrono::system_clock::now());
    // The zone's settings as just read: "<prefix>/zone/<n>/settings" (retained).
    void PublishSettings(const TRegulator& zone);

    // With `commands` on: at most `most` of the messages that arrived on "<prefix>/zone/+/set/+", oldest
    // first, retained ones included (flagged, for the caller to refuse); the rest wait in the inbox, which
    // refuses what it has no room for. Returns at once.
    [[nodiscard]] std::vector<IncomingCommand> TakeCommands(std::size_t most);
    // Answers a command: CommandResultJson on ResultTopic (QoS 1, not retained) and, when the request
    // named a response topic, on that topic with the request's correlation data.
    void PublishResult(const IncomingCommand& request, const CommandResult& result);
    // An event of the alarm log (AlarmJson) on "<prefix>/zone/<zone>/alarm" (QoS 1, not retained: an
    // event is news once, unlike a state).
    void PublishAlarm(int zone, std::string json);

    [[nodiscard]] BrokerStatus status() const;

private:
    class Connection;
    std::unique_ptr<Connection> connection_;
};

} // namespace hz70::publish
