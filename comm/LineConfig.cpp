// SPDX-License-Identifier: GPL-3.0-or-later
#include "comm/LineConfig.h"

#include <array>
#include <cctype>
#include <charconv>
#include <string>

namespace hz70 {
namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())) != 0) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())) != 0) {
        text.remove_suffix(1);
    }
    return text;
}

std::optional<int> ParseNumber(std::string_view text) {
    text = Trim(text);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::optional<LineConfig> ParseLineConfig(std::string_view text) {
    std::array<std::string_view, 4> fields;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::size_t comma = text.find(',');
        const bool last = i + 1 == fields.size();
        if (last != (comma == std::string_view::npos)) {
            return std::nullopt;
        }
        fields[i] = last ? text : text.substr(0, comma);
        text.remove_prefix(last ? text.size() : comma + 1);
    }

    LineConfig config;
    const auto rate = ParseNumber(fields[0]);
    const auto dataBits = ParseNumber(fields[2]);
    const auto stopBits = ParseNumber(fields[3]);
    const std::string_view parity = Trim(fields[1]);
    if (!rate || *rate <= 0 || !dataBits || *dataBits < 5 || *dataBits > 8 || !stopBits ||
        (*stopBits != 1 && *stopBits != 2) || parity.size() != 1) {
        return std::nullopt;
    }
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(parity.front())));
    if (std::string_view("NEOMS").find(letter) == std::string_view::npos) {
        return std::nullopt;
    }
    config.baudRate = *rate;
    config.parity = letter;
    config.dataBits = *dataBits;
    config.stopBits = *stopBits;
    return config;
}

} // namespace hz70
