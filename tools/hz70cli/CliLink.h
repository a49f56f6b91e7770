// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/core/SettingsFile.h"
#include "comm/PlatformSerialPort.h"
#include "hz70cli/CliOptions.h"
#ifndef _WIN32
#include "comm/TcpSerialPort.h"
#endif

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

// Where the port name leads, in words; `found` is false when a COM name leads to no device or a
// "tcp:" name is malformed (the text says why). The text is empty for a device path that is no link and
// for a converter's address: the user named the device itself.
struct PortReport {
    std::string text;
    bool found = true;
};
[[nodiscard]] PortReport DescribePort(const std::string& name);

// The device --port names, which every open of the link's "COMn" goes to: a line behind an Ethernet
// converter for "tcp:HOST:PORT" (not on Windows), otherwise the platform's serial port (a COM name
// through the link's own lookup, any other name as the device itself).
class PortDevice {
public:
    explicit PortDevice(const std::string& portName);

    [[nodiscard]] SerialPort& port();
    // Why the last open failed, naming the device.
    [[nodiscard]] const std::string& lastError() const;

private:
#ifdef _WIN32
    using Device = std::variant<PlatformSerialPort>;
#else
    using Device = std::variant<PlatformSerialPort, TcpSerialPort>;
#endif
    [[nodiscard]] static Device Choose(const std::string& portName);

    Device device_;
};

} // namespace hz70::cli
