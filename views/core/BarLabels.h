// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Slohz70.h"

#include <string>
#include <string_view>
#include <vector>

namespace hz70 {

// Chart titles of the two tabs: the temperatures may be in either unit, the currents are amperes.
inline constexpr const char* kTemperatureTitle = "[°C], [°F]";
inline constexpr const char* kCurrentTitle = "[A]";

// A zone's bar label before its first update: "STREFA1".."STREFA8" by zone index; "" past the eighth.
[[nodiscard]] std::string DefaultBarLabel(int zoneIndex);
// "<name>[°C]" or "<name>[°F]", after the record's unit flag.
[[nodiscard]] std::string TemperatureBarLabel(const TRegulator& record);
// The zone name alone.
[[nodiscard]] std::string CurrentBarLabel(const TRegulator& record);

// A bar's value label, "#,##0.#": digits grouped by three, at most one decimal, with the separators of
// the operator's locale. Meant for the values the controller reports (16-bit words scaled by 0.1).
[[nodiscard]] std::string BarValueText(double value, std::string_view decimalPoint,
                                       std::string_view groupSeparator);

// The chart draws category labels as rich text: the markup that shows `label` as typed, with "<", ">" and
// "&" as themselves and every space kept (as a no-break space).
[[nodiscard]] std::string LabelMarkup(std::string_view label);

// Category texts for a label row: a category axis needs distinct texts, so a repeated label gets
// trailing blanks, which do not show.
[[nodiscard]] std::vector<std::string> DistinctLabels(const std::vector<std::string>& labels);

} // namespace hz70
