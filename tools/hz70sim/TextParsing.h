// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace hz70::sim {

// Whole-text conversions: surrounding text, signs where none belong and out-of-range values give nothing.
[[nodiscard]] std::optional<long long> ParseInteger(std::string_view text, long long min, long long max);
[[nodiscard]] std::optional<double> ParseNumber(std::string_view text, double min, double max);
// A slave address, 1..247.
[[nodiscard]] std::optional<std::uint8_t> ParseAddress(std::string_view text);
// "1,2,3", "1-8" or a mix ("1-4,9"): addresses in ascending order without repeats.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> ParseAddressList(std::string_view text);
// The reverse of ParseAddressList, with runs as ranges: "1-3,9".
[[nodiscard]] std::string FormatAddressList(const std::vector<std::uint8_t>& addresses);
// Milliseconds from 0 to `max`; "off" is 0.
[[nodiscard]] std::optional<long long> ParseMillisecondsOrOff(std::string_view text, long long max);
// Hexadecimal bytes, two digits each in either case ("FF00"), at most `maxBytes`; "off" or nothing is
// no bytes.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> ParseHexBytesOrOff(std::string_view text,
                                                                          std::size_t maxBytes);
// "FF00", or "-" for no bytes.
[[nodiscard]] std::string FormatHexBytes(std::span<const std::uint8_t> bytes);
// Splits on runs of blanks.
[[nodiscard]] std::vector<std::string_view> SplitWords(std::string_view text);

} // namespace hz70::sim
