// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/Connection.h"

namespace hz70::publish {

// This build has no MQTT client: the messages go nowhere, and the status says so.
struct Publisher::Connection::Network {
    std::string broker;
};

Publisher::Connection::Connection(BrokerSettings settings)
    : prefix_(TopicPrefix(settings)), system_(settings.system), haDiscovery_(settings.haDiscovery),
      network_(std::make_unique<Network>(Network{settings.host + ':' + std::to_string(settings.port)})) {}

Publisher::Connection::~Connection() = default;

void Publisher::Connection::enqueue(std::vector<Message>, std::optional<Message>) {}

std::vector<IncomingCommand> Publisher::Connection::takeCommands(std::size_t /*most*/) {
    return {};
}

void Publisher::Connection::reply(Message, std::string) {}

BrokerStatus Publisher::Connection::status() const {
    BrokerStatus status;
    status.state = BrokerState::Unavailable;
    status.broker = network_->broker;
    status.reason = "MQTT: this build has no MQTT client";
    return status;
}

} // namespace hz70::publish
