// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70sim/HeatingZone.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace hz70::sim {

namespace {

// Soft start ends this close below SPR.
constexpr double kSoftStartMargin = 1.0;
// The derivative's filter time constant is td divided by this.
constexpr double kDerivativeFilter = 8.0;
// Time constant of the running mean of the output that TCB = 1 falls back to.
constexpr double kAverageOutputSeconds = 60.0;

std::int16_t ToTenths(double value) {
    const double tenths = std::round(value * 10.0);
    return static_cast<std::int16_t>(std::clamp(tenths, double{std::numeric_limits<std::int16_t>::min()},
                                                double{std::numeric_limits<std::int16_t>::max()}));
}

} // namespace

HeatingZone::HeatingZone(const PlantParameters& plant, std::uint64_t noiseSeed)
    : plant_(plant), noise_(noiseSeed), temperature_(plant.ambient), reading_(plant.ambient),
      leakage_(plant.dryLeakage), previousTemperature_(plant.ambient) {}

bool HeatingZone::write(Setting setting, std::uint16_t value) {
    return settings_.write(setting, value);
}

void HeatingZone::setManualOutput(std::optional<double> percent) {
    if (percent) {
        percent = std::clamp(*percent, 0.0, 100.0);
    }
    manualOutput_ = percent;
}

void HeatingZone::inject(ZoneFault fault) {
    faults_.set(static_cast<std::size_t>(fault));
}

void HeatingZone::clearFaults() {
    faults_.reset();
}

bool HeatingZone::has(ZoneFault fault) const {
    return faults_.test(static_cast<std::size_t>(fault));
}

void HeatingZone::advance(double seconds) {
    pendingSeconds_ += seconds;
    while (pendingSeconds_ >= kStepSeconds) {
        step(kStepSeconds);
        pendingSeconds_ -= kStepSeconds;
    }
}

void HeatingZone::step(double dt) {
    updateModes();
    lastChange_ = temperature_ - previousTemperature_;
    previousTemperature_ = temperature_;
    output_ = controlOutput(dt);

    const double share = heatingShare();
    const double steady = plant_.ambient + share * plant_.fullPowerRise;
    temperature_ = steady + (temperature_ - steady) * std::exp(-dt / plant_.timeConstant);

    loadCurrent_ = share * plant_.fullLoadCurrent;
    leakage_ = has(ZoneFault::Leakage) ? plant_.faultyLeakage : plant_.dryLeakage * (1.0 + share);
    if (sensorOk()) {
        averageOutput_ += (output_ - averageOutput_) * std::min(1.0, dt / kAverageOutputSeconds);
    }
    reading_ = temperature_ + (noise_.unit() * 2.0 - 1.0) * plant_.noise;
    updateTemperatureAlarms();
}

bool HeatingZone::sensorOk() const {
    return !has(ZoneFault::SensorOpen) && !has(ZoneFault::SensorShort);
}

bool HeatingZone::regulatingAutomatically() const {
    return settings_.automatic() && !manualOutput_;
}

// Soft start begins whenever automatic control begins (power-up included) below SPR, and ends once the
// zone is there or automatic control ends.
void HeatingZone::updateModes() {
    const bool regulating = regulatingAutomatically();
    const double spr = settings_.celsius(Setting::SPR);
    const bool belowSpr = temperature_ < spr - kSoftStartMargin;
    const bool useful = settings_.celsius(Setting::SP) > spr;
    if (regulating && !wasRegulating_) {
        softStart_ = sensorOk() && belowSpr && useful;
    }
    if (!regulating || !belowSpr || !useful) {
        softStart_ = false;
    }
    wasRegulating_ = regulating;
}

double HeatingZone::workingSetpoint() const {
    if (!settings_.automatic()) {
        return settings_.celsius(Setting::SPL);
    }
    return settings_.celsius(softStart_ ? Setting::SPR : Setting::SP);
}

double HeatingZone::controlOutput(double dt) {
    if (has(ZoneFault::LoadShort)) {
        integral_ = 0.0;
        return 0.0; // the controller cuts a shorted load off
    }
    if (manualOutput_) {
        return *manualOutput_;
    }
    if (!sensorOk()) {
        integral_ = 0.0;
        return settings_.word(Setting::TCB) != 0 ? averageOutput_ : 0.0;
    }
    const double limit = softStart_ ? static_cast<double>(settings_.word(Setting::PS)) : 100.0;
    return pid(workingSetpoint(), limit, dt);
}

// Parallel PID on the measurement, derivative on the measurement so that setpoint steps do not kick,
// integration held while the output is saturated in the error's direction (no wind-up).
double HeatingZone::pid(double setpoint, double limit, double dt) {
    const double xp = std::max<double>(settings_.word(Setting::XP), 1.0);
    const double gain = 100.0 / (xp / 100.0 * kSpanCelsius); // % output per °C
    const double ti = settings_.word(Setting::ti);
    const double td = settings_.word(Setting::td);
    const double error = setpoint - temperature_;

    const double proportional = gain * error;
    // Filtered with td / kDerivativeFilter: unfiltered, the output would chatter, since on this plant
    // the slope answers the output within one step.
    const double filter = td / kDerivativeFilter;
    derivative_ = (filter * derivative_ - gain * td * lastChange_) / (filter + dt);
    const double derivative = derivative_;

    if (ti <= 0.0) {
        integral_ = 0.0;
    } else {
        const double candidate = std::clamp(integral_ + gain * error * dt / ti, 0.0, limit);
        const double unlimited = proportional + candidate + derivative;
        const bool windingUp = (unlimited > limit && error > 0.0) || (unlimited < 0.0 && error < 0.0);
        if (!windingUp) {
            integral_ = candidate;
        }
    }
    return std::clamp(proportional + integral_ + derivative, 0.0, limit);
}

// How much of full heating reaches the load.
double HeatingZone::heatingShare() const {
    if (has(ZoneFault::Ssr)) {
        return 1.0; // a shorted relay heats whatever the controller asks
    }
    if (has(ZoneFault::LoadOpen) || has(ZoneFault::LoadShort) || has(ZoneFault::Fuse)) {
        return 0.0;
    }
    return output_ / 100.0;
}

// Deviation alarms against the working setpoint. The low alarm waits after a setpoint change until the
// zone has come up into its band, so that heating up is not an alarm.
void HeatingZone::updateTemperatureAlarms() {
    const double setpoint = workingSetpoint();
    if (setpoint != previousSetpoint_) {
        previousSetpoint_ = setpoint;
        lowAlarmArmed_ = false;
    }
    if (!sensorOk()) {
        highAlarm_ = lowAlarm_ = false;
        return;
    }
    const double low = setpoint - settings_.celsius(Setting::ADL);
    if (reading_ >= low) {
        lowAlarmArmed_ = true;
    }
    highAlarm_ = reading_ > setpoint + settings_.celsius(Setting::ADH);
    lowAlarm_ = lowAlarmArmed_ && reading_ < low;
}

std::uint16_t HeatingZone::alarmWord() const {
    std::uint16_t word = 0;
    auto setIf = [&word](bool condition, std::uint16_t bit) {
        if (condition) {
            word |= bit;
        }
    };
    setIf(has(ZoneFault::SensorShort), AlarmBit::SensorShort);
    setIf(has(ZoneFault::SensorOpen), AlarmBit::SensorOpen);
    setIf(highAlarm_, AlarmBit::HighTemperature);
    setIf(lowAlarm_, AlarmBit::LowTemperature);
    setIf(has(ZoneFault::LoadShort), AlarmBit::LoadShort);
    setIf(has(ZoneFault::LoadOpen), AlarmBit::LoadOpen);
    setIf(leakage_ > kLeakageTrip, AlarmBit::Leakage);
    setIf(has(ZoneFault::Fuse), AlarmBit::Fuse);
    setIf(has(ZoneFault::Ssr), AlarmBit::Ssr);
    return word;
}

std::uint16_t HeatingZone::statusWord() const {
    std::uint16_t word = 0;
    auto setIf = [&word](bool condition, std::uint16_t bit) {
        if (condition) {
            word |= bit;
        }
    };
    setIf(settings_.automatic(), StatusBit::Automatic);
    setIf(manualOutput_.has_value(), StatusBit::Manual);
    setIf(settings_.word(Setting::AUA) != 0, StatusBit::Autotune);
    setIf(settings_.word(Setting::FL) != 0, StatusBit::FuzzyLogic);
    setIf(softStart_, StatusBit::SoftStart);
    setIf(settings_.word(Setting::AUD) != 0 && alarmWord() != 0, StatusBit::AlarmRelay);
    setIf(settings_.fahrenheit(), StatusBit::Fahrenheit);
    return word;
}

std::int16_t HeatingZone::reportedTemperature() const {
    if (has(ZoneFault::SensorOpen)) {
        return kSensorOpenReading;
    }
    // A shorted thermocouple measures its own terminals: the ambient.
    const double celsius = has(ZoneFault::SensorShort) ? plant_.ambient : reading_;
    return ToTenths(settings_.fahrenheit() ? CelsiusToFahrenheit(celsius) : celsius);
}

// The setpoint in force, in the display unit, as the settings word holds it.
std::int16_t HeatingZone::reportedSetpoint() const {
    Setting source = softStart_ ? Setting::SPR : Setting::SP;
    if (!settings_.automatic()) {
        source = Setting::SPL;
    }
    return ToTenths(settings_.word(source));
}

std::array<std::int16_t, kMeasuredCount> HeatingZone::measured() const {
    return {static_cast<std::int16_t>(alarmWord()),
            static_cast<std::int16_t>(statusWord()),
            reportedTemperature(),
            reportedSetpoint(),
            ToTenths(output_),
            ToTenths(loadCurrent_),
            ToTenths(leakage_)};
}

} // namespace hz70::sim
