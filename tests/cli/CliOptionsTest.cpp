// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70cli/CliOptions.h"

#include <gtest/gtest.h>

namespace hz70::cli {
namespace {

TEST(CliOptions, RatesFramingsBrokerOptionsVersionAndUnknownOptions) {
    struct Case {
        std::vector<std::string> args;
        std::string error; // empty: parsed
        int baud = 5;
        int mode = 0;
    };
    for (const Case& c : {
             Case{{"--baud", "9600", "identify"}, "", 5, 0},
             Case{{"--baud", "9", "--mode", "6", "identify"}, "", 9, 6},
             Case{{"--baud", "115200", "--mode", "rtu-8e1", "identify"}, "", 9, 4},
             Case{{"--mode", "ASCII-7O1", "identify"}, "", 5, 2},
             Case{{"--version"}, "", 5, 0},
             Case{{"--baud", "14400", "identify"},
                  "bad value for --baud: 14400 (a rate from 300 to 115200 bit/s or its index 0..9)"},
             Case{{"--mode", "rtu", "identify"},
                  "bad value for --mode: rtu (ascii-8n1 ascii-7e1 ascii-7o1 rtu-8n2 rtu-8e1 rtu-8o1 rtu-8n1 "
                  "or 0..6)"},
             Case{{"--colour", "red", "identify"}, "unknown option --colour"},
             Case{{"identify", "--verbose"}, "unknown option --verbose"},
             Case{{"--baud"}, "option --baud needs a value"},
             Case{{"--mqtt", "mqtts://gw@broker", "--mqtt-ca", "ca.pem", "--ha-discovery", "gateway", "1"},
                  ""},
             Case{{"--system", "press/3", "gateway"},
                  "bad value for --system: press/3 (a name without '/', '+' or '#')"},
             Case{{"--mqtt-ca", "ca.pem", "gateway"},
                  "--mqtt-ca, --mqtt-cert and --mqtt-key need an mqtts:// broker"},
             Case{{"--mqtt", "mqtts://broker", "--mqtt-cert", "gw.pem", "gateway"},
                  "--mqtt-cert and --mqtt-key go together"},
             Case{{"--commands", "--audit", "/var/lib/hz70/commands.csv", "gateway", "1"}, ""},
             Case{{"--audit", "commands.csv", "gateway"},
                  "--audit logs the commands of --commands, which is not given"},
             Case{{"settings", "load", "set.txt", "1", "3", "--yes"}, ""},
             Case{{"settings", "copy", "1", "2", "3", "4", "5", "6", "7", "8", "--yes"}, ""},
             Case{{"settings", "copy", "1", "2", "3", "4", "5", "6", "7", "8", "9"},
                  "settings copy takes at most 8 zones"},
             Case{{"settings", "copy", "1"}, "settings copy needs FROM and at least one TO address (1..247)"},
             Case{{"settings", "diff"}, "settings diff needs a FILE"},
             Case{{"settings", "diff", "set.txt", "0"}, "not an address (1..247): 0"},
             Case{{"settings", "save", "set.txt", "--yes"}, "--yes is for settings load and copy"},
             Case{{"settings", "restore", "set.txt"}, "settings needs save, diff, load or copy"},
         }) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const auto parsed = ParseCliOptions(c.args);
        if (!c.error.empty()) {
            ASSERT_TRUE(std::holds_alternative<std::string>(parsed));
            EXPECT_EQ(std::get<std::string>(parsed), c.error);
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<CliOptions>(parsed)) << std::get<std::string>(parsed);
        const CliOptions& options = std::get<CliOptions>(parsed);
        EXPECT_EQ(options.settings.Baud, c.baud);
        EXPECT_EQ(options.settings.Mode, c.mode);
        EXPECT_EQ(options.version, c.args.front() == "--version");
    }
}

} // namespace
} // namespace hz70::cli
