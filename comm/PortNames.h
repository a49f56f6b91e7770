// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace hz70 {

// Where "COMn" (n = 1..8) leads on Linux, first that exists: an entry named "COMn" in the working
// directory (a link the operator or the simulator makes), then /dev/ttyUSB{n-1}, /dev/ttyACM{n-1},
// /dev/ttyS{n-1}. Names that are not COM1..COM8 are returned unchanged (a device path).
[[nodiscard]] std::optional<std::filesystem::path> ResolveComName(const std::string& name);

// The places ResolveComName looks at for "COMn", in order.
[[nodiscard]] std::vector<std::filesystem::path> ComNameCandidates(int comNumber);

} // namespace hz70
