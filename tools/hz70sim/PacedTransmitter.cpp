// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70sim/PacedTransmitter.h"

#include <algorithm>

namespace hz70::sim {

PacedTransmitter::PacedTransmitter(Micros characterTime) : characterTime_(characterTime) {}

Micros PacedTransmitter::enqueue(Micros earliestStart, std::vector<std::uint8_t> bytes) {
    if (bytes.empty()) {
        return std::max(earliestStart, lineFreeAt_);
    }
    const Micros start = std::max(earliestStart, lineFreeAt_);
    lineFreeAt_ = start + characterTime_ * static_cast<long long>(bytes.size());
    pieces_.push_back(Piece{start, std::move(bytes)});
    return lineFreeAt_;
}

void PacedTransmitter::release(Micros now, std::vector<std::uint8_t>& out) {
    while (!pieces_.empty()) {
        Piece& piece = pieces_.front();
        while (piece.sent < piece.bytes.size() && completionOf(piece, piece.sent) <= now) {
            out.push_back(piece.bytes[piece.sent++]);
        }
        if (piece.sent < piece.bytes.size()) {
            return;
        }
        pieces_.pop_front();
    }
}

std::optional<Micros> PacedTransmitter::nextRelease() const {
    if (pieces_.empty()) {
        return std::nullopt;
    }
    return completionOf(pieces_.front(), pieces_.front().sent);
}

Micros PacedTransmitter::completionOf(const Piece& piece, std::size_t byteIndex) const {
    return piece.start + characterTime_ * static_cast<long long>(byteIndex + 1);
}

} // namespace hz70::sim
