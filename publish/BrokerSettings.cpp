// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/BrokerSettings.h"

#include <algorithm>
#include <charconv>

namespace hz70::publish {
namespace {

constexpr std::string_view kPlainScheme = "mqtt://";
constexpr std::string_view kTlsScheme = "mqtts://";
constexpr int kPlainPort = 1883;
constexpr int kTlsPort = 8883;

bool StartsWith(std::string_view text, std::string_view start) {
    return text.substr(0, start.size()) == start;
}

// The port after "host:", or why it is none.
std::variant<int, std::string> ParsePort(std::string_view text) {
    int port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || port < 1 ||
        port > 65535) {
        return "the port \"" + std::string(text) + "\" in the broker URL is not a number from 1 to 65535";
    }
    return port;
}

// "HOST", "HOST:PORT", "[IPv6]" or "[IPv6]:PORT" into `url`; an error in words, or empty.
std::string ParseHostAndPort(std::string_view text, BrokerUrl& url) {
    std::string_view portText;
    bool hasPort = false;
    if (StartsWith(text, "[")) {
        const auto close = text.find(']');
        if (close == std::string_view::npos) {
            return "the IPv6 address in the broker URL has no closing ']'";
        }
        url.host = text.substr(1, close - 1);
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty() && rest.front() != ':') {
            return "the broker URL has \"" + std::string(rest) + "\" after the IPv6 address";
        }
        hasPort = !rest.empty();
        portText = rest.substr(hasPort ? 1 : 0);
    } else {
        const auto colon = text.find(':');
        if (colon != std::string_view::npos && text.find(':', colon + 1) != std::string_view::npos) {
            return "an IPv6 address in the broker URL must be written in brackets, as [::1]";
        }
        url.host = text.substr(0, colon);
        hasPort = colon != std::string_view::npos;
        portText = hasPort ? text.substr(colon + 1) : std::string_view();
    }
    if (url.host.empty()) {
        return "the broker URL names no host";
    }
    if (hasPort) {
        const auto port = ParsePort(portText);
        if (const auto* error = std::get_if<std::string>(&port)) {
            return *error;
        }
        url.port = std::get<int>(port);
    }
    return {};
}

} // namespace

std::variant<BrokerUrl, std::string> ParseBrokerUrl(std::string_view text) {
    BrokerUrl url;
    if (StartsWith(text, kTlsScheme)) {
        url.tls = true;
        url.port = kTlsPort;
        text.remove_prefix(kTlsScheme.size());
    } else if (StartsWith(text, kPlainScheme)) {
        url.port = kPlainPort;
        text.remove_prefix(kPlainScheme.size());
    } else {
        return std::string("the broker URL must start with mqtt:// or mqtts://");
    }
    if (text.ends_with('/')) {
        text.remove_suffix(1);
    }
    if (text.find('/') != std::string_view::npos) {
        return std::string("the broker URL has a path; give only [USER@]HOST[:PORT]");
    }
    if (const auto at = text.rfind('@'); at != std::string_view::npos) {
        const std::string_view user = text.substr(0, at);
        if (user.find(':') != std::string_view::npos) {
            return std::string("the broker URL must not hold a password, which anyone could read in the "
                               "process list; give it in a file of its own");
        }
        if (user.empty()) {
            return std::string("the broker URL has an '@' but no user name before it");
        }
        url.user = user;
        text.remove_prefix(at + 1);
    }
    if (std::string error = ParseHostAndPort(text, url); !error.empty()) {
        return error;
    }
    return url;
}

void SetBrokerAddress(BrokerSettings& settings, const BrokerUrl& url) {
    settings.host = url.host;
    settings.port = url.port;
    settings.tls = url.tls;
}

std::string BrokerUrlText(const BrokerSettings& settings) {
    std::string text = settings.tls ? "mqtts://" : "mqtt://";
    if (!settings.user.empty()) {
        text += settings.user + '@';
    }
    const bool ipv6 = settings.host.find(':') != std::string::npos;
    text += ipv6 ? '[' + settings.host + ']' : settings.host;
    return text + ':' + std::to_string(settings.port);
}

std::string TopicPrefix(const BrokerSettings& settings) {
    std::string prefix = "hz70/" + settings.system;
    std::replace_if(
        prefix.begin(), prefix.end(), [](char c) { return c == '+' || c == '#'; }, '-');
    return prefix;
}

std::string DefaultSystemName(std::string_view hostName, std::string_view portName) {
    if (const auto slash = portName.rfind('/'); slash != std::string_view::npos) {
        portName.remove_prefix(slash + 1);
    }
    std::string name = std::string(hostName) + '-' + std::string(portName);
    for (char& c : name) {
        if (c == '/' || c == '+' || c == '#' || c == ' ') {
            c = '-';
        }
    }
    return name;
}

} // namespace hz70::publish
