// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/AlarmMessages.h"

#include "publish/Json.h"

namespace hz70::publish {

std::string AlarmTopic(std::string_view prefix, int zone) {
    return std::string(prefix) + "/zone/" + std::to_string(zone) + "/alarm";
}

std::string AlarmJson(const AlarmMessage& message) {
    return JsonObject()
        .text("time", message.time)
        .integer("zone", message.zone)
        .integer("address", message.address)
        .text("name", message.name)
        .text("event", message.event)
        .text("change", message.change)
        .json();
}

} // namespace hz70::publish
