// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/core/ZonePanelState.h"

#include "model/FixedText.h"

namespace hz70 {
namespace {

// Alarm word (register 4018).
constexpr std::uint16_t kLoadFaultBits = 0x00C0;
constexpr std::uint16_t kLeakageBits = 0x0100;
constexpr std::uint16_t kSensorFaultBits = 0x000F;
constexpr std::uint16_t kTemperatureAlarmBits = 0x0030;

constexpr Rgb kAlarmLit{255, 0, 0};
constexpr Rgb kAlarmDark{128, 0, 0};
constexpr Rgb kSignalLit{0, 255, 0};
constexpr Rgb kSignalDark{0, 128, 0};
constexpr Rgb kGrey{128, 128, 128};

bool IsAlarmLamp(Lamp lamp) {
    return static_cast<int>(lamp) <= static_cast<int>(Lamp::kTemperatureAlarm);
}

bool IsGreyLamp(Lamp lamp) {
    return lamp == Lamp::kPowerUnit || lamp == Lamp::kCurrentUnit;
}

std::uint16_t Word(const TParametr& row) {
    return static_cast<std::uint16_t>(row.raw);
}

LampState LitWhen(bool condition) {
    return condition ? LampState::kLit : LampState::kDark;
}

struct ModeDisplay {
    bool stop;
    bool automatic;
    const char* caption;
};

// Manual control and soft start are neither stop nor automatic control; the button then offers stop
// when the controller would regulate automatically afterwards.
ModeDisplay DecodeMode(std::uint16_t status, bool commError) {
    const bool automatic = (status & kAutomaticBit) != 0;
    const bool manual = (status & kManualBit) != 0;
    const bool softStart = (status & kSoftStartBit) != 0;
    if (commError) {
        return {false, false, kAutomaticCaption};
    }
    if ((manual || softStart) && (automatic || softStart)) {
        return {false, false, kStopCaption};
    }
    if (manual) {
        return {false, false, kAutomaticCaption};
    }
    if (automatic) {
        return {false, true, kStopCaption};
    }
    return {true, false, kAutomaticCaption};
}

} // namespace

ZonePanelState DecodeZonePanel(const TRegulator& record) {
    ZonePanelState state;
    const bool commError = record.commError != 0;
    const std::uint16_t alarms = Word(record.measured[kAlarmWord]);
    const std::uint16_t status = StatusWord(record);
    const auto set = [&state](Lamp lamp, LampState value) {
        state.lamps[static_cast<std::size_t>(lamp)] = value;
    };
    const auto any = [](std::uint16_t word, std::uint16_t bits) { return (word & bits) != 0; };

    state.noTransmission = commError;

    set(Lamp::kLoadFault, LitWhen(any(alarms, kLoadFaultBits)));
    set(Lamp::kLeakage, LitWhen(any(alarms, kLeakageBits)));
    set(Lamp::kSensorFault, LitWhen(any(alarms, kSensorFaultBits)));
    set(Lamp::kTemperatureAlarm, LitWhen(any(alarms, kTemperatureAlarmBits)));
    set(Lamp::kPowerUnit, LampState::kGrey);
    set(Lamp::kCurrentUnit, LampState::kGrey);

    const bool fahrenheit = WorksInFahrenheit(status);
    set(Lamp::kFahrenheit, LitWhen(fahrenheit));
    set(Lamp::kCelsius, LitWhen(!fahrenheit && !commError));

    set(Lamp::kManual, LitWhen(any(status, kManualBit)));
    set(Lamp::kSoftStart, LitWhen(any(status, kSoftStartBit)));
    const ModeDisplay mode = DecodeMode(status, commError);
    set(Lamp::kStop, LitWhen(mode.stop));
    set(Lamp::kAutomatic, LitWhen(mode.automatic));
    state.modeCaption = mode.caption;

    set(Lamp::kPidTuning, LitWhen(any(status, kPidTuningBit)));
    set(Lamp::kFuzzyLogic, LitWhen(any(status, kFuzzyLogicBit)));
    set(Lamp::kPhaseControl, LitWhen(any(status, kPhaseControlBit)));
    set(Lamp::kBinaryInputClosed, LitWhen(any(status, kBinaryInputBit)));
    set(Lamp::kRelayOutputClosed, LitWhen(any(status, kRelayOutputBit)));

    constexpr std::array<int, kValueFieldCount> kFieldRows{kMeasuredTemperature, kCurrentSetpoint,
                                                           kOutputPower, kLoadCurrent};
    for (std::size_t i = 0; i < kFieldRows.size(); ++i) {
        state.fields[i] = ValueFieldText(record.measured[static_cast<std::size_t>(kFieldRows[i])].value);
    }
    return state;
}

Rgb LampColour(Lamp lamp, LampState state) {
    if (state == LampState::kGrey) {
        return kGrey;
    }
    const bool lit = state == LampState::kLit;
    if (IsAlarmLamp(lamp)) {
        return lit ? kAlarmLit : kAlarmDark;
    }
    return lit ? kSignalLit : kSignalDark;
}

LampState DesignLampState(Lamp lamp) {
    return IsGreyLamp(lamp) ? LampState::kGrey : LampState::kDark;
}

std::string ValueFieldText(double value) {
    if (IsNoValue(value)) {
        return "----";
    }
    return FixedText(value, 5, 1);
}

std::uint16_t ModeToggleValue(const TRegulator& record) {
    return (StatusWord(record) & kAutomaticBit) != 0 ? 0 : 1;
}

std::string PanelTitle(std::string_view name) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const bool startsCharacter = (static_cast<unsigned char>(name[i]) & 0xC0) != 0x80;
        if (startsCharacter && characters++ == kTitleLength) {
            return std::string(name.substr(0, i));
        }
    }
    return std::string(name);
}

} // namespace hz70
