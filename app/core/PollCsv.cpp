// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/PollCsv.h"

#include "model/AlarmWord.h"
#include "model/FixedText.h"
#include "model/LocalTime.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace hz70 {
namespace {

std::string Value(double value) {
    if (IsNoValue(value)) {
        return "";
    }
    return FixedText(value, 0, 1);
}

} // namespace

std::string FormatPollLine(const std::string& time, const TRegulator& zone) {
    std::string line = time;
    const auto field = [&line](const std::string& text) {
        line += ',';
        line += text;
    };
    field(std::to_string(zone.zoneNumber));
    field(std::to_string(zone.address));
    const auto word = [&zone](int row) {
        return static_cast<std::uint16_t>(zone.measured[static_cast<std::size_t>(row)].raw);
    };
    const std::uint16_t alarms = word(kAlarmWord);
    for (const int row :
         {kMeasuredTemperature, kCurrentSetpoint, kOutputPower, kLoadCurrent, kLeakageCurrent}) {
        const bool noReading = row == kMeasuredTemperature && SensorFault(alarms);
        field(noReading ? std::string() : Value(zone.measured[static_cast<std::size_t>(row)].value));
    }
    field(std::to_string(alarms));
    field(std::to_string(word(kStatusWord)));
    field(std::to_string(zone.commError));
    field(AlarmNames(alarms, ' '));
    return line;
}

std::string LocalTimestamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    const std::tm local = LocalTime(seconds);
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + n, sizeof text - n, ".%03d", static_cast<int>(ms));
    return text;
}

} // namespace hz70
