// SPDX-License-Identifier: GPL-3.0-or-later
#include "comm/PosixSerialPort.h"

#include "comm/LineConfig.h"
#include "support/PseudoTerminal.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace hz70 {
namespace {

using test::PseudoTerminal;
using Bytes = std::vector<std::uint8_t>;

class PosixSerialPortTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pty.ok()) << "no pseudo-terminal available"; }

    void OpenImmediate() {
        ASSERT_TRUE(port.Open(pty.devicePath())) << port.lastError();
        ASSERT_TRUE(port.SetImmediateReads());
    }

    LineConfig Config(const std::string& text) {
        const auto config = ParseLineConfig(text);
        EXPECT_TRUE(config.has_value()) << text;
        return config.value_or(LineConfig{});
    }

    PseudoTerminal pty;
    PosixSerialPort port;
};

TEST_F(PosixSerialPortTest, SecondOpenOfTheSameDeviceIsRefusedUntilTheFirstCloses) {
    OpenImmediate();
    EXPECT_EQ(port.devicePath(), pty.devicePath());
    EXPECT_TRUE(port.lastError().empty());

    PosixSerialPort second;
    EXPECT_FALSE(second.Open(pty.devicePath()));
    EXPECT_FALSE(second.IsOpen());
    EXPECT_NE(second.lastError().find("in use"), std::string::npos) << second.lastError();
    EXPECT_EQ(port.Condition().state, PortCondition::State::Open);
    EXPECT_EQ(second.Condition().state, PortCondition::State::InUse);
    EXPECT_EQ(second.Condition().device, pty.devicePath());

    port.Close();
    EXPECT_EQ(port.Condition().state, PortCondition::State::Closed);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(second.Open(pty.devicePath())) << second.lastError();
}

TEST_F(PosixSerialPortTest, RefusesFilesThatAreNotTerminalsAndMissingDevices) {
    char path[] = "/tmp/hz70-notatty-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_FALSE(port.Open(path));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_NE(port.lastError().find("not a terminal"), std::string::npos) << port.lastError();
    EXPECT_EQ(port.Condition().state, PortCondition::State::Failed);
    EXPECT_FALSE(port.Condition().reason.empty());
    ::unlink(path);

    EXPECT_FALSE(port.Open("/dev/hz70-no-such-device"));
    EXPECT_FALSE(port.lastError().empty());
    EXPECT_EQ(port.Condition().state, PortCondition::State::NoDevice);
    EXPECT_EQ(port.Condition().device, "/dev/hz70-no-such-device");
}

TEST_F(PosixSerialPortTest, FixedDeviceTakesEveryOpen) {
    PosixSerialPort fixed(pty.devicePath());
    EXPECT_TRUE(fixed.Open("COM5")) << fixed.lastError();
    EXPECT_EQ(fixed.devicePath(), pty.devicePath());
}

TEST_F(PosixSerialPortTest, AnAwaitedDeviceTakesEveryOpenUntilReleased) {
    port.AwaitDevice("/dev/hz70-pulled-out");
    EXPECT_FALSE(port.Open(pty.devicePath())) << "nothing but the awaited device";
    EXPECT_EQ(port.Condition().state, PortCondition::State::NoDevice);
    EXPECT_EQ(port.Condition().device, "/dev/hz70-pulled-out");
    port.AwaitDevice(pty.devicePath());
    EXPECT_TRUE(port.Open("COM5")) << port.lastError();
    port.AwaitDevice(std::nullopt);
    EXPECT_TRUE(port.Open(pty.devicePath())) << port.lastError();
}

TEST_F(PosixSerialPortTest, WaitForInputSleepsUntilInputOrHangUp) {
    OpenImmediate();
    EXPECT_EQ(port.WaitForInput(20), InputWait::TimedOut);
    ASSERT_TRUE(pty.Send({0x01}));
    EXPECT_EQ(port.WaitForInput(1000), InputWait::Ready);
    pty.CloseController();
    std::uint8_t byte = 0;
    (void)port.Read(&byte, 1);
    EXPECT_EQ(port.WaitForInput(1000), InputWait::Failed);
    EXPECT_EQ(port.Condition().state, PortCondition::State::Lost);
}

TEST_F(PosixSerialPortTest, ReadReturnsAtOnceWhenNothingArrived) {
    OpenImmediate();
    std::uint8_t buffer[16];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.Read(buffer, sizeof buffer), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    PortErrorState state;
    ASSERT_TRUE(port.ReadErrorState(state));
    EXPECT_EQ(state.queuedInput, 0u);
    EXPECT_FALSE(state.lineError);
    EXPECT_FALSE(state.inputOverflow);
}

// Control characters that a cooked terminal would eat or translate must pass both ways unchanged.
TEST_F(PosixSerialPortTest, BytesPassEightBitCleanBothWays) {
    OpenImmediate();
    ASSERT_TRUE(port.Apply(Config("9600,N,8,1")));
    const Bytes line = {0x01, 0x03, 0x00, '\r', '\n', 0x03, 0x11, 0x13, 0x7F, 0xFF, 0x1A, 0x04};

    ASSERT_TRUE(pty.Send(line));
    PortErrorState state;
    ASSERT_TRUE(port.ReadErrorState(state));
    EXPECT_EQ(state.queuedInput, line.size());
    Bytes got(line.size() + 4);
    ASSERT_EQ(port.Read(got.data(), got.size()), static_cast<int>(line.size()));
    got.resize(line.size());
    EXPECT_EQ(got, line);

    EXPECT_EQ(port.Write(line.data(), line.size()), static_cast<int>(line.size()));
    EXPECT_EQ(pty.Receive(line.size()), line);
}

TEST_F(PosixSerialPortTest, PurgeOfInputDiscardsWhatIsQueued) {
    OpenImmediate();
    ASSERT_TRUE(pty.Send({1, 2, 3, 4}));
    EXPECT_TRUE(port.Purge(SerialPort::RxClear));
    PortErrorState state;
    ASSERT_TRUE(port.ReadErrorState(state));
    EXPECT_EQ(state.queuedInput, 0u);
    std::uint8_t buffer[8];
    EXPECT_EQ(port.Read(buffer, sizeof buffer), 0);
    EXPECT_TRUE(port.Purge(SerialPort::TxAbort | SerialPort::RxAbort));
    EXPECT_TRUE(port.Purge(0));
}

TEST_F(PosixSerialPortTest, AppliesEveryTableRateAndModeAndRefusesOthers) {
    OpenImmediate();
    const std::vector<std::pair<int, speed_t>> rates = {
        {110, B110},   {300, B300},     {600, B600},     {1200, B1200},   {2400, B2400},     {4800, B4800},
        {9600, B9600}, {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200},
    };
    // A pseudo-terminal always keeps 8 data bits and no parity enable; the parity sense, parity
    // checking and stop bits it keeps, so those show that the format was built right.
    struct Mode {
        const char* text;
        bool odd;
        bool parityChecked;
        bool twoStops;
    };
    const std::vector<Mode> modes = {
        {"N,8,1", false, false, false}, {"E,7,1", false, true, false}, {"O,7,1", true, true, false},
        {"N,8,2", false, false, true},  {"E,8,1", false, true, false}, {"O,8,1", true, true, false},
    };
    for (const auto& [rate, speed] : rates) {
        for (const auto& mode : modes) {
            const std::string text = std::to_string(rate) + "," + mode.text;
            LineConfig config = Config(text);
            config.rtsWhileSending = true;
            ASSERT_TRUE(port.Apply(config)) << text << ": " << port.lastError();
            const termios t = pty.DeviceSettings();
            EXPECT_EQ(cfgetospeed(&t), speed) << text;
            EXPECT_EQ(cfgetispeed(&t), speed) << text;
            EXPECT_EQ((t.c_cflag & PARODD) != 0, mode.odd) << text;
            EXPECT_EQ((t.c_iflag & INPCK) != 0, mode.parityChecked) << text;
            EXPECT_EQ((t.c_cflag & CSTOPB) != 0, mode.twoStops) << text;
            EXPECT_EQ(t.c_cflag & CMSPAR, 0u) << text;
            EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), tcflag_t{CLOCAL | CREAD}) << text;
            EXPECT_EQ(t.c_cflag & CRTSCTS, 0u) << text;
            EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u) << text;
            EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u) << text;
            EXPECT_EQ(t.c_cc[VMIN], 0) << text;
            EXPECT_EQ(t.c_cc[VTIME], 0) << text;
        }
    }

    ASSERT_TRUE(port.Apply(Config("9600,M,8,1")));
    EXPECT_EQ(pty.DeviceSettings().c_cflag & (CMSPAR | PARODD), tcflag_t{CMSPAR | PARODD});
    ASSERT_TRUE(port.Apply(Config("9600,S,8,1")));
    EXPECT_EQ(pty.DeviceSettings().c_cflag & (CMSPAR | PARODD), tcflag_t{CMSPAR});

    const termios before = pty.DeviceSettings();
    LineConfig odd = Config("12345,N,8,1");
    EXPECT_FALSE(port.Apply(odd));
    EXPECT_NE(port.lastError().find("12345"), std::string::npos) << port.lastError();
    const termios after = pty.DeviceSettings();
    EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before)) << "a refused rate changed the line";
}

TEST_F(PosixSerialPortTest, RestoreStateBringsBackTheSettingsFoundAtOpen) {
    termios found = pty.DeviceSettings();
    cfsetspeed(&found, B2400);
    pty.SetDeviceSettings(found);
    found = pty.DeviceSettings();

    ASSERT_TRUE(port.Open(pty.devicePath())) << port.lastError();
    ASSERT_TRUE(port.SaveState());
    ASSERT_TRUE(port.SetImmediateReads());
    ASSERT_TRUE(port.Apply(Config("19200,O,7,2")));
    ASSERT_NE(pty.DeviceSettings().c_cflag, found.c_cflag);

    ASSERT_TRUE(port.RestoreState());
    const termios restored = pty.DeviceSettings();
    EXPECT_EQ(restored.c_iflag, found.c_iflag);
    EXPECT_EQ(restored.c_oflag, found.c_oflag);
    EXPECT_EQ(restored.c_cflag, found.c_cflag);
    EXPECT_EQ(restored.c_lflag, found.c_lflag);
    EXPECT_EQ(cfgetospeed(&restored), B2400);
    for (std::size_t i = 0; i < NCCS; ++i) {
        EXPECT_EQ(restored.c_cc[i], found.c_cc[i]) << "c_cc[" << i << "]";
    }
}

TEST_F(PosixSerialPortTest, PeerHangUpMakesTheErrorStateUnreadable) {
    OpenImmediate();
    PortErrorState state;
    ASSERT_TRUE(port.ReadErrorState(state));
    pty.CloseController();
    EXPECT_FALSE(port.ReadErrorState(state));
    const std::uint8_t byte = 0x55;
    EXPECT_EQ(port.Write(&byte, 1), -1);
    EXPECT_EQ(port.Condition().state, PortCondition::State::Lost); // an adapter pulled out looks the same
}

TEST_F(PosixSerialPortTest, ModemLineOperationsDoNotFailOnAPseudoTerminal) {
    OpenImmediate();
    EXPECT_TRUE(port.SetQueueSizes(1024, 350));
    EXPECT_TRUE(port.ClearModemLine(SerialPort::ModemLine::Rts));
    EXPECT_TRUE(port.ClearModemLine(SerialPort::ModemLine::Dtr));
    port.ClearBreak();
    LineConfig config = Config("9600,E,8,1");
    config.rtsWhileSending = true;
    ASSERT_TRUE(port.Apply(config)) << port.lastError();
    const Bytes request = {0x11, 0x03, 0x0F, 0xA0, 0x00, 0x01};
    EXPECT_EQ(port.Write(request.data(), request.size()), static_cast<int>(request.size()));
    EXPECT_EQ(pty.Receive(request.size()), request);
}

TEST_F(PosixSerialPortTest, EveryOperationFailsOnAClosedPort) {
    std::uint8_t byte = 0;
    PortErrorState state;
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.Read(&byte, 1), -1);
    EXPECT_EQ(port.Write(&byte, 1), -1);
    EXPECT_FALSE(port.ReadErrorState(state));
    EXPECT_FALSE(port.Apply(LineConfig{}));
    EXPECT_FALSE(port.Purge(SerialPort::RxClear));
    EXPECT_FALSE(port.SaveState());
    EXPECT_FALSE(port.RestoreState());
    EXPECT_FALSE(port.SetImmediateReads());
    EXPECT_FALSE(port.ClearModemLine(SerialPort::ModemLine::Rts));
    port.ClearBreak();
    port.Close();
}

} // namespace
} // namespace hz70
