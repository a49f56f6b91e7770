// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace hz70::sim {

// The controller's settings registers, 4000 to 4016, in register order.
enum class Setting : std::uint8_t {
    SP,
    SPL,
    SPR,
    PS,
    ADH,
    ADL,
    XP,
    ti,
    td,
    SEC,
    DEG,
    AUA,
    FL,
    AUD,
    RLN,
    TCB,
    STOP
};

inline constexpr std::size_t kSettingCount = 17;
inline constexpr std::uint16_t kFirstSettingRegister = 4000;
inline constexpr std::uint16_t kLastSettingRegister = 4016;
inline constexpr std::uint16_t kFirstMeasuredRegister = 4018;
inline constexpr std::uint16_t kLastMeasuredRegister = 4024;
inline constexpr std::size_t kMeasuredCount = 7;

// The setting held in a register; nothing outside 4000..4016.
[[nodiscard]] std::optional<Setting> SettingAt(std::uint16_t reg);

struct SettingLimits {
    std::uint16_t min = 0;
    std::uint16_t max = 0;
};

// The settings of one controller as words, with the limits it accepts. Temperature settings (SP, SPL,
// SPR and the bands ADH, ADL) are held in the unit DEG selects, and so are their limits: switching DEG
// converts them, as the controller's own display would.
class ZoneSettings {
public:
    ZoneSettings(); // factory settings, in °C

    [[nodiscard]] std::uint16_t word(Setting setting) const;
    [[nodiscard]] SettingLimits limits(Setting setting) const;
    // Stores `value` if it lies within the limits; false (nothing changed) otherwise.
    [[nodiscard]] bool write(Setting setting, std::uint16_t value);

    [[nodiscard]] bool fahrenheit() const { return word(Setting::DEG) != 0; }
    [[nodiscard]] bool automatic() const { return word(Setting::STOP) != 0; }
    // A temperature setting in °C: SP, SPL and SPR as temperatures, ADH and ADL as differences.
    [[nodiscard]] double celsius(Setting setting) const;

private:
    void convertTemperatures(bool toFahrenheit);

    std::array<std::uint16_t, kSettingCount> words_{};
};

[[nodiscard]] double CelsiusToFahrenheit(double celsius);
[[nodiscard]] double FahrenheitToCelsius(double fahrenheit);

} // namespace hz70::sim
