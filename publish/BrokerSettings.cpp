// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/BrokerSettings.h"

namespace hz70::publish {

std::variant<BrokerUrl, std::string> ParseBrokerUrl(std::string_view url) {
    (void)url;
    return std::string("not yet");
}

std::string BrokerUrlText(const BrokerSettings& settings) {
    return (settings.tls ? "mqtts://" : "mqtt://") + settings.host + ':' + std::to_string(settings.port);
}

std::string TopicPrefix(const BrokerSettings& settings) {
    return "hz70/" + settings.system;
}

std::string DefaultSystemName(std::string_view hostName, std::string_view portName) {
    return std::string(hostName) + '-' + std::string(portName);
}

} // namespace hz70::publish
