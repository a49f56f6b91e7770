// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hz70sim/SimRandom.h"
#include "hz70sim/ZoneSettings.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>

namespace hz70::sim {

// Bits of the alarm word (register 4018).
namespace AlarmBit {
inline constexpr std::uint16_t SensorShort = 1u << 0;
inline constexpr std::uint16_t SensorOpen = 1u << 1;
inline constexpr std::uint16_t HighTemperature = 1u << 3;
inline constexpr std::uint16_t LowTemperature = 1u << 4;
inline constexpr std::uint16_t LoadShort = 1u << 5;
inline constexpr std::uint16_t LoadOpen = 1u << 6;
inline constexpr std::uint16_t Leakage = 1u << 7;
inline constexpr std::uint16_t Fuse = 1u << 8;
inline constexpr std::uint16_t Ssr = 1u << 9;
} // namespace AlarmBit

// Bits of the status word (register 4019).
namespace StatusBit {
inline constexpr std::uint16_t Automatic = 1u << 0; // clear: stop mode at the reduced setpoint
inline constexpr std::uint16_t Manual = 1u << 1;
inline constexpr std::uint16_t Autotune = 1u << 2;
inline constexpr std::uint16_t FuzzyLogic = 1u << 3;
inline constexpr std::uint16_t SoftStart = 1u << 4;
inline constexpr std::uint16_t AlarmRelay = 1u << 7;
inline constexpr std::uint16_t Fahrenheit = 1u << 8;
} // namespace StatusBit

enum class ZoneFault : std::uint8_t { SensorOpen, SensorShort, LoadOpen, LoadShort, Leakage, Fuse, Ssr };
inline constexpr std::size_t kZoneFaultCount = 7;

// The heater and the mass it heats: a first-order plant.
struct PlantParameters {
    double ambient = 20.0;        // °C, also the start temperature
    double fullPowerRise = 400.0; // °C above ambient that full power holds in the steady state
    double timeConstant = 120.0;  // s
    double fullLoadCurrent = 4.0; // A at 100 % output
    double dryLeakage = 0.4;      // mA, heater cold and off
    double faultyLeakage = 35.0;  // mA with a leakage fault
    double noise = 0.1;           // °C, amplitude of the reading's jitter
};

// One HZ70 controller with its zone: PID control from SP, XP, ti, td with soft start, stop mode at SPL,
// manual output, °F display, load and leakage currents, and the alarm and status words.
class HeatingZone {
public:
    // Measuring span that XP is a percentage of (0..537 °C, the setpoint's range).
    static constexpr double kSpanCelsius = 537.0;
    // The model's fixed step; time is stepped in whole steps, the rest carried to the next advance.
    static constexpr double kStepSeconds = 0.1;
    // The reading reported with an open sensor: the top of the scale.
    static constexpr std::int16_t kSensorOpenReading = 32767;
    // Leakage above this trips the leakage alarm.
    static constexpr double kLeakageTrip = 20.0;

    explicit HeatingZone(const PlantParameters& plant = {}, std::uint64_t noiseSeed = 0);

    [[nodiscard]] const ZoneSettings& settings() const { return settings_; }
    // Writes one setting; false when the value lies outside the setting's limits.
    [[nodiscard]] bool write(Setting setting, std::uint16_t value);

    // Manual mode holds the output at `percent` (0..100) until it is left with nothing.
    void setManualOutput(std::optional<double> percent);
    void inject(ZoneFault fault);
    void clearFaults();
    [[nodiscard]] bool has(ZoneFault fault) const;

    // Moves simulated time on.
    void advance(double seconds);

    // Registers 4018..4024: alarm word, status word, temperature, working setpoint (0.1 ° in the
    // display unit), output (0.1 %), load current (0.1 A), leakage (0.1 mA); signed words.
    [[nodiscard]] std::array<std::int16_t, kMeasuredCount> measured() const;
    [[nodiscard]] std::uint16_t alarmWord() const;
    [[nodiscard]] std::uint16_t statusWord() const;

    [[nodiscard]] double temperature() const { return temperature_; } // the plant, °C
    [[nodiscard]] double output() const { return output_; }           // %
    [[nodiscard]] bool softStart() const { return softStart_; }
    [[nodiscard]] double workingSetpoint() const; // °C

private:
    void step(double dt);
    void updateModes();
    [[nodiscard]] bool sensorOk() const;
    [[nodiscard]] bool regulatingAutomatically() const;
    [[nodiscard]] double controlOutput(double dt);
    [[nodiscard]] double pid(double setpoint, double limit, double dt);
    [[nodiscard]] double heatingShare() const;
    void updateTemperatureAlarms();
    [[nodiscard]] std::int16_t reportedTemperature() const;
    [[nodiscard]] std::int16_t reportedSetpoint() const;

    PlantParameters plant_;
    ZoneSettings settings_;
    SimRandom noise_;
    std::bitset<kZoneFaultCount> faults_;
    std::optional<double> manualOutput_;

    double temperature_;
    double reading_;
    double output_ = 0.0;
    double loadCurrent_ = 0.0;
    double leakage_;
    double averageOutput_ = 0.0; // what TCB = 1 keeps up when the sensor fails
    double integral_ = 0.0;
    double previousTemperature_; // at the last step
    double lastChange_ = 0.0;    // over the last step
    double derivative_ = 0.0;
    double pendingSeconds_ = 0.0; // simulated time not yet stepped
    double previousSetpoint_ = -1.0;
    bool softStart_ = false;
    bool wasRegulating_ = false;
    bool lowAlarmArmed_ = false;
    bool highAlarm_ = false;
    bool lowAlarm_ = false;
};

} // namespace hz70::sim
