// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Slohz70.h"

#include <cstdint>
#include <string_view>

namespace hz70 {

// The check every new value for a controller setting passes, whoever typed it: the operator in the
// parameters dialog or a command from elsewhere.

// Settings lines whose limits do not depend on the temperature unit; the others are left to the controller.
[[nodiscard]] bool IsRangeChecked(int line);

enum class InputVerdict { kAccepted, kNotANumber, kOutOfRange };

struct CheckedInput {
    InputVerdict verdict = InputVerdict::kNotANumber;
    std::uint16_t word = 0; // what to write when accepted
};

// Checks the text for settings line `line`. A decimal integer (optional sign, blanks around it) is
// required; it must fit a register word (0..65535) - a larger number is refused rather than cut to its
// low 16 bits, which would write a value nobody typed - and, on range-checked lines, the row's limits.
[[nodiscard]] CheckedInput CheckSettingInput(std::string_view text, int line, const TParametr& row);

} // namespace hz70
