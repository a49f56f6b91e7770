// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/PortReconnect.h"

#include "support/FakeClock.h"
#include "support/FakeSerialPort.h"

#include <gtest/gtest.h>

namespace hz70 {
namespace {

using State = PortCondition::State;
using test::FakeClock;
using test::FakeSerialPort;

class PortReconnectTest : public ::testing::Test {
protected:
    FakeClock clock{1'000'000, 1};
    FakeSerialPort port;
    TTrans trans{port, clock};
    PortReconnect reconnect{trans, port, clock};

    // Poll timer ticks, 100 ms apart; returns how many times the port was opened meanwhile.
    int OpensDuring(int ticks) {
        const int before = port.CallCount("Open");
        for (int i = 0; i < ticks; ++i) {
            reconnect.Tick();
            clock.Advance(100);
        }
        return port.CallCount("Open") - before;
    }

    void Plug(const std::string& device) {
        port.openSucceeds = true;
        port.condition = {State::Open, device, "", ""};
    }
};

TEST_F(PortReconnectTest, WaitsOnlyForAMissingOrLostDeviceAndRetriesEveryTwoSeconds) {
    struct Case {
        const char* what;
        bool wasOpen;
        State condition;
        int opensIn5s;
        ReconnectState state;
    };
    for (const Case& c : {
             Case{"pulled out while open: closed and reopened at once", true, State::Lost, 3,
                  ReconnectState::Waiting},
             Case{"missing at the first open", false, State::NoDevice, 2, ReconnectState::Waiting},
             Case{"taken by another program", false, State::InUse, 0, ReconnectState::Idle},
             Case{"forbidden", false, State::NoPermission, 0, ReconnectState::Idle},
             Case{"open and well", true, State::Open, 0, ReconnectState::Idle},
         }) {
        SCOPED_TRACE(c.what);
        trans.Close();
        reconnect.Tick();
        port.openSucceeds = c.wasOpen;
        (void)trans.Open(0);
        port.openSucceeds = false;
        port.condition = {c.condition, "/dev/ttyUSB0", "", ""};
        EXPECT_EQ(OpensDuring(50), c.opensIn5s);
        EXPECT_EQ(reconnect.state(), c.state);
        EXPECT_EQ(reconnect.PortAtFault(), c.condition != State::Open);
    }
}

TEST_F(PortReconnectTest, ReopensOnlyOnTheDeviceItLostUntilThePortDialogClosesThePort) {
    Plug("/dev/ttyUSB0");
    (void)trans.Open(0);
    port.openSucceeds = false;
    port.condition = {State::Lost, "/dev/ttyUSB0", "", ""};
    EXPECT_EQ(OpensDuring(1), 1);
    EXPECT_TRUE(trans.portState().openFailed());
    EXPECT_EQ(reconnect.awaitedDevice(), "/dev/ttyUSB0");
    EXPECT_EQ(port.awaitedDevice, "/dev/ttyUSB0") << "the port must not open what COM1 leads to meanwhile";

    // With the adapter gone, COM1 leads to a built-in port: not the bus the zones are on.
    Plug("/dev/ttyS0");
    EXPECT_EQ(OpensDuring(30), 1);
    EXPECT_EQ(reconnect.state(), ReconnectState::Waiting);
    EXPECT_TRUE(reconnect.PortAtFault());

    Plug("/dev/ttyUSB0");
    EXPECT_EQ(OpensDuring(20), 1);
    EXPECT_EQ(reconnect.state(), ReconnectState::Reopened);
    EXPECT_TRUE(trans.portState().isOpen());
    EXPECT_FALSE(reconnect.PortAtFault());
    EXPECT_EQ(port.awaitedDevice, std::nullopt);
    EXPECT_EQ(OpensDuring(30), 0);

    // Lost again; then the operator confirms the port dialog, which closes the link.
    port.openSucceeds = false;
    port.condition = {State::Lost, "/dev/ttyUSB0", "", ""};
    EXPECT_EQ(OpensDuring(1), 1);
    trans.Close();
    EXPECT_EQ(OpensDuring(30), 0) << "the next exchange opens it, not the waiting";
    EXPECT_EQ(reconnect.state(), ReconnectState::Idle);
    EXPECT_EQ(reconnect.awaitedDevice(), "");
    EXPECT_EQ(port.awaitedDevice, std::nullopt);
}

} // namespace
} // namespace hz70
