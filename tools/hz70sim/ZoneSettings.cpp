// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70sim/ZoneSettings.h"

#include <algorithm>
#include <cmath>

namespace hz70::sim {

namespace {

enum class Kind { Plain, Temperature, Difference };

struct SettingRow {
    Kind kind;
    SettingLimits celsiusLimits;
    std::uint16_t factory;
};

// Limits as the register map gives them (in °C for the temperature rows), and factory values.
constexpr std::array<SettingRow, kSettingCount> kRows{{
    {Kind::Temperature, {0, 537}, 200},  // SP
    {Kind::Temperature, {37, 149}, 100}, // SPL
    {Kind::Temperature, {90, 160}, 100}, // SPR
    {Kind::Plain, {5, 100}, 30},         // PS
    {Kind::Difference, {2, 20}, 10},     // ADH
    {Kind::Difference, {2, 20}, 10},     // ADL
    {Kind::Plain, {1, 200}, 3},          // XP
    {Kind::Plain, {0, 999}, 60},         // ti
    {Kind::Plain, {0, 999}, 0},          // td
    {Kind::Plain, {0, 999}, 0},          // SEC
    {Kind::Plain, {0, 1}, 0},            // DEG
    {Kind::Plain, {0, 1}, 0},            // AUA
    {Kind::Plain, {0, 1}, 0},            // FL
    {Kind::Plain, {0, 1}, 1},            // AUD
    {Kind::Plain, {0, 1}, 0},            // RLN
    {Kind::Plain, {0, 1}, 0},            // TCB
    {Kind::Plain, {0, 1}, 1},            // STOP: 1 automatic control, 0 stop at the reduced setpoint
}};

const SettingRow& RowOf(Setting setting) {
    return kRows[static_cast<std::size_t>(setting)];
}

double ToFahrenheit(Kind kind, double celsius) {
    return kind == Kind::Difference ? celsius * 1.8 : CelsiusToFahrenheit(celsius);
}

double ToCelsius(Kind kind, double fahrenheit) {
    return kind == Kind::Difference ? fahrenheit / 1.8 : FahrenheitToCelsius(fahrenheit);
}

std::uint16_t RoundToWord(double value) {
    return static_cast<std::uint16_t>(std::lround(std::max(value, 0.0)));
}

} // namespace

double CelsiusToFahrenheit(double celsius) {
    return celsius * 1.8 + 32.0;
}

double FahrenheitToCelsius(double fahrenheit) {
    return (fahrenheit - 32.0) / 1.8;
}

std::optional<Setting> SettingAt(std::uint16_t reg) {
    if (reg < kFirstSettingRegister || reg > kLastSettingRegister) {
        return std::nullopt;
    }
    return static_cast<Setting>(reg - kFirstSettingRegister);
}

ZoneSettings::ZoneSettings() {
    for (std::size_t i = 0; i < kSettingCount; ++i) {
        words_[i] = kRows[i].factory;
    }
}

std::uint16_t ZoneSettings::word(Setting setting) const {
    return words_[static_cast<std::size_t>(setting)];
}

SettingLimits ZoneSettings::limits(Setting setting) const {
    const SettingRow& row = RowOf(setting);
    if (row.kind == Kind::Plain || !fahrenheit()) {
        return row.celsiusLimits;
    }
    return {RoundToWord(ToFahrenheit(row.kind, row.celsiusLimits.min)),
            RoundToWord(ToFahrenheit(row.kind, row.celsiusLimits.max))};
}

bool ZoneSettings::write(Setting setting, std::uint16_t value) {
    const SettingLimits allowed = limits(setting);
    if (value < allowed.min || value > allowed.max) {
        return false;
    }
    const bool wasFahrenheit = fahrenheit();
    words_[static_cast<std::size_t>(setting)] = value;
    if (setting == Setting::DEG && fahrenheit() != wasFahrenheit) {
        convertTemperatures(fahrenheit());
    }
    return true;
}

double ZoneSettings::celsius(Setting setting) const {
    const SettingRow& row = RowOf(setting);
    const double value = word(setting);
    return fahrenheit() && row.kind != Kind::Plain ? ToCelsius(row.kind, value) : value;
}

void ZoneSettings::convertTemperatures(bool toFahrenheit) {
    for (std::size_t i = 0; i < kSettingCount; ++i) {
        const Kind kind = kRows[i].kind;
        if (kind == Kind::Plain) {
            continue;
        }
        const double converted = toFahrenheit ? ToFahrenheit(kind, words_[i]) : ToCelsius(kind, words_[i]);
        const SettingLimits allowed = limits(static_cast<Setting>(i));
        words_[i] = std::clamp(RoundToWord(converted), allowed.min, allowed.max);
    }
}

} // namespace hz70::sim
