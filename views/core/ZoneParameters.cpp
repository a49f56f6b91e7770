// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/core/ZoneParameters.h"

#include <cstdio>

namespace hz70 {
namespace {

constexpr std::uint8_t kIllegalDataValue = 3;

unsigned Word(const TParametr& row) {
    return static_cast<std::uint16_t>(row.raw);
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
