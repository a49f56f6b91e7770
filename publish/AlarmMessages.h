// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace hz70::publish {

// One event of the alarm log as the broker gets it, in the log file's terms.
struct AlarmMessage {
    std::string_view time; // as IsoLocalTime writes it
    int zone = 0;
    int address = 0;
    std::string_view name;
    std::string_view event;  // an alarm's name, "communication" or "mode-<mode>"
    std::string_view change; // "came" or "went"; for a mode, "operator" or "command"
};

// "<prefix>/zone/<n>/alarm".
[[nodiscard]] std::string AlarmTopic(std::string_view prefix, int zone);

// {"time": ..., "zone": 2, "address": 12, "name": ..., "event": "temperature-high", "change": "came"}
[[nodiscard]] std::string AlarmJson(const AlarmMessage& message);

} // namespace hz70::publish
