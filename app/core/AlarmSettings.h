// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <system_error>

namespace hz70 {

// The alarm window's choices. Kept in a file of their own beside the settings file, whose keys other
// tools read and which therefore stays as it always was.
struct AlarmSettings {
    bool sound = false; // a new alarm sounds
};

inline constexpr const char* kAlarmSettingsFileName = "HZ70wiz-alarmy.ini";

// The alarm settings file of `directory`; the defaults when there is none or it cannot be read.
[[nodiscard]] AlarmSettings LoadAlarmSettings(const std::filesystem::path& directory);

// Writes the alarm settings file of `directory`: "Sound=0" or "Sound=1".
[[nodiscard]] std::error_code SaveAlarmSettings(const std::filesystem::path& directory,
                                                const AlarmSettings& settings);

} // namespace hz70
