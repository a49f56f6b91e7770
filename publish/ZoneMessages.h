// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Slohz70.h"
#include "publish/Message.h"

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace hz70::publish {

// "<prefix>/status": "online" or "offline".
[[nodiscard]] std::string StatusTopic(std::string_view prefix);
// "<prefix>/zone/<n>/<leaf>", n the zone's number as the windows show it.
[[nodiscard]] std::string ZoneTopic(std::string_view prefix, const TRegulator& zone, std::string_view leaf);

// "2026-12-09T18:40:01.123+01:00": local time with milliseconds and the offset from UTC.
[[nodiscard]] std::string IsoLocalTime(std::chrono::system_clock::time_point when);

// The zone's state after a poll as one JSON object: its readings scaled, null where there is none (a
// temperature under a sensor fault included, as in the recording), its alarms and mode by name, and the
// raw alarm and status words.
[[nodiscard]] std::string ZoneStateJson(const TRegulator& zone, std::chrono::system_clock::time_point when);

// The zone's settings as read: {"SP": {"value": 200, "unit": "°C", "description": "..."}, ...} under
// "settings", beside the time and the zone.
[[nodiscard]] std::string ZoneSettingsJson(const TRegulator& zone,
                                           std::chrono::system_clock::time_point when);

// Home Assistant's discovery configs for the zone's measured values: one sensor each, on a device that
// stands for the whole line named `system`, read out of the state messages under `prefix`.
[[nodiscard]] std::vector<Message> DiscoveryConfigs(const TRegulator& zone, std::string_view system,
                                                    std::string_view prefix);

} // namespace hz70::publish
