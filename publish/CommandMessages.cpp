// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/CommandMessages.h"

#include "model/Slohz70.h"
#include "publish/Json.h"
#include "publish/ZoneMessages.h"

namespace hz70::publish {
namespace {

constexpr std::string_view kZoneLevel = "/zone";
constexpr std::string_view kSetLevel = "/set/";

// Settings are whole words: no digits after the point. A mode by its name, as the state names it.
std::string Value(const CommandResult& result, const std::optional<double>& value) {
    if (result.setting != kModeSetting || !value) {
        return JsonNumber(value.value_or(kNoValue), 0);
    }
    return JsonString(ModeName(*value));
}

} // namespace

std::string ModeName(double mode) {
    if (mode == kModeAuto) {
        return "auto";
    }
    return mode == kModeManual ? "manual" : "stop";
}

std::string ResultTopic(std::string_view commandTopic) {
    const std::size_t set = commandTopic.rfind(kSetLevel);
    if (set == std::string_view::npos || commandTopic.find_first_of("+#") != std::string_view::npos ||
        commandTopic.find('/', set + kSetLevel.size()) != std::string_view::npos) {
        return {};
    }
    const std::string_view zone = commandTopic.substr(0, set);
    const std::size_t number = zone.rfind('/');
    if (number == std::string_view::npos || number + 1 == zone.size() ||
        !zone.substr(0, number).ends_with(kZoneLevel)) {
        return {};
    }
    return std::string(zone) + "/result";
}

std::string CommandResultJson(const IncomingCommand& request, const CommandResult& result) {
    const std::string requestJson = JsonObject()
                                        .text("topic", request.topic)
                                        .text("payload", request.payload)
                                        .text("correlation", request.correlation)
                                        .json();
    JsonObject json;
    json.member("request", requestJson).boolean("ok", result.ok);
    if (!result.ok) {
        json.text("reason", result.reason);
    }
    json.member("zone", result.zone > 0 ? std::to_string(result.zone) : "null")
        .member("setting", result.setting.empty() ? "null" : JsonString(result.setting))
        .member("before", Value(result, result.before))
        .member("requested", Value(result, result.requested))
        .member("read_back", Value(result, result.readBack))
        .text("unit", result.unit)
        .text("time", IsoLocalTime(result.when));
    return json.json();
}

} // namespace hz70::publish
