// SPDX-License-Identifier: GPL-3.0-or-later
#include "comm/LinkNames.h"

#include <gtest/gtest.h>

namespace hz70 {
namespace {

TEST(LinkNames, ModesAndRatesAreTakenByIndexOrByName) {
    struct Case {
        std::string_view text;
        std::optional<int> mode;
        std::optional<int> baud;
    };
    for (const Case& c : {
             Case{"0", 0, 0},
             Case{"6", 6, 6},
             Case{"9", std::nullopt, 9},
             Case{"ascii-8n1", 0, std::nullopt},
             Case{"RTU-8E1", 4, std::nullopt},
             Case{"rtu-8n1", 6, std::nullopt},
             Case{"9600", std::nullopt, 5},
             Case{"115200", std::nullopt, 9},
             Case{"300", std::nullopt, 0},
             Case{"14400", std::nullopt, std::nullopt},
             Case{"-1", std::nullopt, std::nullopt},
             Case{"rtu", std::nullopt, std::nullopt},
             Case{"5 ", std::nullopt, std::nullopt},
             Case{"", std::nullopt, std::nullopt},
         }) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ModeIndexFromText(c.text), c.mode);
        EXPECT_EQ(BaudIndexFromText(c.text), c.baud);
    }
}

} // namespace
} // namespace hz70
