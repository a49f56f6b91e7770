// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace hz70 {

// 1..8 for "COM1".."COM8" in any letter case ("com1" is COM1, as on Windows); nothing for other names.
[[nodiscard]] std::optional<int> ComNumber(const std::string& name);

// Where "COMn" (n = 1..8, any letter case) leads on Linux, first that exists: an entry named "COMn" in the
// working directory (a link the operator or the simulator makes), then /dev/ttyUSB{n-1}, /dev/ttyACM{n-1},
// /dev/ttyS{n-1}. Names that are not COM1..COM8 are returned unchanged (a device path). On Windows the
// name is the device: "COMn" leads to WindowsDeviceName's form whether or not the port exists.
[[nodiscard]] std::optional<std::filesystem::path> ResolveComName(const std::string& name);

// The places ResolveComName looks at for "COMn", in order.
[[nodiscard]] std::vector<std::filesystem::path> ComNameCandidates(int comNumber);

// The name Windows opens a port by: "COMn" (any number, any letter case) becomes "\\.\COMn", which
// reaches COM10 and above as well; any other name (already "\\.\..." or another device) is kept.
[[nodiscard]] std::string WindowsDeviceName(const std::string& name);

} // namespace hz70
