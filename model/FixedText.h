// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>

namespace hz70 {

// printf's "%<width>.<decimals>f", but always with a point: printf takes the decimal separator from
// LC_NUMERIC, which the windowing toolkit sets from the desktop's language.
[[nodiscard]] std::string FixedText(double value, std::size_t width, int decimals);

} // namespace hz70
