// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "publish/BrokerSettings.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace hz70 {

// Whether and where the program publishes its zones. Kept in a file of its own beside the settings
// file, which stays as it always was; the file holds the broker's password, so only its owner may read it.
struct PublishingSettings {
    bool enabled = false;
    publish::BrokerSettings broker;
};

inline constexpr const char* kPublishingFileName = "HZ70wiz-mqtt.ini";
// Beside it: every command taken from the broker, while that is on.
inline constexpr const char* kCommandAuditFileName = "HZ70wiz-polecenia.csv";
inline constexpr std::size_t kMaxPublishingFileSize = 64 * 1024;

// Why `system` cannot name the line in topics, in Polish words that follow the name ("zawiera znak
// ..."); empty when it can.
[[nodiscard]] std::string SystemNameFault(std::string_view system);

// The file's text: one key=value line per setting, UTF-8, LF line ends.
[[nodiscard]] std::string FormatPublishingFile(const PublishingSettings& settings);

// Reads the file's text over the defaults (publishing off). A line that cannot be taken as written is
// left out and said in `remarks` ("wiersz 3: ..."), never with the password; a broker address that
// cannot be used turns publishing off.
[[nodiscard]] PublishingSettings ParsePublishingFile(std::string_view text,
                                                     std::vector<std::string>* remarks = nullptr);

struct PublishingLoad {
    PublishingSettings settings;
    std::error_code error; // the file exists but could not be read whole
    std::vector<std::string> remarks;
};

// The publishing file of `directory`; none means publishing off, and is no error.
[[nodiscard]] PublishingLoad LoadPublishingFile(const std::filesystem::path& directory);

// Writes the publishing file of `directory`, readable by its owner alone from the first byte.
[[nodiscard]] std::error_code SavePublishingFile(const std::filesystem::path& directory,
                                                 const PublishingSettings& settings);

} // namespace hz70
