// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hz70sim/LineTiming.h"
#include "hz70sim/SimRandom.h"

#include <cstdint>
#include <span>
#include <vector>

namespace hz70::sim {

// Habits of two-wire USB RS-485 adapters, as the master sees them on its side of the line.
struct LineHabits {
    bool echo = false;               // the receiver stays on while sending: every request byte comes back
    std::vector<std::uint8_t> stray; // bytes just before each reply
    std::vector<std::uint8_t> trail; // bytes just after each reply
};
inline constexpr std::size_t kMaxHabitBytes = 16; // of stray or trailing bytes

// Line faults and habits, set from options and changed at run time. Shares are probabilities per reply.
struct FaultSettings {
    double drop = 0.0;         // no reply at all
    double corrupt = 0.0;      // the check (CRC or LRC) is wrong
    double wrongAddress = 0.0; // a valid reply, but from the next address
    double noise = 0.0;        // random bytes on the line before the reply
    Micros extraDelay{0};      // added to the response delay of every reply
    int pieces = 1;            // replies are sent in this many pieces ...
    Micros pieceGap{20000};    // ... with this much quiet between them
    LineHabits habits;
};

// What happens to one reply.
struct ReplyFaults {
    bool drop = false;
    bool corrupt = false;
    bool wrongAddress = false;
    bool noise = false;
};

// Decides faults from a seeded generator: the same seed and the same requests give the same faults.
class FaultInjector {
public:
    explicit FaultInjector(std::uint64_t seed) : random_(seed) {}

    [[nodiscard]] FaultSettings& settings() { return settings_; }
    [[nodiscard]] const FaultSettings& settings() const { return settings_; }

    [[nodiscard]] ReplyFaults decide();
    // 1 to 8 random bytes.
    [[nodiscard]] std::vector<std::uint8_t> noiseBytes();

private:
    FaultSettings settings_;
    SimRandom random_;
};

// Spoils the check of an encoded frame: flips a bit of the RTU CRC, or replaces the last LRC digit by
// another upper-case hexadecimal digit (the frame still looks well formed).
void CorruptCheck(bool ascii, std::vector<std::uint8_t>& frame);
// The address a misrouted reply comes from: the next one, 247 wrapping to 1.
[[nodiscard]] std::uint8_t OtherAddress(std::uint8_t address);
// A reply frame as it reaches the master: the stray bytes, the frame, the trailing bytes.
[[nodiscard]] std::vector<std::uint8_t> FrameOnTheLine(const LineHabits& habits,
                                                       std::span<const std::uint8_t> frame);
// Cuts a frame into `pieces` parts of nearly equal size (fewer when the frame is shorter).
[[nodiscard]] std::vector<std::vector<std::uint8_t>> SplitFrame(const std::vector<std::uint8_t>& frame,
                                                                int pieces);

} // namespace hz70::sim
