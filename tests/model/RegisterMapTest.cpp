// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/Slohz70.h"
#include "model/StatusWord.h"

#include <gtest/gtest.h>
#include <string>

namespace hz70 {
namespace {

struct Row {
    int reg;
    int type;
    std::string mnemonic;
    std::string description;
    std::string unit;
    double scale;
    double min;
    double max;
};

// The controller's documented register map, written out independently of the code under test.
const Row kExpected[] = {
    {4018, 2, "StAla", "Status alarmów", "", 1.0, 0, 0},
    {4019, 2, "Status", "Słowo statusu", "", 1.0, 0, 0},
    {4020, 4, "Trz", "Temp. mierzona ", "", 0.1, 0, 0},
    {4021, 4, "SP", "Aktualna wartość zadana", "", 0.1, 0, 0},
    {4022, 4, "Moc", "Moc wyjściowa", "%", 0.1, 0, 0},
    {4023, 4, "Prad", "Natężenie prądu odbiornika", "A", 0.1, 0, 0},
    {4024, 4, "Upływ", "Prąd upływu grzałki", "mA", 0.1, 0, 0},
    {4000, 2, "SP", "Wartość zadana", "", 1.0, 0, 537},
    {4001, 2, "SPL", "Wart. zadana dla trybu obniżonej temp.", "", 1.0, 37, 149},
    {4002, 2, "SPR", "Wartość zadana dla miękkiego startu", "", 1.0, 90, 160},
    {4003, 2, "PS", "Maks. moc podczas miękkiego startu", "%", 1.0, 5, 100},
    {4004, 2, "ADH", "Alarm względny górny od odchyłki", "", 1.0, 2, 20},
    {4005, 2, "ADL", "Alarm względny dolny od odchyłki", "", 1.0, 2, 20},
    {4006, 2, "XP", "Zakres proporcjonalności", "%", 1.0, 1, 200},
    {4007, 2, "ti", "Stała czasowa całkowania", "s", 1.0, 0, 999},
    {4008, 2, "td", "Stała czasowa różniczkowania", "s", 1.0, 0, 999},
    {4009, 2, "SEC", "Kod bezpieczeństwa", "", 1.0, 0, 999},
    {4010, 2, "DEG", "Jednostki temperatury (0-°C, 1-°F)", "", 1.0, 0, 1},
    {4011, 2, "AUA", "Strojenie algorytmu PID (0-wył, 1-zał)", "", 1.0, 0, 1},
    {4012, 2, "FL", "Algorytm Fuzzy Logic (0-wył, 1-zał)", "", 1.0, 0, 1},
    {4013, 2, "AUD", "Wyjście alarmowe (0-wył, 1-zał)", "", 1.0, 0, 1},
    {4014, 2, "RLN", "Wejścia binarne (0-wył,1-zał)", "", 1.0, 0, 1},
    {4015, 2, "TCB", "Sposób awaryjnego sterowania (0-wył, 1-śr.moc)", "", 1.0, 0, 1},
    {4016, 2, "STOP", "Przełączanie trybów stop/auto", "", 1.0, 0, 1},
};

TEST(RegisterMapTest, EveryRowMatchesTheControllerDocumentation) {
    ASSERT_EQ(RegisterMap.size(), std::size(kExpected));
    for (std::size_t i = 0; i < RegisterMap.size(); ++i) {
        const TParametr& row = RegisterMap[i];
        const Row& want = kExpected[i];
        SCOPED_TRACE("row " + std::to_string(i));
        EXPECT_EQ(row.reg, want.reg);
        EXPECT_EQ(row.type, want.type);
        EXPECT_EQ(row.flags, 0);
        EXPECT_EQ(row.mnemonic, want.mnemonic);
        EXPECT_EQ(row.description, want.description);
        EXPECT_EQ(row.unit, want.unit);
        EXPECT_EQ(row.scale, want.scale);
        EXPECT_EQ(row.offset, 0.0);
        EXPECT_EQ(row.min, want.min);
        EXPECT_EQ(row.max, want.max);
        EXPECT_EQ(row.raw, 0);
        EXPECT_EQ(row.value, 0.0);
    }
}

TEST(RegisterMapTest, NoValueMarkIsSinglePrecision1e20) {
    EXPECT_EQ(kNoValue, 1.0000000200408773e20);
    EXPECT_TRUE(IsNoValue(kNoValue));
    EXPECT_TRUE(IsNoValue(1e20));
    EXPECT_TRUE(IsNoValue(-1e20));
    EXPECT_FALSE(IsNoValue(9.9e19));
    EXPECT_FALSE(IsNoValue(-3276.8));
}

TEST(RegisterMapTest, NewRecordCopiesTheMapWithoutValues) {
    TRegulator record;
    record.failCount = 2;
    record.commError = 1;
    record.name = "old";
    InitRegulator(record);
    EXPECT_EQ(record.measuredCount, 7);
    EXPECT_EQ(record.settingsCount, 16);
    EXPECT_EQ(record.failCount, 0);
    EXPECT_EQ(record.commError, 0);
    EXPECT_EQ(record.monitoring, 0);
    EXPECT_TRUE(record.name.empty());
    EXPECT_EQ(record.measured[0].reg, 4018);
    EXPECT_EQ(record.measured[6].reg, 4024);
    for (std::size_t i = 0; i < record.settings.size(); ++i) {
        EXPECT_EQ(record.settings[i].reg, 4000 + i) << "settings index = register - 4000";
    }
    for (const TParametr& row : record.measured) {
        EXPECT_EQ(row.raw, 0);
        EXPECT_EQ(row.value, kNoValue);
    }
    for (const TParametr& row : record.settings) {
        EXPECT_EQ(row.raw, 0);
        EXPECT_EQ(row.value, kNoValue);
    }
}

// The unit follows bit 8 of the status word alone, and reaches the temperature rows only.
TEST(RegisterMapTest, StatusWordSetsTheUnitOfExactlyTheTemperatureRows) {
    struct Case {
        std::uint16_t status;
        std::int16_t fahrenheit;
        const char* measuredUnits;
        const char* settingUnits;
    };
    for (const Case& c : {
             Case{0x0000, 0, "||°C|°C|%|A|mA|", "°C|°C|°C|%|°C|°C|%|s|s|||||||||"},
             Case{0x0100, 1, "||°F|°F|%|A|mA|", "°F|°F|°F|%|°F|°F|%|s|s|||||||||"},
             Case{0xFEFF, 0, "||°C|°C|%|A|mA|", "°C|°C|°C|%|°C|°C|%|s|s|||||||||"},
         }) {
        TRegulator record;
        InitRegulator(record);
        record.fahrenheit = static_cast<std::int16_t>(1 - c.fahrenheit);
        record.measured[kStatusWord].raw = static_cast<std::int16_t>(c.status);
        ApplyTemperatureUnit(record);
        EXPECT_EQ(record.fahrenheit, c.fahrenheit) << c.status;
        std::string measuredUnits;
        for (const TParametr& row : record.measured) {
            measuredUnits += std::string(row.unit) + "|";
        }
        EXPECT_EQ(measuredUnits, c.measuredUnits) << c.status;
        std::string settingUnits;
        for (const TParametr& row : record.settings) {
            settingUnits += std::string(row.unit) + "|";
        }
        EXPECT_EQ(settingUnits, c.settingUnits) << c.status;
    }
    EXPECT_STREQ(RegisterMap[2].unit, "") << "the constant map is not redirected";
}

} // namespace
} // namespace hz70
