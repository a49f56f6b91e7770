// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/SettingInput.h"

#include <gtest/gtest.h>

namespace hz70 {
namespace {

class SettingInput : public ::testing::Test {
protected:
    TRegulator zone;
    void SetUp() override { InitRegulator(zone); }
    CheckedInput Check(const char* text, int line) {
        return CheckSettingInput(text, line, zone.settings[static_cast<std::size_t>(line)]);
    }
};

TEST_F(SettingInput, OnlyLinesWithFixedLimitsAreRangeChecked) {
    for (int line = 0; line < kSettingsBlock; ++line) {
        const bool expected = line == 3 || line >= 6;
        EXPECT_EQ(IsRangeChecked(line), expected) << line;
    }
    EXPECT_FALSE(IsRangeChecked(16));
}

// The dialog's own tests cover the typical cases; these are the edges.
TEST_F(SettingInput, LimitsAreInclusiveAndWordsDoNotWrap) {
    EXPECT_EQ(Check("4", 3).verdict, InputVerdict::kOutOfRange);
    EXPECT_EQ(Check("5", 3).verdict, InputVerdict::kAccepted);
    EXPECT_EQ(Check("0", 6).verdict, InputVerdict::kOutOfRange); // XP 1..200
    EXPECT_EQ(Check("999", 7).verdict, InputVerdict::kAccepted);
    EXPECT_EQ(Check("1000", 7).verdict, InputVerdict::kOutOfRange);
    EXPECT_EQ(Check("65535", 15).verdict, InputVerdict::kOutOfRange); // not read as -1
    EXPECT_EQ(Check("65535", 1).word, 65535);                         // SPL: the controller decides
    EXPECT_EQ(Check("65536", 0).verdict, InputVerdict::kOutOfRange);
    EXPECT_EQ(Check("99999999999999999999999", 0).verdict, InputVerdict::kOutOfRange);
    EXPECT_EQ(Check("-0", 0).word, 0);
}

TEST_F(SettingInput, OnlyDecimalIntegersAreNumbers) {
    for (const char* text : {"", " ", "abc", "12a", "1.5", "1,5", "+", "-", "0x10", "1 2", "--1"}) {
        EXPECT_EQ(Check(text, 0).verdict, InputVerdict::kNotANumber) << text;
    }
    EXPECT_EQ(Check(" 42 ", 0).word, 42);
    EXPECT_EQ(Check("+42", 0).word, 42);
    EXPECT_EQ(Check("007", 0).word, 7);
}

} // namespace
} // namespace hz70
