// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/ZoneMessages.h"

#include "model/AlarmWord.h"
#include "model/FixedText.h"
#include "model/LocalTime.h"
#include "model/StatusWord.h"
#include "publish/Json.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <iterator>

namespace hz70::publish {
namespace {

using std::chrono::system_clock;

struct StatusFlag {
    std::uint16_t bit;
    const char* name;
};

// The status word's bits besides the mode and the unit, which have keys of their own.
constexpr StatusFlag kStatusFlags[] = {
    {kPidTuningBit, "pid-tuning"},       {kFuzzyLogicBit, "fuzzy-logic"},   {kSoftStartBit, "soft-start"},
    {kPhaseControlBit, "phase-control"}, {kBinaryInputBit, "binary-input"}, {kRelayOutputBit, "relay-output"},
};

struct Sensor {
    MeasuredRow row;
    const char* key; // in the state JSON
    const char* caption;
    const char* deviceClass; // Home Assistant's; none for the output power, which is a share, not watts
};

constexpr Sensor kSensors[] = {
    {kMeasuredTemperature, "temperature", "temperatura", "temperature"},
    {kCurrentSetpoint, "setpoint", "wartość zadana", "temperature"},
    {kOutputPower, "power", "moc", nullptr},
    {kLoadCurrent, "current", "prąd", "current"},
    {kLeakageCurrent, "leakage", "prąd upływu", "current"},
};

// Seconds of a calendar time counted as if it were UTC; the difference of two is an offset.
long long CalendarSeconds(const std::tm& time) {
    using namespace std::chrono;
    const sys_days day = year{time.tm_year + 1900} / month{static_cast<unsigned>(time.tm_mon + 1)} /
                         std::chrono::day{static_cast<unsigned>(time.tm_mday)};
    return day.time_since_epoch().count() * 86400LL + time.tm_hour * 3600LL + time.tm_min * 60LL +
           time.tm_sec;
}

std::uint16_t Word(const TRegulator& zone, MeasuredRow row) {
    return static_cast<std::uint16_t>(zone.measured[static_cast<std::size_t>(row)].raw);
}

// The digits after the point that a row's scale gives its values.
int Decimals(double scale) {
    int decimals = 0;
    for (double step = scale; step < 0.999 && decimals < 6; step *= 10) {
        ++decimals;
    }
    return decimals;
}

std::string Reading(const TRegulator& zone, MeasuredRow row) {
    const TParametr& measured = zone.measured[static_cast<std::size_t>(row)];
    if (row == kMeasuredTemperature && SensorFault(Word(zone, kAlarmWord))) {
        return "null";
    }
    return JsonNumber(measured.value, Decimals(measured.scale));
}

std::string AlarmList(std::uint16_t alarms) {
    std::vector<std::string> names;
    for (std::size_t bit = 0; bit < std::size(kAlarmNames); ++bit) {
        if ((alarms & (1U << bit)) != 0) {
            names.push_back(JsonString(kAlarmNames[bit]));
        }
    }
    return JsonArray(names);
}

std::string FlagList(std::uint16_t status) {
    std::vector<std::string> names;
    for (const StatusFlag& flag : kStatusFlags) {
        if ((status & flag.bit) != 0) {
            names.push_back(JsonString(flag.name));
        }
    }
    return JsonArray(names);
}

const char* Mode(std::uint16_t status) {
    if ((status & kManualBit) != 0) {
        return "manual";
    }
    return (status & kAutomaticBit) != 0 ? "auto" : "stop";
}

bool IsTemperature(MeasuredRow row) {
    return row == kMeasuredTemperature || row == kCurrentSetpoint;
}

const char* TemperatureUnit(const TRegulator& zone) {
    return zone.fahrenheit != 0 ? kFahrenheitUnit : kCelsiusUnit;
}

std::string ZoneName(const TRegulator& zone) {
    return zone.name.empty() ? "Strefa " + std::to_string(zone.zoneNumber) : zone.name;
}

// Topic levels and Home Assistant's ids allow letters, digits, '_' and '-' everywhere.
std::string IdText(std::string_view text) {
    std::string id;
    for (const char c : text) {
        const bool plain =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
        id += plain ? c : '_';
    }
    return id;
}

std::string DeviceJson(std::string_view system) {
    return JsonObject()
        .member("identifiers", JsonArray({JsonString("hz70_" + IdText(system))}))
        .text("name", "HS70 " + std::string(system))
        .text("model", "HZ70")
        .json();
}

} // namespace

std::string StatusTopic(std::string_view prefix) {
    return std::string(prefix) + "/status";
}

std::string ZoneTopic(std::string_view prefix, const TRegulator& zone, std::string_view leaf) {
    return std::string(prefix) + "/zone/" + std::to_string(zone.zoneNumber) + '/' + std::string(leaf);
}

std::string IsoLocalTime(system_clock::time_point when) {
    const auto milliseconds = std::chrono::floor<std::chrono::milliseconds>(when);
    const std::time_t seconds = system_clock::to_time_t(std::chrono::floor<std::chrono::seconds>(when));
    const int ms = static_cast<int>((milliseconds.time_since_epoch().count() % 1000 + 1000) % 1000);
    const std::tm local = LocalTime(seconds);
    const long long offset = (CalendarSeconds(local) - CalendarSeconds(UtcTime(seconds))) / 60;
    const long long magnitude = offset < 0 ? -offset : offset;
    char text[48];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    std::snprintf(text + n, sizeof text - n, ".%03d%c%02lld:%02lld", ms, offset < 0 ? '-' : '+',
                  magnitude / 60, magnitude % 60);
    return text;
}

std::string ZoneStateJson(const TRegulator& zone, system_clock::time_point when) {
    const std::uint16_t alarms = Word(zone, kAlarmWord);
    const std::uint16_t status = Word(zone, kStatusWord);
    JsonObject json;
    json.text("time", IsoLocalTime(when))
        .integer("zone", zone.zoneNumber)
        .integer("address", zone.address)
        .text("name", zone.name);
    for (const Sensor& sensor : kSensors) {
        json.member(sensor.key, Reading(zone, sensor.row));
    }
    return json.text("unit", TemperatureUnit(zone))
        .member("alarms", AlarmList(alarms))
        .text("mode", Mode(status))
        .member("flags", FlagList(status))
        .boolean("comm_error", zone.commError != 0)
        .integer("alarm_word", alarms)
        .integer("status_word", status)
        .json();
}

std::string ZoneSettingsJson(const TRegulator& zone, system_clock::time_point when) {
    JsonObject settings;
    for (const TParametr& row : zone.settings) {
        settings.member(row.mnemonic, JsonObject()
                                          .number("value", row.value, Decimals(row.scale))
                                          .text("unit", row.unit)
                                          .text("description", row.description)
                                          .json());
    }
    return JsonObject()
        .text("time", IsoLocalTime(when))
        .integer("zone", zone.zoneNumber)
        .integer("address", zone.address)
        .text("name", zone.name)
        .member("settings", settings.json())
        .json();
}

std::vector<Message> DiscoveryConfigs(const TRegulator& zone, std::string_view system,
                                      std::string_view prefix) {
    std::vector<Message> configs;
    const std::string device = DeviceJson(system);
    for (const Sensor& sensor : kSensors) {
        const std::string id =
            "hz70_" + IdText(system) + "_zone" + std::to_string(zone.zoneNumber) + '_' + sensor.key;
        const TParametr& row = zone.measured[static_cast<std::size_t>(sensor.row)];
        JsonObject config;
        config.text("name", ZoneName(zone) + ' ' + sensor.caption)
            .text("unique_id", id)
            .text("object_id", id)
            .text("state_topic", ZoneTopic(prefix, zone, "state"))
            .text("value_template", std::string("{{ value_json.") + sensor.key + " }}")
            .text("unit_of_measurement", IsTemperature(sensor.row) ? TemperatureUnit(zone) : row.unit);
        if (sensor.deviceClass != nullptr) {
            config.text("device_class", sensor.deviceClass);
        }
        config.text("state_class", "measurement")
            .text("availability_topic", StatusTopic(prefix))
            .member("device", device);
        configs.push_back({"homeassistant/sensor/" + id + "/config", config.json()});
    }
    return configs;
}

} // namespace hz70::publish
