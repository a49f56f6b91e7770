// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70sim/SimRandom.h"

namespace hz70::sim {

std::uint64_t SimRandom::next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double SimRandom::unit() {
    return static_cast<double>(next() >> 11) * 0x1.0p-53;
}

bool SimRandom::chance(double p) {
    const double draw = unit(); // drawn even for 0 and 1, so a setting does not shift later draws
    return draw < p;
}

std::uint32_t SimRandom::below(std::uint32_t n) {
    return n == 0 ? 0 : static_cast<std::uint32_t>(next() % n);
}

} // namespace hz70::sim
