// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hz70sim/LineTiming.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace hz70::sim {

// The sending half of the simulated line. A pseudo-terminal moves bytes at any speed, so each byte is
// handed out only once its last bit would have left a real sender: a reply of n characters is never
// complete before n character times after it started.
class PacedTransmitter {
public:
    explicit PacedTransmitter(Micros characterTime);

    // Queues a piece of output that starts no earlier than `earliestStart` and not before the piece
    // queued before it has been sent. Returns when its last byte will be complete.
    Micros enqueue(Micros earliestStart, std::vector<std::uint8_t> bytes);
    // Appends to `out` every byte that is complete by `now`.
    void release(Micros now, std::vector<std::uint8_t>& out);
    // When the next byte becomes complete; nothing when all is sent.
    [[nodiscard]] std::optional<Micros> nextRelease() const;
    // When the last queued byte will be complete.
    [[nodiscard]] Micros lineFreeAt() const { return lineFreeAt_; }

private:
    struct Piece {
        Micros start;
        std::vector<std::uint8_t> bytes;
        std::size_t sent = 0;
    };

    [[nodiscard]] Micros completionOf(const Piece& piece, std::size_t byteIndex) const;

    Micros characterTime_;
    std::deque<Piece> pieces_;
    Micros lineFreeAt_{0};
};

} // namespace hz70::sim
