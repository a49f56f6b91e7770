// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70sim/LineDevice.h"

#include <array>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace hz70::sim {
namespace {

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// One byte from `to` to `from`'s other end; true when it arrived.
bool Carries(int from, int to) {
    const char sent = 'x';
    char got = 0;
    pollfd readable{to, POLLIN, 0};
    return ::write(from, &sent, 1) == 1 && ::poll(&readable, 1, 1000) == 1 && ::read(to, &got, 1) == 1 &&
           got == sent;
}

TEST(LineDevice, UnplugFailsTheMastersReadsAndPlugComesBackBehindTheSameLink) {
    std::array<char, 32> folder{"/tmp/hz70sim-test-XXXXXX"};
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    const std::string link = std::string(folder.data()) + "/COM1";
    std::string error;
    std::unique_ptr<LineDevice> line = LineDevice::CreatePseudoTerminal(link, error);
    ASSERT_TRUE(line) << error;

    const int master = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(master, 0);
    EXPECT_TRUE(Carries(line->fd(), master));

    line->unplug();
    EXPECT_FALSE(line->plugged());
    EXPECT_FALSE(Exists(link));
    pollfd gone{master, POLLIN, 0};
    ASSERT_EQ(::poll(&gone, 1, 1000), 1);
    EXPECT_NE(gone.revents & POLLHUP, 0);
    char byte = 0;
    EXPECT_LE(::read(master, &byte, 1), 0);
    ::close(master);

    ASSERT_TRUE(line->plug(error)) << error;
    const int again = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(again, 0);
    EXPECT_TRUE(Carries(again, line->fd()));
    ::close(again);

    line.reset();
    EXPECT_FALSE(Exists(link));
    ::rmdir(folder.data());
}

} // namespace
} // namespace hz70::sim
