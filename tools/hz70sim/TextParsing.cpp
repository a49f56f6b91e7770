// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70sim/TextParsing.h"

#include <algorithm>
#include <charconv>

namespace hz70::sim {

namespace {

constexpr long long kMaxAddress = 247;

template <typename T>
std::optional<T> ParseWhole(std::string_view text) {
    T value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc{} || stop != end) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::optional<long long> ParseInteger(std::string_view text, long long min, long long max) {
    const std::optional<long long> value = ParseWhole<long long>(text);
    if (!value || *value < min || *value > max) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> ParseNumber(std::string_view text, double min, double max) {
    const std::optional<double> value = ParseWhole<double>(text);
    if (!value || !(*value >= min && *value <= max)) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::uint8_t> ParseAddress(std::string_view text) {
    const std::optional<long long> value = ParseInteger(text, 1, kMaxAddress);
    if (!value) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(*value);
}

std::optional<std::vector<std::uint8_t>> ParseAddressList(std::string_view text) {
    std::vector<std::uint8_t> addresses;
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        const std::size_t dash = item.find('-');
        const std::optional<std::uint8_t> first = ParseAddress(item.substr(0, dash));
        const std::optional<std::uint8_t> last =
            dash == std::string_view::npos ? first : ParseAddress(item.substr(dash + 1));
        if (!first || !last || *last < *first) {
            return std::nullopt;
        }
        for (int address = *first; address <= *last; ++address) {
            addresses.push_back(static_cast<std::uint8_t>(address));
        }
        if (comma == std::string_view::npos) {
            break;
        }
        text.remove_prefix(comma + 1);
    }
    std::sort(addresses.begin(), addresses.end());
    addresses.erase(std::unique(addresses.begin(), addresses.end()), addresses.end());
    return addresses;
}

std::string FormatAddressList(const std::vector<std::uint8_t>& addresses) {
    std::string text;
    for (std::size_t i = 0; i < addresses.size();) {
        std::size_t last = i;
        while (last + 1 < addresses.size() && addresses[last + 1] == addresses[last] + 1) {
            ++last;
        }
        text += (text.empty() ? "" : ",") + std::to_string(addresses[i]);
        if (last > i) {
            text += "-" + std::to_string(addresses[last]);
        }
        i = last + 1;
    }
    return text;
}

std::optional<long long> ParseMillisecondsOrOff(std::string_view text, long long max) {
    return text == "off" ? 0 : ParseInteger(text, 0, max);
}

std::optional<std::vector<std::uint8_t>> ParseHexBytesOrOff(std::string_view text, std::size_t maxBytes) {
    if (text == "off") {
        return std::vector<std::uint8_t>{};
    }
    if (text.size() % 2 != 0 || text.size() / 2 > maxBytes) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        std::uint8_t byte = 0;
        const char* end = text.data() + i + 2;
        const auto [stop, error] = std::from_chars(text.data() + i, end, byte, 16);
        if (error != std::errc{} || stop != end) {
            return std::nullopt;
        }
        bytes.push_back(byte);
    }
    return bytes;
}

std::string FormatHexBytes(std::span<const std::uint8_t> bytes) {
    constexpr std::string_view kDigits = "0123456789ABCDEF";
    std::string text;
    for (const std::uint8_t byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text.empty() ? "-" : text;
}

std::vector<std::string_view> SplitWords(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t pos = 0;
    while (true) {
        pos = text.find_first_not_of(" \t\r\n", pos);
        if (pos == std::string_view::npos) {
            return words;
        }
        const std::size_t end = std::min(text.find_first_of(" \t\r\n", pos), text.size());
        words.push_back(text.substr(pos, end - pos));
        pos = end;
    }
}

} // namespace hz70::sim
