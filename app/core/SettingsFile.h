// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "comm/Trans.h"
#include "model/ChartSettings.h"
#include "model/ZoneList.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace hz70 {

// Everything the settings file holds; default-constructed it is what the program starts from.
struct ProgramSettings {
    TTransSettings link{0, 5, 0, 0, 1000};
    ZoneList zones;
    ChartSettings chart;

    friend bool operator==(const ProgramSettings&, const ProgramSettings&) = default;
};

inline constexpr const char* kSettingsFileName = "HZ70wiz.INI";
// Far above any file the program writes; keeps a stray huge file from exhausting memory.
inline constexpr std::size_t kMaxSettingsFileSize = 1 << 20;

// An optionally signed decimal number, or hexadecimal after "$" or "0x", with blanks allowed in front
// and nothing after the digits. A decimal number must lie in the signed 32-bit range; a hexadecimal one
// may use all 32 bits and wraps like a 32-bit integer ("$FFFFFFFF" is -1). Anything else, the empty
// text included, is not one.
[[nodiscard]] std::optional<int> ParseInteger(std::string_view text);

// A line that reading did not take as written, for telling the user.
struct SettingsRemark {
    enum class Kind {
        NotANumber, // a number's value is not an integer: the default stays
        Mended,     // a value the program cannot use: replaced
        UnknownKey, // no key of the settings file: nothing is taken from the line
    };
    Kind kind;
    std::string key;         // NotANumber, Mended: the key's usual spelling; UnknownKey: as written
    std::string value;       // as written (UTF-8)
    std::optional<int> used; // NotANumber, Mended: the value taken instead

    friend bool operator==(const SettingsRemark&, const SettingsRemark&) = default;
};

// Reads the file's bytes (Windows-1250, any line ends) over the defaults. Values that would break the
// program are mended: link indexes outside the link's tables go back to their defaults and DevCount
// is held to 0..8. What was not taken as written is added to `remarks`, in the order of the keys.
[[nodiscard]] ProgramSettings ParseSettingsFile(std::string_view bytes,
                                                std::vector<SettingsRemark>* remarks = nullptr);

// The file's bytes: the 17 lines in their fixed order, each ended by CR LF, in Windows-1250.
[[nodiscard]] std::string FormatSettingsFile(const ProgramSettings& settings);

// The settings file in `directory`, its name matched without regard to letter case.
[[nodiscard]] std::optional<std::filesystem::path> FindSettingsFile(const std::filesystem::path& directory);

struct SettingsLoad {
    ProgramSettings settings;
    std::filesystem::path file; // the file found; empty when there is none
    std::error_code error;      // the file exists but could not be read whole (or is too large)
    std::vector<SettingsRemark> remarks;
};

// Reads the settings file of `directory` over the defaults. No file is not an error. Of a file that
// could not be read whole, the whole lines read before the failure (the first kMaxSettingsFileSize
// bytes of a larger one) are taken over the defaults.
[[nodiscard]] SettingsLoad LoadSettingsFile(const std::filesystem::path& directory);

// Writes the settings file of `directory` (replacing the one found, else creating kSettingsFileName),
// by a new file renamed over the old one where that can be done, else in place.
[[nodiscard]] std::error_code SaveSettingsFile(const std::filesystem::path& directory,
                                               const ProgramSettings& settings);

} // namespace hz70
