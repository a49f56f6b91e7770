// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace hz70::test {

// A pseudo-terminal pair: the device side (`devicePath`) is what the code under test opens, the
// controlling side plays the peer on the line. A second descriptor on the device side lets the test
// watch the device's queue and settings without going through the code under test.
class PseudoTerminal {
public:
    static constexpr std::chrono::milliseconds kWait{2000};

    PseudoTerminal() {
        controller_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        char name[128] = {};
        if (controller_ < 0 || ::grantpt(controller_) != 0 || ::unlockpt(controller_) != 0 ||
            ::ptsname_r(controller_, name, sizeof name) != 0) {
            return;
        }
        devicePath_ = name;
        watch_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    }
    ~PseudoTerminal() {
        CloseController();
        if (watch_ >= 0) {
            ::close(watch_);
        }
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    [[nodiscard]] bool ok() const { return controller_ >= 0 && watch_ >= 0; }
    [[nodiscard]] const std::string& devicePath() const { return devicePath_; }

    // Bytes waiting to be read on the device side; -1 once the line is gone.
    [[nodiscard]] int QueuedOnDevice() const {
        int queued = 0;
        return ::ioctl(watch_, FIONREAD, &queued) == 0 ? queued : -1;
    }

    // Sends from the peer's side and waits (bounded) until the device side has them queued.
    [[nodiscard]] bool Send(const std::vector<std::uint8_t>& bytes) {
        const int before = QueuedOnDevice();
        if (before < 0 ||
            ::write(controller_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
            return false;
        }
        const int wanted = before + static_cast<int>(bytes.size());
        const auto deadline = std::chrono::steady_clock::now() + kWait;
        while (QueuedOnDevice() < wanted) {
            if (!WaitFor(watch_, POLLIN, deadline)) {
                return false;
            }
        }
        return true;
    }

    // What the device side sent, waiting (bounded) for `count` bytes.
    [[nodiscard]] std::vector<std::uint8_t> Receive(std::size_t count) {
        std::vector<std::uint8_t> got;
        const auto deadline = std::chrono::steady_clock::now() + kWait;
        std::uint8_t chunk[256];
        while (got.size() < count && WaitFor(controller_, POLLIN, deadline)) {
            const ssize_t n = ::read(controller_, chunk, sizeof chunk);
            if (n > 0) {
                got.insert(got.end(), chunk, chunk + n);
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                break;
            }
        }
        return got;
    }

    // The device side's settings as the driver holds them.
    [[nodiscard]] termios DeviceSettings() const {
        termios t{};
        ::tcgetattr(watch_, &t);
        return t;
    }
    void SetDeviceSettings(const termios& t) { ::tcsetattr(watch_, TCSANOW, &t); }

    // The peer goes away: the device side sees a hang-up.
    void CloseController() {
        if (controller_ >= 0) {
            ::close(controller_);
            controller_ = -1;
        }
    }

private:
    static bool WaitFor(int fd, short events, std::chrono::steady_clock::time_point deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd entry{fd, events, 0};
        return ::poll(&entry, 1, static_cast<int>(left.count())) > 0;
    }

    int controller_ = -1;
    int watch_ = -1;
    std::string devicePath_;
};

} // namespace hz70::test
