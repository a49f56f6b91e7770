// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace hz70 {

struct TTransSettings;

// Names of the framing modes, in the order of the mode table, as the command-line tools take them.
inline constexpr std::array<std::string_view, 7> kModeNames{
    "ascii-8n1", "ascii-7e1", "ascii-7o1", "rtu-8n2", "rtu-8e1", "rtu-8o1", "rtu-8n1",
};

// A mode given as its table index ("0".."6") or its name (any letter case).
[[nodiscard]] std::optional<int> ModeIndexFromText(std::string_view text);
// A baud rate given as its table index ("0".."9") or as a rate of the table ("9600").
[[nodiscard]] std::optional<int> BaudIndexFromText(std::string_view text);

// "COM1, 9600 bit/s, ascii-8n1": the port as named, the link's rate and its framing.
[[nodiscard]] std::string DescribeLinkSettings(std::string_view port, const TTransSettings& settings);

} // namespace hz70
