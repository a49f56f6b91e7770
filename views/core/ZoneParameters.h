// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/SettingInput.h"
#include "model/Slohz70.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace hz70 {

// Status line texts of the zone parameters dialog.
inline constexpr const char* kNoTransmissionStatus = "Brak transmisji z urządzeniem";
inline constexpr const char* kBadInputStatus = "Błędne dane";
inline constexpr const char* kOutOfRangeStatus = "Wartość poza zakresem";
inline constexpr const char* kRefusedStatus = "Błąd";
inline constexpr const char* kWriteFailedStatus = "Błąd zapisu";

// "Parametry w strefie: <zone name>".
[[nodiscard]] std::string ParametersCaption(const TRegulator& record);

// One list line: the description, a tab that puts the value under its heading, the value as the
// unsigned word and the unit.
[[nodiscard]] std::string SettingLine(const TParametr& row);
// A list line when the settings could not be read: the description only.
[[nodiscard]] std::string SettingNameLine(const TParametr& row);
// The value the input field offers for a setting: its unsigned word.
[[nodiscard]] std::string SettingValueText(const TParametr& row);

// How the dialog reports a write's result.
struct WriteOutcome {
    bool written = false;    // store the value and rebuild the line
    const char* status = ""; // status line text
    bool focusInput = false; // send the operator back to the input field
};
[[nodiscard]] WriteOutcome DescribeWrite(ExchangeResult result, std::uint16_t writeException);

} // namespace hz70
