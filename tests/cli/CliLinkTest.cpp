// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70cli/CliLink.h"

#include "support/LoopbackPort.h"

#include <gtest/gtest.h>

namespace hz70::cli {
namespace {

// The link's "COMn" goes to the device --port names; a converter's name is told apart from a device
// path, and a malformed one is refused with the reason before any open.
TEST(CliLink, APortNameLeadsToItsKindOfDevice) {
    const test::LoopbackPort converter; // bound, not listening: connections are refused
    ASSERT_TRUE(converter.ok());
    struct Case {
        std::string name;
        std::string report; // what DescribePort says; empty: nothing
        bool found;
        std::string openError;
    };
    for (const Case& c : {
             Case{converter.name(), "", true, converter.name() + ": Connection refused"},
             Case{"tcp:127.0.0.1:70000", "tcp:127.0.0.1:70000: the port must be a number 1..65535", false,
                  "tcp:127.0.0.1:70000: the port must be a number 1..65535"},
             Case{"./no-such-device", "", true, "./no-such-device: No such file or directory"},
         }) {
        SCOPED_TRACE(c.name);
        const PortReport report = DescribePort(c.name);
        EXPECT_EQ(report.text, c.report);
        EXPECT_EQ(report.found, c.found);
        PortDevice device(c.name);
        EXPECT_FALSE(device.port().Open("COM1"));
        EXPECT_EQ(device.lastError(), c.openError);
    }
}

} // namespace
} // namespace hz70::cli
