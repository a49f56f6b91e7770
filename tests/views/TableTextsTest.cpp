// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/core/TableTexts.h"

#include <gtest/gtest.h>

namespace hz70 {
namespace {

TRegulator PolledZone(std::uint16_t alarms, std::uint16_t status) {
    TRegulator record;
    InitRegulator(record);
    record.measured[kAlarmWord].raw = static_cast<std::int16_t>(alarms);
    record.measured[kStatusWord].raw = static_cast<std::int16_t>(status);
    return record;
}

// Grid row r of a zone column.
const std::string& Row(const MeasuredCells& cells, int row) {
    return cells.at(static_cast<std::size_t>(row - 1));
}

TEST(TableTexts, AlarmWordShowsItsNumberAndExactlyItsBitRows) {
    const MeasuredCells cells = MeasuredColumn(PolledZone(0x0081, 0));
    EXPECT_EQ(Row(cells, 6), " 129");
    for (int row = 7; row <= 16; ++row) {
        EXPECT_EQ(Row(cells, row), row == 7 || row == 14 ? "  1" : "  0") << "row " << row;
    }
}

TEST(TableTexts, WordsAreSignedAndBitsWithoutARowAreNotShown) {
    const MeasuredCells alarms = MeasuredColumn(PolledZone(0x8000, 0));
    EXPECT_EQ(Row(alarms, 6), "-32768");
    for (int row = 7; row <= 16; ++row) {
        EXPECT_EQ(Row(alarms, row), "  0") << "row " << row;
    }

    const MeasuredCells status = MeasuredColumn(PolledZone(0, 0x0101));
    EXPECT_EQ(Row(status, 17), " 257");
    EXPECT_EQ(Row(status, 18), "  1");
    for (int row = 19; row <= 25; ++row) {
        EXPECT_EQ(Row(status, row), "  0") << "row " << row;
    }
    // Bit 7 is the last status row; bit 8 (the unit) is not a table row.
    EXPECT_EQ(Row(MeasuredColumn(PolledZone(0, 0x0080)), 25), "  1");
}

TEST(TableTexts, ValuesCarryTheirUnitsAndMissingOnesShowDashes) {
    TRegulator record = PolledZone(0, 0);
    SetTemperatureUnit(record, "°C");
    record.measured[kMeasuredTemperature].value = 23.4;
    record.measured[kCurrentSetpoint].value = 1234.5;
    record.measured[kOutputPower].value = -5.0;
    record.measured[kLoadCurrent].value = -kNoValue;
    const MeasuredCells cells = MeasuredColumn(record);
    EXPECT_EQ(Row(cells, 1), " 23.4 °C");
    EXPECT_EQ(Row(cells, 2), "1234.5 °C");
    EXPECT_EQ(Row(cells, 3), " -5.0 %");
    EXPECT_EQ(Row(cells, 4), "----");
    EXPECT_EQ(Row(cells, 5), "----"); // a new record has no value yet

    record.measured[kLeakageCurrent].value = 1.2;
    EXPECT_EQ(Row(MeasuredColumn(record), 5), "  1.2 mA");
    // Before the zone panel has decided the unit, a temperature has none.
    TRegulator unitless = PolledZone(0, 0);
    unitless.measured[kMeasuredTemperature].value = 20.0;
    EXPECT_EQ(Row(MeasuredColumn(unitless), 1), " 20.0 ");
}

TEST(TableTexts, AZoneWithoutTransmissionShowsDashesForTheWordsButKeepsItsValues) {
    TRegulator record = PolledZone(0x0081, 0x0101);
    record.measured[kLoadCurrent].value = 2.5;
    record.commError = 1;
    const MeasuredCells cells = MeasuredColumn(record);
    EXPECT_EQ(Row(cells, 4), "  2.5 A");
    for (int row = 6; row <= 25; ++row) {
        EXPECT_EQ(Row(cells, row), "----") << "row " << row;
    }
}

TEST(TableTexts, RowNamesOfBothGrids) {
    const auto& measured = MeasuredRowNames();
    EXPECT_STREQ(measured[0], "Nazwa parametru");
    EXPECT_STREQ(measured[5], "Prąd upływu grzałki");
    EXPECT_STREQ(measured[14], "   - przekrocz. prądu upływu grzałki");
    EXPECT_STREQ(measured[18], "   - 0-tryb obniżonej temp, 1-tryb reg.auto");
    EXPECT_STREQ(measured[25], "   - wyjście przekaźnikowe zwarte");

    const auto settings = SettingsRowNames();
    EXPECT_EQ(settings[0], "Nazwa parametru");
    EXPECT_EQ(settings[1], "Wartość zadana");
    EXPECT_EQ(settings[10], "Kod bezpieczeństwa");
    EXPECT_EQ(settings[16], "Sposób awaryjnego sterowania (0-wył, 1-śr.moc)");
}

TEST(TableTexts, NumericSettingsAreUnsignedWithTheirUnit) {
    TRegulator record = PolledZone(0, 0);
    SetTemperatureUnit(record, "°C");
    record.settings[0].raw = 200;
    record.settings[3].raw = 50;
    record.settings[7].raw = static_cast<std::int16_t>(0xFFF6);
    record.settings[9].raw = 123;
    const SettingsCells cells = SettingsColumn(record);
    EXPECT_EQ(cells[0], " 200 °C");
    EXPECT_EQ(cells[3], "  50 %");
    EXPECT_EQ(cells[7], "65526 s");
    EXPECT_EQ(cells[9], " 123 "); // SEC has no unit
}

TEST(TableTexts, SwitchSettingsInWords) {
    TRegulator record = PolledZone(0, 0);
    const auto texts = [&record](std::int16_t value) {
        for (int setting = 10; setting < 16; ++setting) {
            record.settings[static_cast<std::size_t>(setting)].raw = value;
        }
        const SettingsCells cells = SettingsColumn(record);
        return std::vector<std::string>(cells.begin() + 10, cells.end());
    };
    EXPECT_EQ(texts(0), (std::vector<std::string>{"°C", "wyłączone", "wyłączony", "wyłączone", "wyłączone",
                                                  "wyłączyć wyjścia"}));
    // Any non-zero word counts as on.
    EXPECT_EQ(texts(2), (std::vector<std::string>{"°F", "załączone", "załączony", "załączone", "załączone",
                                                  "ustawić średnią moc"}));
}

TEST(TableTexts, ReadFailureNamesTheZone) {
    EXPECT_EQ(SettingsReadFailedText(2), "Błąd dczytu nastaw regulatora w strefie nr 2");
}

} // namespace
} // namespace hz70
