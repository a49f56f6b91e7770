// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace hz70 {

// CRC-16 of Modbus RTU: initial 0xFFFF, reflected polynomial 0xA001. Sent low byte first; the CRC of a
// frame including its own check bytes is 0.
inline constexpr std::uint16_t kCrc16Initial = 0xFFFF;
[[nodiscard]] std::uint16_t Crc16Update(std::uint16_t crc, std::uint8_t byte);
[[nodiscard]] std::uint16_t Crc16(std::span<const std::uint8_t> bytes);

// LRC of Modbus ASCII: the two's complement of the 8-bit sum of the bytes.
[[nodiscard]] std::uint8_t Lrc(std::span<const std::uint8_t> bytes);

// Upper-case hexadecimal digit of a nibble, and the value of an upper-case digit (-1 for anything else,
// lower case included).
[[nodiscard]] char HexDigit(unsigned nibble);
[[nodiscard]] int HexValue(std::uint8_t character);

} // namespace hz70
