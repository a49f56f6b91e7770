// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/AlarmSettings.h"

#include "app/core/FileAccess.h"

#include <sstream>
#include <string>

namespace hz70 {
namespace {

constexpr std::size_t kMaxFileSize = 4096;
constexpr const char* kSoundKey = "Sound=";

} // namespace

AlarmSettings LoadAlarmSettings(const std::filesystem::path& directory) {
    AlarmSettings settings;
    std::error_code error;
    std::istringstream text(ReadSmallFile(directory / kAlarmSettingsFileName, kMaxFileSize, error));
    std::string line;
    while (!error && std::getline(text, line)) {
        if (line.ends_with('\r')) {
            line.pop_back();
        }
        if (line.starts_with(kSoundKey)) {
            settings.sound = line == std::string(kSoundKey) + "1";
        }
    }
    return settings;
}

std::error_code SaveAlarmSettings(const std::filesystem::path& directory, const AlarmSettings& settings) {
    return ReplaceFileContent(directory / kAlarmSettingsFileName,
                              std::string(kSoundKey) + (settings.sound ? "1" : "0") + "\n");
}

} // namespace hz70
