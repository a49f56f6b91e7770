// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "comm/ModbusChecksum.h"
#include "support/FakeSerialPort.h"

namespace hz70::test {

// An RTU frame: `frame` followed by its CRC, low byte first.
inline Bytes WithCrc(Bytes frame) {
    const std::uint16_t crc = Crc16(frame);
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

} // namespace hz70::test
