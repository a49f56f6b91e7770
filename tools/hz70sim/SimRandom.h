// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace hz70::sim {

// A small seeded generator (SplitMix64). Its own arithmetic, not a standard distribution, so that a
// seed gives the same faults and the same noise with every compiler and library.
class SimRandom {
public:
    explicit SimRandom(std::uint64_t seed) : state_(seed) {}

    [[nodiscard]] std::uint64_t next();
    // Uniform in [0, 1).
    [[nodiscard]] double unit();
    // True with probability `p` (never for p <= 0, always for p >= 1).
    [[nodiscard]] bool chance(double p);
    // Uniform in [0, n); 0 when n is 0.
    [[nodiscard]] std::uint32_t below(std::uint32_t n);

private:
    std::uint64_t state_;
};

} // namespace hz70::sim
