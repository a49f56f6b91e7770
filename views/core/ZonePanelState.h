// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Slohz70.h"
#include "model/StatusWord.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace hz70 {

// The lamps of a zone panel, in the order they sit on it: alarms, units, modes, functions.
enum class Lamp : int {
    kLoadFault,        // "uszkodzenie odbiornika"
    kLeakage,          // "przekroczenie prądu upływu"
    kSensorFault,      // "uszkodzenie czujnika"
    kTemperatureAlarm, // "alarm temperatury"
    kFahrenheit,
    kCelsius,
    kPowerUnit,   // under "%": always grey
    kCurrentUnit, // under "A": always grey
    kManual,
    kSoftStart,
    kStop,
    kAutomatic,
    kPidTuning,
    kFuzzyLogic,
    kPhaseControl,
    kBinaryInputClosed,
    kRelayOutputClosed,
};
inline constexpr int kLampCount = 17;

enum class LampState { kDark, kLit, kGrey };

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The value fields, left to right on the panel.
enum class ValueField : int { kMeasuredTemperature, kCurrentSetpoint, kOutputPower, kLoadCurrent };
inline constexpr int kValueFieldCount = 4;

inline constexpr const char* kStopCaption = "S";
inline constexpr const char* kAutomaticCaption = "AUTO";
// What a panel shows before its first update.
inline constexpr const char* kDesignFieldText = "???,?";
inline constexpr std::size_t kTitleLength = 17; // characters

// Everything a zone panel shows, decoded from its controller record.
struct ZonePanelState {
    bool noTransmission = true;
    std::array<LampState, kLampCount> lamps{};
    const char* modeCaption = kAutomaticCaption; // caption of the stop/automatic button
    std::array<std::string, kValueFieldCount> fields;

    [[nodiscard]] LampState lamp(Lamp which) const { return lamps[static_cast<std::size_t>(which)]; }
    [[nodiscard]] const std::string& field(ValueField which) const {
        return fields[static_cast<std::size_t>(which)];
    }
};

// The panel's picture of the record: lamps from the alarm and status words, the button caption and the
// value fields.
[[nodiscard]] ZonePanelState DecodeZonePanel(const TRegulator& record);

// The colour a lamp is painted in. Before the first update every lamp is dark (or grey).
[[nodiscard]] Rgb LampColour(Lamp lamp, LampState state);
[[nodiscard]] LampState DesignLampState(Lamp lamp);

// "%5.1f" with a decimal point whatever the locale, or "----" for the no-value mark.
[[nodiscard]] std::string ValueFieldText(double value);

// What the stop/automatic button writes to the STOP register: 0 (stop) while the controller regulates
// automatically, 1 (automatic) otherwise.
[[nodiscard]] std::uint16_t ModeToggleValue(const TRegulator& record);

// The panel title: the first kTitleLength characters of the zone name.
[[nodiscard]] std::string PanelTitle(std::string_view name);

} // namespace hz70
