// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace hz70::publish {

// The reason given for a command the inbox or the rate bound had no room for.
inline constexpr std::string_view kTooManyCommands = "zbyt wiele poleceń";

// One message that arrived on "<prefix>/zone/+/set/+", as the broker delivered it. Nothing in it has
// been checked.
struct IncomingCommand {
    std::string topic;
    std::string payload;       // the bytes as they came, binary included
    bool retained = false;     // a retained message is never acted on: a broker restart replays it
    std::string correlation;   // MQTT 5 correlation data (bytes); empty when the request has none
    std::string responseTopic; // MQTT 5 response topic; empty when the request has none
    // The MQTT user name when the broker passes it on (a user property "username"), else the topic. A
    // client may set that property itself: it names the sender only where the broker overwrites it.
    std::string origin;
    std::chrono::system_clock::time_point arrived;
};

// The setting name of the zone's mode, and its values in a CommandResult: what the STOP register takes
// (0 stop, 1 automatic), and 2 for manual control, which the status word may also show.
inline constexpr std::string_view kModeSetting = "mode";
inline constexpr double kModeStop = 0;
inline constexpr double kModeAuto = 1;
inline constexpr double kModeManual = 2;

// "stop", "auto" or "manual".
[[nodiscard]] std::string ModeName(double mode);

// What became of one command. Values are scaled as the settings topic shows them; none where there is
// no value (a refused command has no read-back, an unparsable one no requested value).
struct CommandResult {
    int zone = 0;        // the zone's number; 0 when the topic names no configured zone
    std::string setting; // the register name ("SP") or "mode"; empty when the topic names none
    bool ok = false;
    std::string reason; // in words when not ok
    std::optional<double> before;
    std::optional<double> requested;
    std::optional<double> readBack;
    std::string unit;
    std::chrono::system_clock::time_point when;
};

// "<prefix>/zone/<n>/result" for a command that came on "<prefix>/zone/<n>/set/<setting>"; empty when the
// topic is no such set topic or holds a wildcard.
[[nodiscard]] std::string ResultTopic(std::string_view commandTopic);

// The result as one JSON object: the request (topic, payload and correlation, each as a JSON string
// whatever bytes it holds), "ok", "reason" when not ok, "zone", "setting", "before", "requested",
// "read_back" (numbers, for "mode" "stop", "auto" or "manual" as in the zone's state, or null), "unit"
// and "time" (as a zone state's).
[[nodiscard]] std::string CommandResultJson(const IncomingCommand& request, const CommandResult& result);

} // namespace hz70::publish
