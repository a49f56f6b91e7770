// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string_view>

namespace hz70 {

// The length of the well-formed UTF-8 sequence at `at` (RFC 3629: no overlong forms, no surrogates,
// nothing above U+10FFFF), or 0 for a byte that starts none.
[[nodiscard]] std::size_t Utf8Length(std::string_view text, std::size_t at);

} // namespace hz70
