// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/core/ZonePanelState.h"
#include "views/core/ZoneParameters.h"

#include <gtest/gtest.h>

namespace hz70 {
namespace {

class ParamDialogRules : public ::testing::Test {
protected:
    TRegulator zone;
    void SetUp() override {
        InitRegulator(zone);
        zone.name = "STREFA  1";
        SetTemperatureUnit(zone, kCelsiusUnit);
    }
    CheckedInput Check(const char* text, int line) {
        return CheckSettingInput(text, line, zone.settings[static_cast<std::size_t>(line)]);
    }
};

TEST_F(ParamDialogRules, LinesShowDescriptionTabValueAndUnit) {
    zone.settings[0].raw = 200;
    EXPECT_EQ(SettingLine(zone.settings[0]), "Wartość zadana \t 200 °C");
    zone.settings[3].raw = 5;
    EXPECT_EQ(SettingLine(zone.settings[3]), "Maks. moc podczas miękkiego startu \t 5   %");
    zone.settings[9].raw = static_cast<std::int16_t>(0xFFFF); // the word is unsigned
    EXPECT_EQ(SettingLine(zone.settings[9]), "Kod bezpieczeństwa \t 65535 ");
    EXPECT_EQ(SettingNameLine(zone.settings[10]), "Jednostki temperatury (0-°C, 1-°F) ");
    EXPECT_EQ(SettingValueText(zone.settings[9]), "65535");
    EXPECT_EQ(ParametersCaption(zone), "Parametry w strefie: STREFA  1");
}

TEST_F(ParamDialogRules, OnlyLinesWithFixedLimitsAreRangeChecked) {
    for (int line = 0; line < kSettingsBlock; ++line) {
        const bool expected = line == 3 || line >= 6;
        EXPECT_EQ(IsRangeChecked(line), expected) << line;
    }
    EXPECT_FALSE(IsRangeChecked(16));
}

TEST_F(ParamDialogRules, NumbersOutsideTheLimitsOfACheckedLineAreRefused) {
    EXPECT_EQ(Check("101", 3).verdict, InputVerdict::kOutOfRange);
    EXPECT_EQ(Check("4", 3).verdict, InputVerdict::kOutOfRange);
    const CheckedInput hundred = Check("100", 3);
    EXPECT_EQ(hundred.verdict, InputVerdict::kAccepted);
    EXPECT_EQ(hundred.word, 100);
    EXPECT_EQ(Check("2", 10).verdict, InputVerdict::kOutOfRange);
    EXPECT_EQ(Check("1", 10).word, 1);
    EXPECT_EQ(Check("0", 6).verdict, InputVerdict::kOutOfRange); // XP 1..200
    EXPECT_EQ(Check("999", 7).verdict, InputVerdict::kAccepted);
    EXPECT_EQ(Check("1000", 7).verdict, InputVerdict::kOutOfRange);
    EXPECT_EQ(Check("65535", 15).verdict, InputVerdict::kOutOfRange); // no wrap to a negative word
}

TEST_F(ParamDialogRules, UnitDependentLinesAreLeftToTheController) {
    const CheckedInput sp = Check("600", 0); // above the Celsius limit, a Fahrenheit setpoint
    EXPECT_EQ(sp.verdict, InputVerdict::kAccepted);
    EXPECT_EQ(sp.word, 600);
    EXPECT_EQ(Check("1", 4).verdict, InputVerdict::kAccepted);
    EXPECT_EQ(Check("65535", 1).word, 65535);
}

TEST_F(ParamDialogRules, NumbersThatDoNotFitAWordAreRefusedNotCut) {
    EXPECT_EQ(Check("70000", 0).verdict, InputVerdict::kOutOfRange);
    EXPECT_EQ(Check("65736", 0).verdict, InputVerdict::kOutOfRange);
    EXPECT_EQ(Check("65536", 0).verdict, InputVerdict::kOutOfRange);
    EXPECT_EQ(Check("-1", 0).verdict, InputVerdict::kOutOfRange);
    EXPECT_EQ(Check("99999999999999999999999", 0).verdict, InputVerdict::kOutOfRange);
    EXPECT_EQ(Check("-0", 0).word, 0);
}

TEST_F(ParamDialogRules, OnlyDecimalIntegersAreNumbers) {
    for (const char* text : {"", " ", "abc", "12a", "1.5", "1,5", "+", "-", "0x10", "1 2", "--1"}) {
        EXPECT_EQ(Check(text, 0).verdict, InputVerdict::kNotANumber) << text;
    }
    EXPECT_EQ(Check(" 42 ", 0).word, 42);
    EXPECT_EQ(Check("+42", 0).word, 42);
    EXPECT_EQ(Check("007", 0).word, 7);
}

TEST_F(ParamDialogRules, WriteResultsBecomeStatusTexts) {
    const WriteOutcome written = DescribeWrite(6, 0);
    EXPECT_TRUE(written.written);
    EXPECT_STREQ(written.status, "");
    const WriteOutcome illegalValue = DescribeWrite(134, 3);
    EXPECT_FALSE(illegalValue.written);
    EXPECT_STREQ(illegalValue.status, "Wartość poza zakresem");
    EXPECT_TRUE(illegalValue.focusInput);
    EXPECT_STREQ(DescribeWrite(134, 2).status, "Błąd");
    EXPECT_FALSE(DescribeWrite(134, 2).focusInput);
    for (const int result : {2, -1, -2, 3, 131}) {
        EXPECT_STREQ(DescribeWrite(result, 3).status, "Błąd zapisu") << result;
    }
}

} // namespace
} // namespace hz70
