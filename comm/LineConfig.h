// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string_view>

namespace hz70 {

// The character format of the line, as built from a "9600,N,8,1"-style text. Flow control is always
// off; the link drives RTS itself (or lets the driver raise it while sending).
struct LineConfig {
    int baudRate = 9600;
    char parity = 'N'; // 'N', 'E', 'O', 'M' or 'S'
    int dataBits = 8;  // 5..8
    int stopBits = 1;  // 1 or 2
    bool rtsWhileSending = false;

    friend bool operator==(const LineConfig&, const LineConfig&) = default;
};

// Parses "rate,parity,data,stop" (parity letter in either case). Returns nothing when any field is
// missing, malformed or out of range, so a bad text never reaches the port.
[[nodiscard]] std::optional<LineConfig> ParseLineConfig(std::string_view text);

} // namespace hz70
