// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's request parsers take whatever a master (or a broken line) sends: arbitrary bytes in
// arbitrary pieces and at arbitrary moments, in RTU and ASCII framing.
#include "hz70sim/Framing.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using hz70::sim::Micros;
    hz70::sim::AsciiReceiver ascii;
    hz70::sim::RtuReceiver rtu(Micros(1750));
    std::vector<hz70::sim::InboundFrame> frames;
    Micros now(0);
    std::size_t pos = 0;
    while (pos < size) {
        // Each piece: a length byte, then that many bytes arriving a little later than the last piece.
        const std::size_t length = data[pos++] % 32;
        const std::span<const std::uint8_t> piece(data + pos, length < size - pos ? length : size - pos);
        pos += piece.size();
        now += Micros(piece.empty() ? 5000 : 100 * piece.size());
        ascii.receive(now, piece, frames);
        rtu.expire(now, frames);
        rtu.receive(now, piece, frames);
        (void)hz70::sim::RequestLength(piece);
    }
    rtu.expire(now + Micros(10000), frames);
    return 0;
}
