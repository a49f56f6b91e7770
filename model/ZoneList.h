// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>
#include <string>

namespace hz70 {

inline constexpr int kZoneSlots = 8;
inline constexpr std::size_t kZoneNameLength = 29; // characters

using ZoneAddresses = std::array<int, kZoneSlots>;
using ZoneNames = std::array<std::string, kZoneSlots>;

// "STREFA  1" .. "STREFA  8": the slot number padded to two places with a blank.
[[nodiscard]] inline ZoneNames DefaultZoneNames() {
    ZoneNames names;
    for (unsigned slot = 0; slot < kZoneSlots; ++slot) {
        char text[16];
        std::snprintf(text, sizeof text, "STREFA %2u", slot + 1);
        names[slot] = text;
    }
    return names;
}

// The configured zones. Every list the program writes keeps the first DevCount addresses non-zero and
// the rest 0; a hand-edited settings file may not.
struct ZoneList {
    int DevCount = 1;                              // 0..8
    ZoneAddresses DevAddr{1, 0, 0, 0, 0, 0, 0, 0}; // Modbus address per slot; 0 = no zone
    ZoneNames DevName = DefaultZoneNames();        // UTF-8, at most kZoneNameLength characters

    // DevCount held to the slots there are: what a hand-edited file's count can mean.
    [[nodiscard]] int slotsInUse() const { return std::clamp(DevCount, 0, kZoneSlots); }

    friend bool operator==(const ZoneList&, const ZoneList&) = default;
};

} // namespace hz70
