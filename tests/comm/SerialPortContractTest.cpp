// SPDX-License-Identifier: GPL-3.0-or-later
// What the link relies on from any SerialPort, checked against the fake the unit tests use and against
// the platform's real ports (the terminal port on a pseudo-terminal, and the port of a line behind an
// Ethernet converter, which a loopback listener plays; on Windows the communications port on a line whose
// other end a peer plays), so the fake cannot drift from the real thing.
#include "support/FakeSerialPort.h"

#ifdef _WIN32
#include "comm/WinSerialPort.h"
#include "windows/LinePeer.h"
#else
#include "comm/PosixSerialPort.h"
#include "comm/TcpSerialPort.h"
#include "support/LoopbackPort.h"
#include "support/PseudoTerminal.h"

#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace hz70 {
namespace {

using test::Bytes;

// Each rig holds one port and plays the other end of its line. Rigs whose other end can go away have
// Drop; those whose port then opens again on the same name have Reconnects.
struct FakeRig {
    static constexpr bool kWaitsInRealTime = false;
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
    static constexpr bool kWaitsInRealTime = true;
    test::LinePeer peer;
    WinSerialPort port;

    [[nodiscard]] bool Ready() const { return peer.ok(); }
    [[nodiscard]] std::string Name() const { return "COM1"; }
    [[nodiscard]] bool Arrive(const Bytes& bytes) { return peer.Send(bytes); }
    [[nodiscard]] Bytes Sent(std::size_t count) { return peer.Receive(count); }
};
#else
struct PtyRig {
    static constexpr bool kWaitsInRealTime = true;
    test::PseudoTerminal pty;
    PosixSerialPort port;

    [[nodiscard]] bool Ready() const { return pty.ok(); }
    [[nodiscard]] std::string Name() const { return pty.devicePath(); }
    [[nodiscard]] bool Arrive(const Bytes& bytes) { return pty.Send(bytes); }
    [[nodiscard]] Bytes Sent(std::size_t count) { return pty.Receive(count); }
    void Drop() { pty.CloseController(); }
};

// A serial device server: listens on a free loopback port and serves the last connection made to it.
class LoopbackConverter {
public:
    static constexpr std::chrono::milliseconds kWait{2000};

    LoopbackConverter() { listening_ = listener_.Listen(4); }
    ~LoopbackConverter() { Close(); }
    LoopbackConverter(const LoopbackConverter&) = delete;
    LoopbackConverter& operator=(const LoopbackConverter&) = delete;

    [[nodiscard]] bool ok() const { return listener_.ok() && listening_; }
    [[nodiscard]] std::string name() const { return listener_.name(); }

    // Sends to the port and waits (bounded) until its side has taken every byte.
    [[nodiscard]] bool Send(const Bytes& bytes) {
        if (!Serve() ||
            ::send(client_, bytes.data(), bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(bytes.size())) {
            return false;
        }
        const auto deadline = std::chrono::steady_clock::now() + kWait;
        int unacknowledged = 0;
        while (::ioctl(client_, SIOCOUTQ, &unacknowledged) == 0 && unacknowledged > 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    [[nodiscard]] Bytes Receive(std::size_t count) {
        Bytes got;
        std::uint8_t chunk[256];
        while (got.size() < count && Serve()) {
            pollfd watched{client_, POLLIN, 0};
            if (::poll(&watched, 1, static_cast<int>(kWait.count())) <= 0) {
                break;
            }
            const ssize_t n = ::recv(client_, chunk, sizeof chunk, 0);
            if (n <= 0) {
                break;
            }
            got.insert(got.end(), chunk, chunk + n);
        }
        return got;
    }

    // The converter closes the connection.
    void Drop() {
        if (Serve()) {
            Close();
        }
    }

private:
    void Close() {
        if (client_ >= 0) {
            ::close(client_);
            client_ = -1;
        }
    }

    // Takes a connection waiting at the listener in place of the one served.
    [[nodiscard]] bool Serve() {
        pollfd pending{listener_.fd(), POLLIN, 0};
        const auto wait = client_ < 0 ? static_cast<int>(kWait.count()) : 0;
        if (::poll(&pending, 1, wait) > 0) {
            Close();
            client_ = ::accept4(listener_.fd(), nullptr, nullptr, SOCK_CLOEXEC);
        }
        return client_ >= 0;
    }

    test::LoopbackPort listener_;
    bool listening_ = false;
    int client_ = -1;
};

struct TcpRig {
    static constexpr bool kWaitsInRealTime = true;
    static constexpr bool kReconnects = true;
    LoopbackConverter converter;
    TcpSerialPort port;

    [[nodiscard]] bool Ready() const { return converter.ok(); }
    [[nodiscard]] std::string Name() const { return converter.name(); }
    [[nodiscard]] bool Arrive(const Bytes& bytes) { return converter.Send(bytes); }
    [[nodiscard]] Bytes Sent(std::size_t count) { return converter.Receive(count); }
    void Drop() { converter.Drop(); }
};
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

#ifdef _WIN32
using Rigs = ::testing::Types<FakeRig, ComRig>;
#else
using Rigs = ::testing::Types<FakeRig, PtyRig, TcpRig>;
#endif
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

TYPED_TEST(SerialPortContractTest, WaitForInputEndsAtTheTimeOutOrWhenInputArrives) {
    using std::chrono::milliseconds;
    this->OpenLikeTheLink();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(this->port().WaitForInput(100), InputWait::TimedOut);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_LT(waited, milliseconds(1000));
    if (TypeParam::kWaitsInRealTime) {
        EXPECT_GE(waited, milliseconds(90));
    }

    ASSERT_TRUE(this->rig.Arrive({0x01}));
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(this->port().WaitForInput(5000), InputWait::Ready);
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(1000));
}

// The other end going away (an adapter pulled out, a converter closing the connection) is a lost device:
// waits end at once and the port moves nothing; where the other end stays reachable, opening again
// reaches it as before.
TYPED_TEST(SerialPortContractTest, OtherEndGoneIsALostDeviceUntilOpenedAgain) {
    if constexpr (!requires { this->rig.Drop(); }) {
        GTEST_SKIP() << "this rig's other end cannot go away";
    } else {
        this->OpenLikeTheLink();
        this->rig.Drop();
        // Polled without waiting, as the link does at every tick while a reply is due, the loss shows
        // within a tick.
        auto start = std::chrono::steady_clock::now();
        PortErrorState state;
        while (this->port().ReadErrorState(state) &&
               std::chrono::steady_clock::now() - start < std::chrono::milliseconds(1000)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
        EXPECT_EQ(this->port().Condition().state, PortCondition::State::Lost);
        start = std::chrono::steady_clock::now();
        EXPECT_EQ(this->port().WaitForInput(5000), InputWait::Failed);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
        EXPECT_EQ(this->port().Condition().state, PortCondition::State::Lost);
        const Bytes request = {0x01, 0x03};
        std::uint8_t buffer[8];
        EXPECT_EQ(this->port().Write(request.data(), request.size()), -1);
        EXPECT_LE(this->port().Read(buffer, sizeof buffer), 0);

        if constexpr (requires { TypeParam::kReconnects; }) {
            this->port().Close();
            this->OpenLikeTheLink();
            EXPECT_EQ(this->port().Condition().state, PortCondition::State::Open);
            ASSERT_TRUE(this->rig.Arrive({0x01, 0x03}));
            ASSERT_EQ(this->port().Read(buffer, sizeof buffer), 2);
            EXPECT_EQ(this->port().Write(request.data(), request.size()), 2);
            EXPECT_EQ(this->rig.Sent(request.size()), request);
        }
    }
}

} // namespace
} // namespace hz70
