// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <variant>

namespace hz70::publish {

// Where and how one line publishes: the broker, its credentials, and the name the line goes by.
struct BrokerSettings {
    std::string host = "localhost";
    int port = 1883;
    bool tls = false;
    std::string user;     // empty: connect without a user name
    std::string password; // never written to a log, a message or a world-readable file
    std::string caFile;   // TLS: the authority that signed the broker's certificate
    std::string certFile; // TLS: an optional client certificate, with its key
    std::string keyFile;
    std::string system; // the line's name: its topics are under "hz70/<system>"
    bool haDiscovery = false;
    // Take commands from "<prefix>/zone/+/set/+" (the connection then speaks MQTT 5, for the requests'
    // response topic and correlation data). Off unless the operator asks for it.
    bool commands = false;
};

// What "mqtt://[USER@]HOST[:PORT]" or "mqtts://..." names. The port defaults to 1883, or 8883 with TLS.
struct BrokerUrl {
    std::string host;
    int port = 1883;
    bool tls = false;
    std::string user;
};

// The broker URL, or why it is none (in words naming the part at fault). A password in the URL is
// refused: it would show in the process list.
[[nodiscard]] std::variant<BrokerUrl, std::string> ParseBrokerUrl(std::string_view url);

// Points `settings` at the broker `url` names: host, port and TLS. The URL's user is the caller's to
// weigh against a user given elsewhere.
void SetBrokerAddress(BrokerSettings& settings, const BrokerUrl& url);

// "mqtt://user@host:1883", never with the password.
[[nodiscard]] std::string BrokerUrlText(const BrokerSettings& settings);

// "hz70/<system>", '+' and '#' as '-': a topic to publish to must not hold the subscriptions' wildcards.
[[nodiscard]] std::string TopicPrefix(const BrokerSettings& settings);

// "press3-COM1" from the host name and the port's name without its folder ("/dev/ttyUSB0" gives
// "ttyUSB0"); characters that MQTT reserves in topics ('/', '+', '#') and spaces become '-'.
[[nodiscard]] std::string DefaultSystemName(std::string_view hostName, std::string_view portName);

} // namespace hz70::publish
