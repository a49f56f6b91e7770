// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/core/ZoneParameters.h"

#include <charconv>
#include <cstdio>
#include <limits>

namespace hz70 {
namespace {

constexpr int kPowerLimitLine = 3; // PS
constexpr int kFirstPlainLine = 6; // XP; from here on every listed setting has fixed limits
constexpr int kLastListedLine = kSettingsBlock - 1;
constexpr std::uint8_t kIllegalDataValue = 3;

unsigned Word(const TParametr& row) {
    return static_cast<std::uint16_t>(row.raw);
}

std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

} // namespace

std::string ParametersCaption(const TRegulator& record) {
    return "Parametry w strefie: " + record.name;
}

std::string SettingLine(const TParametr& row) {
    char value[16];
    std::snprintf(value, sizeof value, "%-3u", Word(row));
    return std::string(row.description) + " \t " + value + " " + row.unit;
}

std::string SettingNameLine(const TParametr& row) {
    return std::string(row.description) + " ";
}

std::string SettingValueText(const TParametr& row) {
    return std::to_string(Word(row));
}

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

WriteOutcome DescribeWrite(ExchangeResult result, std::uint16_t writeException) {
    if (result == ExchangeResult::kWriteOk) {
        return {true, "", false};
    }
    if (result == ExceptionReplyTo(kWriteSingleRegister)) {
        if (writeException == kIllegalDataValue) {
            return {false, kOutOfRangeStatus, true};
        }
        return {false, kRefusedStatus, false};
    }
    return {false, kWriteFailedStatus, false};
}

} // namespace hz70
