// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace hz70::sim {

// All times in the simulator are microseconds since an arbitrary origin: the monotonic clock in the
// program, any counter in tests.
using Micros = std::chrono::microseconds;

// One entry of the line's mode table: framing and character format.
struct LineMode {
    int index = 0;
    bool ascii = true;
    char parity = 'N';
    int dataBits = 8;
    int stopBits = 1;

    // Start bit, data bits, parity bit if any, stop bits.
    [[nodiscard]] int bitsPerCharacter() const { return 1 + dataBits + (parity == 'N' ? 0 : 1) + stopBits; }
    // "N,8,1" and the like.
    [[nodiscard]] std::string text() const;
};

// Mode 0..2 is ASCII framing, 3..6 RTU; nothing for any other index.
[[nodiscard]] std::optional<LineMode> LineModeFromIndex(int index);

// Whether a rate is one the line offers (300 to 115200 bit/s, the usual steps).
[[nodiscard]] bool IsSupportedBaudRate(int baud);

// Time one character takes on the line, rounded up so that pacing never runs ahead of the real line.
[[nodiscard]] Micros CharacterTime(const LineMode& mode, int baud);

// The quiet that ends an RTU frame: 3.5 characters, but at least 4 ms because a pseudo-terminal or a
// USB adapter hands bytes over in bursts a few milliseconds apart.
[[nodiscard]] Micros FrameSilence(const LineMode& mode, int baud);

} // namespace hz70::sim
