// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/core/TableTexts.h"

#include <clocale>
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

// Rows 6..16: the alarm word and its bits 0..9; rows 17..25: the status word and its bits 0..7.
std::string BitRows(const MeasuredCells& cells, int first, int last) {
    std::string bits;
    for (int row = first; row <= last; ++row) {
        bits += Row(cells, row) == "  1" ? '1' : Row(cells, row) == "  0" ? '0' : '?';
    }
    return bits;
}

TEST(TableTexts, WordsAreSignedNumbersAndOnlyBitsWithARowShow) {
    const MeasuredCells alarms = MeasuredColumn(PolledZone(0x0081, 0));
    EXPECT_EQ(Row(alarms, 6), " 129");
    EXPECT_EQ(BitRows(alarms, 7, 16), "1000000100");

    const MeasuredCells high = MeasuredColumn(PolledZone(0x8000, 0x0080));
    EXPECT_EQ(Row(high, 6), "-32768");
    EXPECT_EQ(BitRows(high, 7, 16), "0000000000");
    EXPECT_EQ(BitRows(high, 18, 25), "00000001");

    const MeasuredCells status = MeasuredColumn(PolledZone(0, 0x0101));
    EXPECT_EQ(Row(status, 17), " 257");
    EXPECT_EQ(BitRows(status, 18, 25), "10000000");
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

    // Before the zone panel has decided the unit, a temperature has none.
    TRegulator unitless = PolledZone(0, 0);
    unitless.measured[kMeasuredTemperature].value = 20.0;
    EXPECT_EQ(Row(MeasuredColumn(unitless), 1), " 20.0 ");
}

// The windowing toolkit sets LC_NUMERIC from the desktop's language; a Polish one uses a decimal comma.
TEST(TableTexts, NumbersHaveADecimalPointWhateverTheLocale) {
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "pl_PL.UTF-8") == nullptr) {
        GTEST_SKIP() << "no pl_PL.UTF-8 locale (scripts/setup.sh makes it)";
    }
    TRegulator record = PolledZone(0, 0);
    record.measured[kMeasuredTemperature].value = 47.6;
    const std::string text = Row(MeasuredColumn(record), 1);
    std::setlocale(LC_NUMERIC, before.c_str());
    EXPECT_EQ(text, " 47.6 ");
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

// The settings sets' list in Polish, in the words the broker's commands use for the same faults.
TEST(TableTexts, SettingsSetLinesInPolish) {
    TRegulator zone = PolledZone(0, 0);
    zone.zoneNumber = 2;
    zone.address = 5;
    zone.name = "Piec";
    const auto written = [](WriteVerdict verdict, WriteReason reason) {
        SettingWriteResult result{0, 900, verdict, reason};
        result.exception = 3;
        result.held = 150;
        result.min = 0;
        result.max = 537;
        return result;
    };
    SettingWriteResult silent = written(WriteVerdict::kNoAnswer, WriteReason::kNoAnswer);
    silent.skipped = 4;
    const std::string title = "Strefa 2 (adres 5, Piec): ";
    ZoneSettings fileZoneThree;
    fileZoneThree.zone = 3;
    const struct {
        std::string text;
        std::string expected;
    } cases[] = {
        {RefusalText({7, 1, SetFault::kOutOfRange, "SP", "900", 0, 0, 0, 537}),
         "Wiersz 7: SP: 900 poza zakresem 0..537"},
        {RefusalText({3, 0, SetFault::kNotUnderstood, "", "bogus"}),
         "Wiersz 3: niezrozumiały wiersz przed pierwszą strefą: bogus"},
        {RefusalText({1, 0, SetFault::kNotAZone, "", "9"}), "Wiersz 1: brak strefy „9” (są 1..8)"},
        {RefusalText({2, 0, SetFault::kZoneGivenTwice, "", "", 1}), "Wiersz 2: strefa 1 podana dwa razy"},
        {RefusalText({2, 1, SetFault::kNotAnAddress, "", "300"}),
         "Wiersz 2: nieprawidłowy adres „300” (1..247)"},
        {RefusalText({5, 2, SetFault::kAddressShared, "", "", 5, 1}), "Wiersz 5: adres 5 ma już strefa 1"},
        {RefusalText({4, 1, SetFault::kUnknownSetting, "STOP", ""}), "Wiersz 4: nieznane ustawienie „STOP”"},
        {RefusalText({5, 1, SetFault::kSettingGivenTwice, "XP", ""}), "Wiersz 5: XP podane dwa razy"},
        {RefusalText({4, 1, SetFault::kNotAWholeNumber, "ti", "1.5"}),
         "Wiersz 4: ti: 1.5 nie jest liczbą całkowitą"},
        {PairingRefusalText(zone, {nullptr, PairingFault::kNoSuchZone}), "w pliku brak strefy 2"},
        {PairingRefusalText(zone, {nullptr, PairingFault::kNoZoneAtAddress}),
         "w pliku brak strefy o adresie 5"},
        {PairingRefusalText(zone, {nullptr, PairingFault::kOtherAddress, 6}), "w pliku strefa 2 ma adres 6"},
        {PairedByAddressText(fileZoneThree), "porównano ze strefą 3 z pliku, o tym samym adresie"},
        {WriteResultText(zone, written(WriteVerdict::kWritten, WriteReason::kNone)),
         title + "SP 900: zapisano"},
        {WriteResultText(zone, written(WriteVerdict::kRefused, WriteReason::kOutOfRange)),
         title + "SP 900: odmowa (poza zakresem 0..537)"},
        {WriteResultText(zone, written(WriteVerdict::kRefused, WriteReason::kException)),
         title + "SP 900: odmowa (wyjątek Modbus 3 (illegal data value))"},
        {WriteResultText(zone, written(WriteVerdict::kRefused, WriteReason::kHeldOther)),
         title + "SP 900: odmowa (regulator ma inną wartość: 150)"},
        {WriteResultText(zone, written(WriteVerdict::kNoAnswer, WriteReason::kNoAnswer)),
         title + "SP 900: brak odpowiedzi"},
        {WriteResultText(zone, written(WriteVerdict::kNoAnswer, WriteReason::kNotReadBack)),
         title + "SP 900: brak odpowiedzi (zapisano, lecz odczyt nie powiódł się)"},
        {WriteResultText(zone, silent),
         title + "SP 900: brak odpowiedzi — pozostałe nastawy strefy pominięte"},
        {WriteResultText(zone, written(WriteVerdict::kLeftOut, WriteReason::kSecurityCode)),
         title + "SP 900: pominięto (kod zabezpieczenia zmienia się tylko w oknie parametrów)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.text, c.expected);
    }
}

} // namespace
} // namespace hz70
