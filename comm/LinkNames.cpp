// SPDX-License-Identifier: GPL-3.0-or-later
#include "comm/LinkNames.h"

#include "comm/Trans.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace hz70 {
namespace {

std::optional<int> WholeNumber(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

} // namespace

std::optional<int> ModeIndexFromText(std::string_view text) {
    if (const auto index = WholeNumber(text)) {
        return *index >= 0 && *index < static_cast<int>(kModeNames.size()) ? index : std::nullopt;
    }
    const auto named = std::find_if(kModeNames.begin(), kModeNames.end(),
                                    [text](std::string_view name) { return SameIgnoringCase(name, text); });
    return named == kModeNames.end() ? std::nullopt : std::optional<int>(named - kModeNames.begin());
}

std::optional<int> BaudIndexFromText(std::string_view text) {
    const auto number = WholeNumber(text);
    if (!number) {
        return std::nullopt;
    }
    if (*number >= 0 && *number < static_cast<int>(kBaudTable.size())) {
        return number;
    }
    const auto rate = std::find_if(kBaudTable.begin(), kBaudTable.end(),
                                   [&](const BaudEntry& entry) { return entry.rate == *number; });
    return rate == kBaudTable.end() ? std::nullopt : std::optional<int>(rate - kBaudTable.begin());
}

std::string DescribeLinkSettings(std::string_view port, const TTransSettings& settings) {
    return std::string(port) + ", " + kBaudTable[static_cast<std::size_t>(settings.Baud)].text + " bit/s, " +
           std::string(kModeNames[static_cast<std::size_t>(settings.Mode)]);
}

} // namespace hz70
