// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/core/SettingsFile.h"
#include "hz70cli/CliOptions.h"

#include <filesystem>
#include <string>
#include <variant>
#include <vector>

namespace hz70::cli {

// A settings folder's file, read whole.
struct SettingsFolder {
    std::filesystem::path file;
    ProgramSettings settings;
    std::vector<SettingsRemark> remarks;
};

// The settings file of `directory`, or why it cannot be used: a folder that is missing, holds no
// settings file, or whose file cannot be read whole. Half a file would quietly poll the wrong zones.
[[nodiscard]] std::variant<SettingsFolder, std::string> LoadSettingsFolder(const std::string& directory);

// Takes the file's link for every link setting the command line did not give.
void TakeFileLink(CliOptions& options, const TTransSettings& fileLink);

// "COM1, 9600 bit/s, ascii-8n1, time-out 1500 ms", the time-out as the link will use it and, when that
// is not the one given, why.
[[nodiscard]] std::string DescribeLink(const CliOptions& options);

// "Baud=12 is out of range; 5 used": what reading the settings file made of one of its lines.
[[nodiscard]] std::string DescribeRemark(const SettingsRemark& remark);

// Where the port name leads, in words; `found` is false when a COM name leads to no device. The text
// is empty for a device path that is no link: the user named the device itself.
struct PortReport {
    std::string text;
    bool found = true;
};
[[nodiscard]] PortReport DescribePort(const std::string& name);

} // namespace hz70::cli
