// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70sim/FaultInjector.h"

#include "comm/ModbusChecksum.h"

#include <algorithm>

namespace hz70::sim {

namespace {

constexpr std::uint8_t kMaxAddress = 247;
constexpr std::uint32_t kMaxNoiseBytes = 8;

} // namespace

ReplyFaults FaultInjector::decide() {
    // Every share is drawn every time, so changing one share does not shift the draws of the others.
    ReplyFaults faults;
    faults.drop = random_.chance(settings_.drop);
    faults.corrupt = random_.chance(settings_.corrupt);
    faults.wrongAddress = random_.chance(settings_.wrongAddress);
    faults.noise = random_.chance(settings_.noise);
    return faults;
}

std::vector<std::uint8_t> FaultInjector::noiseBytes() {
    std::vector<std::uint8_t> bytes(1 + random_.below(kMaxNoiseBytes));
    for (std::uint8_t& byte : bytes) {
        byte = static_cast<std::uint8_t>(random_.below(256));
    }
    return bytes;
}

void CorruptCheck(bool ascii, std::vector<std::uint8_t>& frame) {
    if (!ascii) {
        if (!frame.empty()) {
            frame.back() ^= 0x01;
        }
        return;
    }
    if (frame.size() < 3) {
        return;
    }
    std::uint8_t& digit = frame[frame.size() - 3]; // last LRC digit, before CR LF
    const int value = HexValue(digit);
    digit = static_cast<std::uint8_t>(HexDigit(static_cast<unsigned>(value + 1)));
}

std::uint8_t OtherAddress(std::uint8_t address) {
    return static_cast<std::uint8_t>(address % kMaxAddress + 1);
}

std::vector<std::uint8_t> FrameOnTheLine(const LineHabits& habits, std::span<const std::uint8_t> frame) {
    std::vector<std::uint8_t> bytes = habits.stray;
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    bytes.insert(bytes.end(), habits.trail.begin(), habits.trail.end());
    return bytes;
}

std::vector<std::vector<std::uint8_t>> SplitFrame(const std::vector<std::uint8_t>& frame, int pieces) {
    const std::size_t count = std::clamp<std::size_t>(static_cast<std::size_t>(std::max(pieces, 1)), 1,
                                                      std::max<std::size_t>(frame.size(), 1));
    std::vector<std::vector<std::uint8_t>> parts;
    std::size_t begin = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t end = frame.size() * (i + 1) / count;
        parts.emplace_back(frame.begin() + static_cast<long>(begin), frame.begin() + static_cast<long>(end));
        begin = end;
    }
    return parts;
}

} // namespace hz70::sim
