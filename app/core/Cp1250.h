// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace hz70 {

// Windows-1250 bytes to UTF-8. Every byte stands for one character (the five bytes the code page leaves
// undefined for the C1 controls of the same number), so any bytes convert and convert back unchanged.
[[nodiscard]] std::string Cp1250ToUtf8(std::string_view bytes);

// UTF-8 to Windows-1250 bytes. A character the code page cannot hold, and each byte of malformed UTF-8,
// becomes '?'.
[[nodiscard]] std::string Utf8ToCp1250(std::string_view text);

// UTF-8 text without the characters the code page cannot hold and without malformed bytes: what is left
// converts to Windows-1250 and back unchanged.
[[nodiscard]] std::string KeepCp1250Characters(std::string_view text);

} // namespace hz70
