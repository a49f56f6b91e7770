// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70cli/LinkCommands.h"

#include <gtest/gtest.h>

namespace hz70::cli {
namespace {

TEST(ReplyTexts, ReadLinesAddTheMapsNameScaledValueAndUnitAfterTheRawColumns) {
    struct Case {
        std::uint16_t reg;
        std::uint16_t word;
        std::optional<bool> fahrenheit;
        const char* line;
    };
    for (const Case& c : {
             Case{4020, 0x00F2, std::nullopt, "4020 242 242 0x00F2 Trz 24.2 °C/°F"},
             // Measured words are signed, settings unsigned.
             Case{4020, 0xFFF6, false, "4020 65526 -10 0xFFF6 Trz -1.0 °C"},
             Case{4000, 0xFFF6, true, "4000 65526 -10 0xFFF6 SP 65526 °F"},
             Case{4021, 2000, true, "4021 2000 2000 0x07D0 SP 200.0 °F"},
             Case{4024, 7, false, "4024 7 7 0x0007 Upływ 0.7 mA"},
             Case{4003, 30, false, "4003 30 30 0x001E PS 30 %"},
             Case{4009, 5, false, "4009 5 5 0x0005 SEC 5"},
             // The alarm and status words are bit fields; 4017 is not in the map.
             Case{4018, 0x0100, false, "4018 256 256 0x0100 StAla"},
             Case{4017, 1, false, "4017 1 1 0x0001"},
         }) {
        EXPECT_EQ(FormatRegisterLine(c.reg, c.word, c.fahrenheit), c.line);
    }
}

TEST(ReplyTexts, ExceptionsCarryTheirModbusMeaning) {
    EXPECT_EQ(DescribeException(1), "exception 1 (illegal function)");
    EXPECT_EQ(DescribeException(2), "exception 2 (illegal data address)");
    EXPECT_EQ(DescribeException(3), "exception 3 (illegal data value)");
    EXPECT_EQ(DescribeException(4), "exception 4 (server device failure)");
    EXPECT_EQ(DescribeException(11), "exception 11 (gateway target device failed to respond)");
    EXPECT_EQ(DescribeException(0), "exception 0");
    EXPECT_EQ(DescribeException(7), "exception 7");
    EXPECT_EQ(DescribeException(12), "exception 12");
}

} // namespace
} // namespace hz70::cli
