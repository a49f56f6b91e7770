// SPDX-License-Identifier: GPL-3.0-or-later
// What the Windows port does beyond the contract every port keeps: the bounded wait for input, which
// takes a byte from the driver early, the configuration, and the names and conditions it reports.
#include "comm/WinSerialPort.h"

#include "comm/PortNames.h"
#include "windows/LinePeer.h"

#include <chrono>
#include <gtest/gtest.h>

namespace hz70 {
namespace {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

TEST(WindowsDeviceNameTest, ComNamesGetTheDevicePrefixOtherNamesStayAsTheyAre) {
    const std::pair<const char*, const char*> cases[] = {
        {"COM1", "\\\\.\\COM1"},
        {"com12", "\\\\.\\com12"},
        {"COM256", "\\\\.\\COM256"},
        {"\\\\.\\COM3", "\\\\.\\COM3"},
        {"COM0", "COM0"},
        {"COM", "COM"},
        {"COM1:", "COM1:"},
        {"COMX", "COMX"},
        {"/dev/ttyS0", "/dev/ttyS0"},
    };
    for (const auto& [given, opened] : cases) {
        EXPECT_EQ(WindowsDeviceName(given), opened) << given;
    }
}

class WinSerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer.ok());
        ASSERT_TRUE(port.Open("COM1"));
        ASSERT_TRUE(port.SetImmediateReads());
    }

    std::size_t Queued() {
        PortErrorState state;
        EXPECT_TRUE(port.ReadErrorState(state));
        return state.queuedInput;
    }

    test::LinePeer peer;
    WinSerialPort port;
};

TEST_F(WinSerialPortTest, WaitForInputEndsByItsTimeWhenNothingComes) {
    const auto start = steady_clock::now();
    EXPECT_EQ(port.WaitForInput(300), InputWait::TimedOut);
    const auto waited = steady_clock::now() - start;
    EXPECT_GE(waited, milliseconds(250));
    EXPECT_LT(waited, milliseconds(1500));
    std::uint8_t buffer[4];
    const auto readStart = steady_clock::now();
    EXPECT_EQ(port.Read(buffer, sizeof buffer), 0);
    EXPECT_LT(steady_clock::now() - readStart, milliseconds(100))
        << "reads return at once again after a wait";
}

TEST_F(WinSerialPortTest, BytesThatEndAWaitAreCountedAndReadInOrder) {
    ASSERT_TRUE(peer.Send({0x01, 0x11, 0x02, 0x8E, 0xFF}));
    const auto start = steady_clock::now();
    ASSERT_EQ(port.WaitForInput(2000), InputWait::Ready);
    EXPECT_LT(steady_clock::now() - start, milliseconds(500));
    EXPECT_EQ(port.WaitForInput(2000), InputWait::Ready) << "the byte the wait took is still to be read";
    EXPECT_EQ(Queued(), 5u);

    Bytes got(2);
    ASSERT_EQ(port.Read(got.data(), got.size()), 2);
    EXPECT_EQ(got, (Bytes{0x01, 0x11}));
    got.assign(8, 0);
    ASSERT_EQ(port.Read(got.data(), got.size()), 3);
    got.resize(3);
    EXPECT_EQ(got, (Bytes{0x02, 0x8E, 0xFF}));
}

TEST_F(WinSerialPortTest, PurgeOfInputDropsTheByteAWaitTook) {
    ASSERT_TRUE(peer.Send({1, 2}));
    ASSERT_EQ(port.WaitForInput(2000), InputWait::Ready);
    EXPECT_TRUE(port.Purge(SerialPort::RxClear));
    EXPECT_EQ(Queued(), 0u);
    EXPECT_EQ(port.WaitForInput(100), InputWait::TimedOut);
}

TEST_F(WinSerialPortTest, ConfigurationsOfTheLinkAreTakenAndRestoredAtTheEnd) {
    ASSERT_TRUE(port.SaveState());
    for (const char* text : {"110,N,8,1", "9600,E,7,1", "19200,O,8,1", "115200,N,8,2"}) {
        auto config = ParseLineConfig(text);
        ASSERT_TRUE(config);
        config->rtsWhileSending = true;
        EXPECT_TRUE(port.Apply(*config)) << text << ": " << port.lastError();
    }
    const Bytes request = {':', '0', '1', '1', '1', 'E', 'E', '\r', '\n'};
    EXPECT_EQ(port.Write(request.data(), request.size()), static_cast<int>(request.size()));
    EXPECT_EQ(peer.Receive(request.size()), request);
    EXPECT_TRUE(port.ClearModemLine(SerialPort::ModemLine::Rts));
    EXPECT_TRUE(port.RestoreState());
}

TEST(WinSerialPortConditionTest, OpenReportsAMissingPortAndCloseAnOpenOne) {
    WinSerialPort port;
    EXPECT_FALSE(port.Open("COM200"));
    EXPECT_EQ(port.Condition().state, PortCondition::State::NoDevice);
    EXPECT_EQ(port.Condition().device, "\\\\.\\COM200");
    EXPECT_FALSE(port.lastError().empty());

    WinSerialPort fixed("COM1");
    ASSERT_TRUE(fixed.Open("COM5")) << fixed.lastError();
    EXPECT_EQ(fixed.Condition().state, PortCondition::State::Open);
    EXPECT_EQ(fixed.devicePath(), "\\\\.\\COM1");
    fixed.Close();
    EXPECT_EQ(fixed.Condition().state, PortCondition::State::Closed);
}

} // namespace
} // namespace hz70
