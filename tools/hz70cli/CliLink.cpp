// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70cli/CliLink.h"

#include "comm/LinkNames.h"
#include "comm/PortNames.h"

#include <system_error>

namespace hz70::cli {
namespace {

namespace fs = std::filesystem;

// Entries of the working directory are shown as "./COM1", as the user would type them.
std::string Shown(const fs::path& path) {
    std::error_code error;
    const fs::path here = fs::current_path(error);
    return !error && path.parent_path() == here ? "./" + path.filename().string() : path.string();
}

// "a link to /dev/pts/3" (and whether its target is there), or nothing for a path that is no link.
std::string LinkTarget(const fs::path& path) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(path, error))) {
        return "";
    }
    const fs::path target = fs::read_symlink(path, error);
    const bool present = fs::exists(path, error);
    return "a link to " + target.string() + (present ? "" : ", which is gone");
}

} // namespace

std::variant<SettingsFolder, std::string> LoadSettingsFolder(const std::string& directory) {
    std::error_code error;
    const fs::file_status status = fs::status(directory, error);
    if (!fs::exists(status)) {
        return "--settings " + directory + ": no such folder";
    }
    if (!fs::is_directory(status)) {
        return "--settings " + directory + ": not a folder";
    }
    const SettingsLoad load = LoadSettingsFile(directory);
    if (load.file.empty()) {
        return "--settings " + directory + ": no settings file " + kSettingsFileName + " in it";
    }
    if (load.error) {
        return "cannot read " + load.file.string() + ": " + load.error.message();
    }
    return SettingsFolder{load.file, load.settings, load.remarks};
}

void TakeFileLink(CliOptions& options, const TTransSettings& fileLink) {
    if (!options.portGiven) {
        options.settings.COM = fileLink.COM;
        options.port = "COM" + std::to_string(fileLink.COM + 1);
    }
    if (!options.baudGiven) {
        options.settings.Baud = fileLink.Baud;
    }
    if (!options.modeGiven) {
        options.settings.Mode = fileLink.Mode;
    }
    if (!options.timeoutGiven) {
        options.settings.Timeout = fileLink.Timeout;
    }
    options.settings.Type = fileLink.Type;
}

std::string DescribeLink(const CliOptions& options) {
    const TTransSettings& s = options.settings;
    const ReplyTimeoutChoice timeout = ChooseReplyTimeout(s);
    std::string why;
    if (timeout.source == ReplyTimeoutChoice::Source::BaudDefault) {
        why = " (the baud rate's default)";
    } else if (timeout.source == ReplyTimeoutChoice::Source::Capped) {
        why = " (the longest there is; " + std::to_string(s.Timeout) + " ms asked for)";
    }
    return DescribeLinkSettings(options.port, s) + ", time-out " + std::to_string(timeout.ms) + " ms" + why;
}

std::string DescribeRemark(const SettingsRemark& remark) {
    const std::string line = remark.key + "=" + remark.value;
    const std::string used = remark.used ? "; " + std::to_string(*remark.used) + " used" : "";
    switch (remark.kind) {
    case SettingsRemark::Kind::NotANumber:
        return line + " is not a number" + used;
    case SettingsRemark::Kind::Mended:
        return line + " is out of range" + used;
    case SettingsRemark::Kind::UnknownKey:
        return remark.key + " is no key of the settings file; its line is ignored";
    }
    return line;
}

PortReport DescribePort(const std::string& name) {
#ifdef _WIN32
    if (name.rfind("tcp:", 0) == 0) {
        return {name + ": lines behind an Ethernet converter (tcp:HOST:PORT) are reached from Linux only",
                false};
    }
#else
    if (IsTcpPortName(name)) {
        const auto endpoint = ParseTcpPortName(name);
        const auto* refusal = std::get_if<std::string>(&endpoint);
        return {refusal ? *refusal : "", refusal == nullptr};
    }
#endif
    const auto com = ComIndex(name);
    if (!com) {
        const std::string link = LinkTarget(name);
        return {link.empty() ? "" : name + " is " + link, true};
    }
    if (const auto device = ResolveComName(name)) {
        const std::string link = LinkTarget(*device);
        return {name + " is " + Shown(*device) + (link.empty() ? "" : ", " + link), true};
    }
    std::string places;
    for (const fs::path& candidate : ComNameCandidates(*com + 1)) {
        places += (places.empty() ? "" : ", ") + Shown(candidate);
    }
    return {name + " leads to no device: none of " + places + " exists", false};
}

PortDevice::PortDevice(const std::string& portName) : device_(Choose(portName)) {}

PortDevice::Device PortDevice::Choose(const std::string& portName) {
#ifndef _WIN32
    if (IsTcpPortName(portName)) {
        return Device(std::in_place_type<TcpSerialPort>, portName);
    }
#endif
    const bool comName = ComIndex(portName).has_value();
    return Device(std::in_place_type<PlatformSerialPort>,
                  comName ? std::nullopt : std::optional<std::string>(portName));
}

SerialPort& PortDevice::port() {
    return std::visit([](SerialPort& device) -> SerialPort& { return device; }, device_);
}

const std::string& PortDevice::lastError() const {
    return std::visit([](const auto& device) -> const std::string& { return device.lastError(); }, device_);
}

} // namespace hz70::cli
