// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "publish/Message.h"
#include "publish/Publisher.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace hz70::publish {

// The publisher's way to the broker. The network side is the platform's (Network); what goes out is
// decided above it, in Publisher.
class Publisher::Connection {
public:
    explicit Connection(BrokerSettings settings);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Messages kept as the latest of their topics, and a zone's new state for the bounded queue; returns
    // at once.
    void enqueue(std::vector<Message> kept, std::optional<Message> state);
    [[nodiscard]] BrokerStatus status() const;
    // The oldest `most` commands waiting; returns at once.
    [[nodiscard]] std::vector<IncomingCommand> takeCommands(std::size_t most);
    // A message that is not kept (QoS 1, not retained), with MQTT 5 correlation data when not empty;
    // returns at once.
    void reply(Message message, std::string correlation);

    [[nodiscard]] const std::string& prefix() const { return prefix_; }
    [[nodiscard]] const std::string& system() const { return system_; }
    [[nodiscard]] bool haDiscovery() const { return haDiscovery_; }

private:
    struct Network;

    std::string prefix_;
    std::string system_;
    bool haDiscovery_;
    std::unique_ptr<Network> network_;
};

} // namespace hz70::publish
