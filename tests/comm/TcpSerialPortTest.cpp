// SPDX-License-Identifier: GPL-3.0-or-later
// What only the port behind an Ethernet converter has: its name, and why a connection is not made. What
// it shares with every port is checked in SerialPortContractTest.
#include "comm/TcpSerialPort.h"

#include "support/LoopbackPort.h"

#include <chrono>
#include <gtest/gtest.h>
#include <unistd.h>

namespace hz70 {
namespace {

TEST(TcpSerialPortTest, NamesAreReadOrRefusedWithTheReason) {
    struct Case {
        const char* name;
        const char* host; // nullptr: refused, and `refusal` is part of why
        std::uint16_t port;
        const char* refusal;
    };
    const Case cases[] = {
        {"tcp:192.168.1.20:4001", "192.168.1.20", 4001, nullptr},
        {"TCP:converter-3:502", "converter-3", 502, nullptr},
        {"tcp:[fe80::1]:65535", "fe80::1", 65535, nullptr},
        {"tcp:converter", nullptr, 0, "no port"},
        {"tcp::4001", nullptr, 0, "no host"},
        {"tcp:[]:4001", nullptr, 0, "no host"},
        {"tcp:::1:4001", nullptr, 0, "in brackets"},
        {"tcp:host:0", nullptr, 0, "1..65535"},
        {"tcp:host:65536", nullptr, 0, "1..65535"},
        {"tcp:host:40x", nullptr, 0, "1..65535"},
        {"tcp:host:", nullptr, 0, "1..65535"},
        {"/dev/ttyUSB0", nullptr, 0, "tcp:HOST:PORT"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto parsed = ParseTcpPortName(c.name);
        if (c.host != nullptr) {
            ASSERT_TRUE(std::holds_alternative<TcpEndpoint>(parsed));
            EXPECT_EQ(std::get<TcpEndpoint>(parsed).host, c.host);
            EXPECT_EQ(std::get<TcpEndpoint>(parsed).port, c.port);
        } else {
            ASSERT_TRUE(std::holds_alternative<std::string>(parsed));
            EXPECT_NE(std::get<std::string>(parsed).find(c.refusal), std::string::npos)
                << std::get<std::string>(parsed);
        }
    }
}

// Not there for now, as a missing adapter is: the link waits for it rather than give up.
TEST(TcpSerialPortTest, AConverterNotReachedIsMissingInTheSystemsWordsWithinTheConnectWait) {
    struct Case {
        std::optional<int> backlog;
        const char* reason;
    };
    const Case cases[] = {
        {std::nullopt, "Connection refused"},
        {0, "Connection timed out"},
    };
    for (const Case& c : cases) {
        test::LoopbackPort converter;
        ASSERT_TRUE(converter.ok());
        // Connections beyond a full queue are not answered at all, as from a host that is not there.
        const int filler = c.backlog && converter.Listen(*c.backlog) ? converter.Connect() : -1;
        SCOPED_TRACE(converter.name());
        TcpSerialPort port(converter.name());
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(port.Open("COM1"));
        EXPECT_LT(std::chrono::steady_clock::now() - start,
                  std::chrono::milliseconds(TcpSerialPort::kConnectWait + 500));
        EXPECT_FALSE(port.IsOpen());
        const PortCondition condition = port.Condition();
        EXPECT_EQ(condition.state, PortCondition::State::NoDevice);
        EXPECT_EQ(condition.device, converter.name());
        EXPECT_EQ(condition.reason, c.reason);
        EXPECT_EQ(port.lastError(), converter.name() + ": " + c.reason);
        if (filler >= 0) {
            ::close(filler);
        }
    }
}

} // namespace
} // namespace hz70
