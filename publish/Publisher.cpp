// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/Publisher.h"

#include "publish/AlarmMessages.h"
#include "publish/Connection.h"
#include "publish/ZoneMessages.h"

namespace hz70::publish {

Publisher::Publisher(BrokerSettings settings)
    : connection_(std::make_unique<Connection>(std::move(settings))) {}

Publisher::~Publisher() = default;

void Publisher::PublishTick(const PollTickResult& tick, std::chrono::system_clock::time_point when) {
    if (!tick.exchangeEnded()) {
        return;
    }
    const TRegulator& zone = *tick.record;
    std::vector<Message> configs;
    if (connection_->haDiscovery()) {
        configs = DiscoveryConfigs(zone, connection_->system(), connection_->prefix());
    }
    connection_->enqueue(std::move(configs),
                         Message{ZoneTopic(connection_->prefix(), zone, "state"), ZoneStateJson(zone, when)});
}

void Publisher::PublishSettings(const TRegulator& zone) {
    Message settings{ZoneTopic(connection_->prefix(), zone, "settings"),
                     ZoneSettingsJson(zone, std::chrono::system_clock::now())};
    connection_->enqueue({std::move(settings)}, std::nullopt);
}

std::vector<IncomingCommand> Publisher::TakeCommands(std::size_t most) {
    return connection_->takeCommands(most);
}

void Publisher::PublishResult(const IncomingCommand& request, const CommandResult& result) {
    const std::string json = CommandResultJson(request, result);
    if (std::string topic = ResultTopic(request.topic); !topic.empty()) {
        connection_->reply(Message{std::move(topic), json}, {});
    }
    if (!request.responseTopic.empty()) {
        connection_->reply(Message{request.responseTopic, json}, request.correlation);
    }
}

void Publisher::PublishAlarm(int zone, std::string json) {
    connection_->reply(Message{AlarmTopic(connection_->prefix(), zone), std::move(json)}, {});
}

BrokerStatus Publisher::status() const {
    return connection_->status();
}

} // namespace hz70::publish
