// SPDX-License-Identifier: GPL-3.0-or-later
// What the link relies on from any SerialPort, checked against the fake the unit tests use and against
// the platform's real port (the terminal port on a pseudo-terminal; on Windows the communications port
// on a line whose other end a peer plays), so the fake cannot drift from the real thing.
#include "support/FakeSerialPort.h"

#ifdef _WIN32
#include "comm/WinSerialPort.h"
#include "windows/LinePeer.h"
#else
#include "comm/PosixSerialPort.h"
#include "support/PseudoTerminal.h"
#endif

#include <chrono>
#include <gtest/gtest.h>

namespace hz70 {
namespace {

using test::Bytes;

// Each rig holds one port and plays the other end of its line.
struct FakeRig {
    test::FakeSerialPort port;

    [[nodiscard]] bool Ready() const { return true; }
    [[nodiscard]] std::string Name() const { return "COM1"; }
    [[nodiscard]] bool Arrive(const Bytes& bytes) {
        port.Arrive(bytes);
        return true;
    }
    [[nodiscard]] Bytes Sent(std::size_t) const {
        Bytes all;
        for (const auto& block : port.writes) {
            all.insert(all.end(), block.begin(), block.end());
        }
        return all;
    }
};

#ifdef _WIN32
struct ComRig {
    test::LinePeer peer;
    WinSerialPort port;

    [[nodiscard]] bool Ready() const { return peer.ok(); }
    [[nodiscard]] std::string Name() const { return "COM1"; }
    [[nodiscard]] bool Arrive(const Bytes& bytes) { return peer.Send(bytes); }
    [[nodiscard]] Bytes Sent(std::size_t count) { return peer.Receive(count); }
};
using RealRig = ComRig;
#else
struct PtyRig {
    test::PseudoTerminal pty;
    PosixSerialPort port;

    [[nodiscard]] bool Ready() const { return pty.ok(); }
    [[nodiscard]] std::string Name() const { return pty.devicePath(); }
    [[nodiscard]] bool Arrive(const Bytes& bytes) { return pty.Send(bytes); }
    [[nodiscard]] Bytes Sent(std::size_t count) { return pty.Receive(count); }
};
using RealRig = PtyRig;
#endif

template <typename Rig>
class SerialPortContractTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(rig.Ready()); }

    // Opens the way the link does: exclusive, then reads that return at once.
    void OpenLikeTheLink() {
        ASSERT_TRUE(port().Open(rig.Name()));
        ASSERT_TRUE(port().SetImmediateReads());
    }

    SerialPort& port() { return rig.port; }

    std::size_t Queued() {
        PortErrorState state;
        EXPECT_TRUE(port().ReadErrorState(state));
        return state.queuedInput;
    }

    Rig rig;
};

using Rigs = ::testing::Types<FakeRig, RealRig>;
TYPED_TEST_SUITE(SerialPortContractTest, Rigs);

TYPED_TEST(SerialPortContractTest, OpenAndCloseAreSeenByIsOpen) {
    EXPECT_FALSE(this->port().IsOpen());
    this->OpenLikeTheLink();
    EXPECT_TRUE(this->port().IsOpen());
    this->port().Close();
    EXPECT_FALSE(this->port().IsOpen());
}

TYPED_TEST(SerialPortContractTest, ReadWithNothingArrivedReturnsZeroAtOnce) {
    this->OpenLikeTheLink();
    std::uint8_t buffer[32];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(this->port().Read(buffer, sizeof buffer), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_EQ(this->Queued(), 0u);
}

TYPED_TEST(SerialPortContractTest, ArrivedBytesAreCountedThenReadInOrder) {
    this->OpenLikeTheLink();
    ASSERT_TRUE(this->rig.Arrive({':', '0', '1', '\r', '\n'}));
    ASSERT_TRUE(this->rig.Arrive({0x00, 0xFF, 0x03}));
    ASSERT_EQ(this->Queued(), 8u);

    Bytes got(3);
    ASSERT_EQ(this->port().Read(got.data(), got.size()), 3);
    EXPECT_EQ(got, (Bytes{':', '0', '1'}));
    EXPECT_EQ(this->Queued(), 5u);
    got.assign(16, 0);
    ASSERT_EQ(this->port().Read(got.data(), got.size()), 5);
    got.resize(5);
    EXPECT_EQ(got, (Bytes{'\r', '\n', 0x00, 0xFF, 0x03}));
    EXPECT_EQ(this->Queued(), 0u);
}

TYPED_TEST(SerialPortContractTest, PurgeOfInputEmptiesTheQueue) {
    this->OpenLikeTheLink();
    ASSERT_TRUE(this->rig.Arrive({1, 2, 3}));
    EXPECT_TRUE(this->port().Purge(SerialPort::RxClear));
    EXPECT_EQ(this->Queued(), 0u);
    std::uint8_t buffer[8];
    EXPECT_EQ(this->port().Read(buffer, sizeof buffer), 0);
}

TYPED_TEST(SerialPortContractTest, WriteReturnsTheSizeAndThePeerGetsTheBytes) {
    this->OpenLikeTheLink();
    const Bytes request = {0x01, 0x03, 0x0F, 0xA0, 0x00, 0x19, 0x86, 0xC6};
    EXPECT_EQ(this->port().Write(request.data(), request.size()), static_cast<int>(request.size()));
    EXPECT_EQ(this->rig.Sent(request.size()), request);
}

} // namespace
} // namespace hz70
