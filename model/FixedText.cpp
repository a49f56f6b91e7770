// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/FixedText.h"

#include <charconv>

namespace hz70 {

std::string FixedText(double value, std::size_t width, int decimals) {
    char digits[48]; // below the no-value mark a value has at most 20 integer digits
    char* end = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals).ptr;
    std::string text(digits, end);
    if (text.size() < width) {
        text.insert(0, width - text.size(), ' ');
    }
    return text;
}

} // namespace hz70
