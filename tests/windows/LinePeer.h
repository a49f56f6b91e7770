// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>
#include <windows.h>

namespace hz70::test {

// The other end of the line behind COM1, played by line_peer.py on the Linux side of Wine: COM1 is a
// pseudo-terminal there, which a program under Wine cannot make or reach itself. The test tells the
// peer what to do through COM2, a second pseudo-terminal, with plain Win32 calls so that nothing of the
// port under test carries the test's own traffic. Every answer is awaited a bounded time.
class LinePeer {
public:
    static constexpr DWORD kWaitMs = 5000;

    // Takes the control line and has the peer empty both directions of COM1.
    LinePeer() {
        control_ =
            ::CreateFileA("\\\\.\\COM2", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        COMMTIMEOUTS waitForAll{0, 0, kWaitMs, 0, kWaitMs};
        ok_ = control_ != INVALID_HANDLE_VALUE && ::SetCommTimeouts(control_, &waitForAll) != 0 &&
              Request('C', {}) && Answer(1) == std::vector<std::uint8_t>{'k'};
    }
    ~LinePeer() {
        if (control_ != INVALID_HANDLE_VALUE) {
            ::CloseHandle(control_);
        }
    }
    LinePeer(const LinePeer&) = delete;
    LinePeer& operator=(const LinePeer&) = delete;

    [[nodiscard]] bool ok() const { return ok_; }

    // Sends from the peer's side and waits (bounded) until COM1's driver has them queued.
    [[nodiscard]] bool Send(const std::vector<std::uint8_t>& bytes) {
        return Request('S', bytes) && Answer(1) == std::vector<std::uint8_t>{'k'};
    }

    // What COM1 sent, waiting (bounded) for `count` bytes.
    [[nodiscard]] std::vector<std::uint8_t> Receive(std::size_t count) {
        if (!Request('R', std::vector<std::uint8_t>(count, 0))) {
            return {};
        }
        const std::vector<std::uint8_t> length = Answer(2);
        return length.size() == 2 ? Answer(static_cast<std::size_t>(length[0] << 8 | length[1]))
                                  : std::vector<std::uint8_t>{};
    }

private:
    // A request: its letter, the length of `data` in two bytes (high first), then `data` itself; for
    // 'R' only the length counts.
    bool Request(char letter, const std::vector<std::uint8_t>& data) {
        std::vector<std::uint8_t> message{static_cast<std::uint8_t>(letter),
                                          static_cast<std::uint8_t>(data.size() >> 8),
                                          static_cast<std::uint8_t>(data.size() & 0xFF)};
        if (letter != 'R') {
            message.insert(message.end(), data.begin(), data.end());
        }
        DWORD written = 0;
        return ::WriteFile(control_, message.data(), static_cast<DWORD>(message.size()), &written, nullptr) !=
                   0 &&
               written == message.size();
    }

    std::vector<std::uint8_t> Answer(std::size_t count) {
        std::vector<std::uint8_t> got(count);
        DWORD read = 0;
        if (count > 0 && ::ReadFile(control_, got.data(), static_cast<DWORD>(count), &read, nullptr) == 0) {
            read = 0;
        }
        got.resize(read);
        return got;
    }

    HANDLE control_ = INVALID_HANDLE_VALUE;
    bool ok_ = false;
};

} // namespace hz70::test
