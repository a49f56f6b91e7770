// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70cli/CliLink.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace hz70::cli {
namespace {

// A free loopback port nobody listens on while the test runs: connections to it are refused.
class RefusingPort {
public:
    RefusingPort() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
            name_ = "tcp:127.0.0.1:" + std::to_string(ntohs(address.sin_port));
        }
    }
    ~RefusingPort() { ::close(fd_); }
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;

    [[nodiscard]] const std::string& name() const { return name_; }

private:
    int fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    std::string name_;
};

// The link's "COMn" goes to the device --port names; a converter's name is told apart from a device
// path, and a malformed one is refused with the reason before any open.
TEST(CliLink, APortNameLeadsToItsKindOfDevice) {
    const RefusingPort converter;
    ASSERT_FALSE(converter.name().empty());
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
