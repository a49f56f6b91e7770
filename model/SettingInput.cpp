// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/SettingInput.h"

#include <charconv>
#include <limits>

namespace hz70 {
namespace {

constexpr int kPowerLimitLine = 3; // PS
constexpr int kFirstPlainLine = 6; // XP; from here on every listed setting has fixed limits
constexpr int kLastListedLine = kSettingsBlock - 1;

std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

} // namespace

bool IsRangeChecked(int line) {
    return line == kPowerLimitLine || (line >= kFirstPlainLine && line <= kLastListedLine);
}

CheckedInput CheckSettingInput(std::string_view text, int line, const TParametr& row) {
    std::string_view number = TrimBlanks(text);
    bool negative = false;
    if (!number.empty() && (number.front() == '-' || number.front() == '+')) {
        negative = number.front() == '-';
        number.remove_prefix(1);
    }
    if (number.empty() || number.find_first_not_of("0123456789") != std::string_view::npos) {
        return {InputVerdict::kNotANumber, 0};
    }
    unsigned long long magnitude = 0;
    const std::errc error = std::from_chars(number.data(), number.data() + number.size(), magnitude).ec;
    const bool tooLarge =
        error == std::errc::result_out_of_range || magnitude > std::numeric_limits<std::uint16_t>::max();
    if ((negative && magnitude != 0) || tooLarge) {
        return {InputVerdict::kOutOfRange, 0};
    }
    const auto word = static_cast<std::uint16_t>(magnitude);
    if (IsRangeChecked(line) && (word < row.min || word > row.max)) {
        return {InputVerdict::kOutOfRange, 0};
    }
    return {InputVerdict::kAccepted, word};
}

} // namespace hz70
