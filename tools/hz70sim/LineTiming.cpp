// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70sim/LineTiming.h"

#include <algorithm>
#include <array>

namespace hz70::sim {

namespace {

constexpr std::array kModes{
    LineMode{0, true, 'N', 8, 1},  LineMode{1, true, 'E', 7, 1},  LineMode{2, true, 'O', 7, 1},
    LineMode{3, false, 'N', 8, 2}, LineMode{4, false, 'E', 8, 1}, LineMode{5, false, 'O', 8, 1},
    LineMode{6, false, 'N', 8, 1},
};

constexpr std::array kBaudRates{300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

constexpr Micros kMinimumFrameSilence{4000};

} // namespace

std::string LineMode::text() const {
    return std::string{parity} + ',' + std::to_string(dataBits) + ',' + std::to_string(stopBits);
}

std::optional<LineMode> LineModeFromIndex(int index) {
    if (index < 0 || index >= static_cast<int>(kModes.size())) {
        return std::nullopt;
    }
    return kModes[static_cast<std::size_t>(index)];
}

bool IsSupportedBaudRate(int baud) {
    return std::find(kBaudRates.begin(), kBaudRates.end(), baud) != kBaudRates.end();
}

Micros CharacterTime(const LineMode& mode, int baud) {
    const long long bits = mode.bitsPerCharacter();
    return Micros{(bits * 1'000'000 + baud - 1) / baud};
}

Micros FrameSilence(const LineMode& mode, int baud) {
    const Micros threeAndHalf = CharacterTime(mode, baud) * 7 / 2;
    return std::max(threeAndHalf, kMinimumFrameSilence);
}

} // namespace hz70::sim
