// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/ZoneMessages.h"

#include "model/StatusWord.h"
#include "publish/CommandMessages.h"

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <string>

namespace hz70::publish {
namespace {

using namespace std::chrono;

struct Reading {
    double temperature, setpoint, power, current, leakage;
};

TRegulator Zone(int number, const std::string& name, Reading reading, std::uint16_t alarms,
                std::uint16_t status, bool commError) {
    TRegulator zone;
    InitRegulator(zone);
    zone.zoneNumber = static_cast<std::int16_t>(number);
    zone.address = static_cast<std::int16_t>(number + 9);
    zone.name = name;
    zone.commError = commError ? 1 : 0;
    zone.measured[kAlarmWord].raw = static_cast<std::int16_t>(alarms);
    zone.measured[kStatusWord].raw = static_cast<std::int16_t>(status);
    zone.measured[kMeasuredTemperature].value = reading.temperature;
    zone.measured[kCurrentSetpoint].value = reading.setpoint;
    zone.measured[kOutputPower].value = reading.power;
    zone.measured[kLoadCurrent].value = reading.current;
    zone.measured[kLeakageCurrent].value = reading.leakage;
    ApplyTemperatureUnit(zone);
    return zone;
}

// Time zones and a locale whose decimal separator is a comma, restored afterwards.
class Messages : public testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        savedTz_ = tz ? tz : "";
        hadTz_ = tz != nullptr;
        savedLocale_ = std::setlocale(LC_ALL, nullptr);
        commaLocale_ = std::setlocale(LC_ALL, "pl_PL.UTF-8") != nullptr;
    }
    void TearDown() override {
        std::setlocale(LC_ALL, savedLocale_.c_str());
        hadTz_ ? ::setenv("TZ", savedTz_.c_str(), 1) : ::unsetenv("TZ");
        ::tzset();
    }
    static void UseTimeZone(const char* tz) {
        ::setenv("TZ", tz, 1);
        ::tzset();
    }

    bool commaLocale_ = false;

private:
    std::string savedTz_, savedLocale_;
    bool hadTz_ = false;
};

TEST_F(Messages, StateIsValidJsonWithEveryValueScaledOrNull) {
    EXPECT_TRUE(commaLocale_) << "pl_PL.UTF-8 is missing: the comma locale goes untested";
    struct Case {
        const char* tz;
        sys_time<milliseconds> when;
        TRegulator zone;
        const char* json;
    };
    const auto december = sys_days{2026y / December / 9} + 17h + 40min + 1s + 123ms;
    const auto july = sys_days{2026y / July / 1} + 22h + 5min + 7ms;
    const Case cases[] = {
        {"Europe/Warsaw", december,
         Zone(3, "Prasa \"A\" żółć", {215.3, 220.0, 45.5, 12.3, 0.4}, 0x0088, kAutomaticBit | kSoftStartBit,
              false),
         R"({"time":"2026-12-09T18:40:01.123+01:00","zone":3,"address":12,"name":"Prasa \"A\" żółć",)"
         R"("temperature":215.3,"setpoint":220.0,"power":45.5,"current":12.3,"leakage":0.4,"unit":"°C",)"
         R"("alarms":["temperature-high","leakage"],"mode":"auto","flags":["soft-start"],"comm_error":false,)"
         R"("alarm_word":136,"status_word":17})"},
        // A sensor fault leaves a number in the temperature word that is no reading.
        {"Europe/Warsaw", july,
         Zone(8, "Dysza\t2\xff", {-3276.8, kNoValue, kNoValue, 0.0, kNoValue}, 0x0002,
              kManualBit | kFahrenheitBit, true),
         R"({"time":"2026-07-02T00:05:00.007+02:00","zone":8,"address":17,"name":"Dysza\t2�",)"
         R"("temperature":null,"setpoint":null,"power":null,"current":0.0,"leakage":null,"unit":"°F",)"
         R"("alarms":["sensor-open"],"mode":"manual","flags":[],"comm_error":true,)"
         R"("alarm_word":2,"status_word":258})"},
        {"America/Sao_Paulo", december, Zone(1, "", {-12.5, 0.0, 100.0, 1.5, 2.5}, 0, kRelayOutputBit, false),
         R"({"time":"2026-12-09T14:40:01.123-03:00","zone":1,"address":10,"name":"",)"
         R"("temperature":-12.5,"setpoint":0.0,"power":100.0,"current":1.5,"leakage":2.5,"unit":"°C",)"
         R"("alarms":[],"mode":"stop","flags":["relay-output"],"comm_error":false,)"
         R"("alarm_word":0,"status_word":128})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        UseTimeZone(c.tz);
        EXPECT_EQ(ZoneStateJson(c.zone, c.when), c.json);
    }
}

TEST_F(Messages, SettingsAndDiscoveryNameEveryValueWithItsUnit) {
    UseTimeZone("UTC");
    TRegulator zone =
        Zone(2, "Głowica", {200.0, 210.0, 10.0, 1.0, 0.1}, 0, kAutomaticBit | kFahrenheitBit, false);
    zone.settings[0].value = 200;
    zone.settings[6].value = 12;
    const std::string settings = ZoneSettingsJson(zone, sys_days{2026y / December / 9});
    EXPECT_EQ(
        settings.substr(0, 98),
        R"({"time":"2026-12-09T00:00:00.000+00:00","zone":2,"address":11,"name":"Głowica","settings":{"SP":{)");
    EXPECT_NE(settings.find(R"("SP":{"value":200,"unit":"°F","description":"Wartość zadana"})"),
              std::string::npos);
    EXPECT_NE(settings.find(R"("XP":{"value":12,"unit":"%","description":"Zakres proporcjonalności"})"),
              std::string::npos);
    EXPECT_NE(
        settings.find(R"("STOP":{"value":null,"unit":"","description":"Przełączanie trybów stop/auto"}}})"),
        std::string::npos);

    const auto configs = DiscoveryConfigs(zone, "press 3", "hz70/press 3");
    ASSERT_EQ(configs.size(), 5U);
    EXPECT_EQ(configs[0].topic, "homeassistant/sensor/hz70_press_3_zone2_temperature/config");
    EXPECT_EQ(
        configs[0].payload,
        R"({"name":"Głowica temperatura","unique_id":"hz70_press_3_zone2_temperature",)"
        R"("object_id":"hz70_press_3_zone2_temperature","state_topic":"hz70/press 3/zone/2/state",)"
        R"("value_template":"{{ value_json.temperature }}","unit_of_measurement":"°F",)"
        R"("device_class":"temperature","state_class":"measurement","availability_topic":"hz70/press 3/status",)"
        R"("device":{"identifiers":["hz70_press_3"],"name":"HS70 press 3","model":"HZ70"}})");
    EXPECT_EQ(configs[2].payload.find("device_class"), std::string::npos)
        << "output power is a share, not watts";
    EXPECT_NE(configs[4].payload.find(R"("unit_of_measurement":"mA","device_class":"current")"),
              std::string::npos);
}

// A result says what was asked, byte for byte as valid JSON, and where it goes: never to a topic made
// from a wildcard or from anything but a set topic under a zone.
TEST_F(Messages, CommandResultQuotesTheRequestAndGoesToTheZonesResultTopic) {
    UseTimeZone("UTC");
    const auto when = sys_days{2026y / December / 9} + 18h;
    IncomingCommand binary{
        "hz70/p/zone/2/set/SP", std::string("1\x00\xff\"", 4), false, "\x01id", "", "", {}};
    CommandResult refused;
    refused.reason = "nie jest liczbą całkowitą";
    refused.zone = 2;
    refused.setting = "SP";
    refused.before = 200;
    refused.unit = "°C";
    refused.when = when;
    EXPECT_EQ(
        CommandResultJson(binary, refused),
        R"({"request":{"topic":"hz70/p/zone/2/set/SP","payload":"1\u0000�\"","correlation":"\u0001id"},)"
        R"("ok":false,"reason":"nie jest liczbą całkowitą","zone":2,"setting":"SP","before":200,)"
        R"("requested":null,"read_back":null,"unit":"°C","time":"2026-12-09T18:00:00.000+00:00"})");
    CommandResult written{2, "SP", true, "", 200, 180, 180, "°C", when};
    EXPECT_NE(CommandResultJson(binary, written)
                  .find(R"("ok":true,"zone":2,"setting":"SP","before":200,)"
                        R"("requested":180,"read_back":180,)"),
              std::string::npos);
    CommandResult stopped{2, "mode", true, "", kModeAuto, kModeStop, kModeStop, "", when};
    EXPECT_NE(
        CommandResultJson(binary, stopped).find(R"("before":"auto","requested":"stop","read_back":"stop",)"),
        std::string::npos);

    const std::pair<const char*, const char*> topics[] = {
        {"hz70/p/zone/2/set/SP", "hz70/p/zone/2/result"},
        {"hz70/p/zone/x9/set/mode", "hz70/p/zone/x9/result"},
        {"hz70/p/zone/+/set/SP", ""},
        {"hz70/p/zone/2/set/#", ""},
        {"hz70/p/zone/2/set/SP/more", ""},
        {"hz70/p/zone//set/SP", ""},
        {"hz70/p/zonal/2/set/SP", ""},
        {"hz70/p/zone/2/get/SP", ""},
    };
    for (const auto& [topic, result] : topics) {
        EXPECT_EQ(ResultTopic(topic), result) << topic;
    }
}

} // namespace
} // namespace hz70::publish
