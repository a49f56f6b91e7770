// SPDX-License-Identifier: GPL-3.0-or-later
#include "comm/ModbusChecksum.h"

namespace hz70 {

std::uint16_t Crc16Update(std::uint16_t crc, std::uint8_t byte) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) {
        const bool carry = (crc & 1u) != 0;
        crc = static_cast<std::uint16_t>(crc >> 1);
        if (carry) {
            crc ^= 0xA001;
        }
    }
    return crc;
}

std::uint16_t Crc16(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = kCrc16Initial;
    for (const std::uint8_t byte : bytes) {
        crc = Crc16Update(crc, byte);
    }
    return crc;
}

std::uint8_t Lrc(std::span<const std::uint8_t> bytes) {
    std::uint8_t sum = 0;
    for (const std::uint8_t byte : bytes) {
        sum = static_cast<std::uint8_t>(sum + byte);
    }
    return static_cast<std::uint8_t>(-sum);
}

char HexDigit(unsigned nibble) {
    return "0123456789ABCDEF"[nibble & 0xFu];
}

int HexValue(std::uint8_t character) {
    if (character >= '0' && character <= '9') {
        return character - '0';
    }
    if (character >= 'A' && character <= 'F') {
        return character - 'A' + 10;
    }
    return -1;
}

} // namespace hz70
