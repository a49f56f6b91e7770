// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace hz70 {

// Formats `value` with a number mask, the way the chart's axis labels are written:
//   "0"  a digit, or 0 where the number has none      "#"  a digit, or nothing
//   "."  where the decimal separator goes (first one)  ","  group the integer digits by three
//   "E+" "E-" "e+" "e-" followed by "0"s: scientific notation with at least that many exponent digits
//   "..." or '...' text taken as it is; any other character is taken as it is, too.
// Up to three sections split by ";" give the masks for positive, negative and zero values; the
// negative section gets no minus sign of its own, and an empty section falls back to the first.
// An empty mask gives the general form: up to 15 significant digits, scientific outside 1e-5..1e15.
// Numbers of 1e18 and more, infinities and NaN always come out in the general form.
// The separators are the operator's locale's.
[[nodiscard]] std::string FormatFloatMask(std::string_view mask, double value,
                                          std::string_view decimalSeparator, std::string_view groupSeparator);

} // namespace hz70
