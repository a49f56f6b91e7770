// SPDX-License-Identifier: GPL-3.0-or-later
#include "comm/PortNames.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace hz70 {
namespace {

constexpr int kFirstCom = 1;
constexpr int kLastCom = 8;

// "COM" and a number from 1 to 999, in any letter case, as Windows names its serial ports.
bool IsWindowsComName(const std::string& name) {
    const auto upper = [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); };
    const auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    return name.size() >= 4 && name.size() <= 6 && upper(name[0]) == 'C' && upper(name[1]) == 'O' &&
           upper(name[2]) == 'M' && name[3] != '0' && std::all_of(name.begin() + 3, name.end(), digit);
}

} // namespace

std::optional<int> ComNumber(const std::string& name) {
    if (!IsWindowsComName(name) || name.size() != 4) {
        return std::nullopt;
    }
    const int number = name[3] - '0';
    if (number < kFirstCom || number > kLastCom) {
        return std::nullopt;
    }
    return number;
}

std::string WindowsDeviceName(const std::string& name) {
    return IsWindowsComName(name) ? "\\\\.\\" + name : name;
}

#ifdef _WIN32

std::vector<std::filesystem::path> ComNameCandidates(int comNumber) {
    if (comNumber < kFirstCom || comNumber > kLastCom) {
        return {};
    }
    return {WindowsDeviceName("COM" + std::to_string(comNumber))};
}

std::optional<std::filesystem::path> ResolveComName(const std::string& name) {
    return std::filesystem::path(WindowsDeviceName(name));
}

#else

namespace {

std::filesystem::path WorkingDirectoryEntry(const std::string& entry) {
    std::error_code error;
    const auto directory = std::filesystem::current_path(error);
    return error ? std::filesystem::path(entry) : directory / entry;
}

// The working-directory entry counts even when it is a dangling link: the operator meant that port, and
// quietly falling through to a /dev device could talk to a different bus.
bool EntryPresent(const std::filesystem::path& path, bool isWorkingDirectoryEntry) {
    std::error_code error;
    return isWorkingDirectoryEntry ? std::filesystem::exists(std::filesystem::symlink_status(path, error))
                                   : std::filesystem::exists(path, error);
}

} // namespace

std::vector<std::filesystem::path> ComNameCandidates(int comNumber) {
    if (comNumber < kFirstCom || comNumber > kLastCom) {
        return {};
    }
    const std::string index = std::to_string(comNumber - 1);
    return {
        WorkingDirectoryEntry("COM" + std::to_string(comNumber)),
        "/dev/ttyUSB" + index,
        "/dev/ttyACM" + index,
        "/dev/ttyS" + index,
    };
}

std::optional<std::filesystem::path> ResolveComName(const std::string& name) {
    const auto number = ComNumber(name);
    if (!number) {
        return std::filesystem::path(name);
    }
    const auto candidates = ComNameCandidates(*number);
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (EntryPresent(candidates[i], i == 0)) {
            return candidates[i];
        }
    }
    return std::nullopt;
}

#endif

} // namespace hz70
