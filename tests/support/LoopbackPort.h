// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <arpa/inet.h>
#include <cstdint>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace hz70::test {

// A TCP socket bound to a free port on 127.0.0.1, which a port opens as name(). While it only is bound,
// connections to it are refused, and no other test can take the port; once it listens, they queue.
class LoopbackPort {
public:
    LoopbackPort() {
        sockaddr_in address = Address(0);
        socklen_t size = sizeof address;
        if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
            number_ = ntohs(address.sin_port);
        }
    }
    ~LoopbackPort() { ::close(fd_); }
    LoopbackPort(const LoopbackPort&) = delete;
    LoopbackPort& operator=(const LoopbackPort&) = delete;

    [[nodiscard]] bool ok() const { return number_ != 0; }
    [[nodiscard]] int fd() const { return fd_; }
    [[nodiscard]] std::string name() const { return "tcp:127.0.0.1:" + std::to_string(number_); }

    [[nodiscard]] bool Listen(int backlog) { return ::listen(fd_, backlog) == 0; }

    // A client socket connected to this port (blocking), or -1; the caller closes it.
    [[nodiscard]] int Connect() const {
        const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in address = Address(number_);
        if (client >= 0 &&
            ::connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(client);
            return -1;
        }
        return client;
    }

private:
    static sockaddr_in Address(std::uint16_t number) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(number);
        return address;
    }

    int fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    std::uint16_t number_ = 0;
};

} // namespace hz70::test
