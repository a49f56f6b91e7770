// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Slohz70.h"

#include <cstdint>

namespace hz70 {

// The status word's bits (register 4019).
inline constexpr std::uint16_t kAutomaticBit = 0x0001;
inline constexpr std::uint16_t kManualBit = 0x0002;
inline constexpr std::uint16_t kPidTuningBit = 0x0004;
inline constexpr std::uint16_t kFuzzyLogicBit = 0x0008;
inline constexpr std::uint16_t kSoftStartBit = 0x0010;
inline constexpr std::uint16_t kPhaseControlBit = 0x0020;
inline constexpr std::uint16_t kBinaryInputBit = 0x0040;
inline constexpr std::uint16_t kRelayOutputBit = 0x0080;
inline constexpr std::uint16_t kFahrenheitBit = 0x0100;

inline constexpr const char* kCelsiusUnit = "°C";
inline constexpr const char* kFahrenheitUnit = "°F";

// The status word as the last poll left it in the record.
[[nodiscard]] constexpr std::uint16_t StatusWord(const TRegulator& record) {
    return static_cast<std::uint16_t>(record.measured[kStatusWord].raw);
}

[[nodiscard]] constexpr bool WorksInFahrenheit(std::uint16_t statusWord) {
    return (statusWord & kFahrenheitBit) != 0;
}

// Sets the record's fahrenheit flag and the units of its seven temperature rows from its status word.
// The poll cycle does it for every zone it hands on, so that every reader of the record (windows,
// recorder, hz70cli) only reads the unit.
void ApplyTemperatureUnit(TRegulator& record);

} // namespace hz70
