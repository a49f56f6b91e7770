// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace hz70 {

// The alarm word's bits (register 4018), least significant first, by the names that files and messages
// outside the program use.
inline constexpr const char* kAlarmNames[] = {
    "sensor-short",
    "sensor-open",
    "sensor-reversed",
    "temperature-high",
    "temperature-low",
    "load-short",
    "load-open",
    "leakage",
    "fuse",
    "ssr",
};

// A shorted, open or reversed sensor: the temperature word then holds no reading.
inline constexpr std::uint16_t kSensorFaultBits = 0x0007;

[[nodiscard]] constexpr bool SensorFault(std::uint16_t alarmWord) {
    return (alarmWord & kSensorFaultBits) != 0;
}

// The names of the alarms set in `alarmWord`, separated by `separator`; bits without a name are left out.
[[nodiscard]] std::string AlarmNames(std::uint16_t alarmWord, char separator);

} // namespace hz70
