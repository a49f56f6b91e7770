// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "comm/Trans.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace hz70::cli {

struct CliOptions {
    std::string port = "COM1"; // COM1..COM8 or a device path
    TTransSettings settings;   // COM follows `port` when it is a COM name
    // Which link settings the command line gave: these win over the settings file's.
    bool portGiven = false;
    bool baudGiven = false;
    bool baudGivenAsIndex = false; // "--baud 5" rather than "--baud 9600"
    bool modeGiven = false;
    bool timeoutGiven = false;
    int address = 1;
    std::optional<std::string> settingsDirectory; // the link (and for poll, gateway the zones) from its file
    std::optional<int> seconds;                   // poll: stop after this long (default: until interrupted)
    int firstAddress = 1;                         // scan range
    int lastAddress = 247;
    std::string command;
    std::vector<std::string> arguments;
    bool help = false;
    bool version = false;
    bool trace = false; // every link event on standard error
    bool yes = false;   // settings load, copy: write without asking
    // gateway: the broker and how this line is known on it
    std::string mqttUrl = "mqtt://localhost";
    std::optional<std::string> systemName;   // default: host name and port
    std::optional<std::string> passwordFile; // the password is its first line, never an argument
    std::string caFile;
    std::string certFile;
    std::string keyFile;
    bool haDiscovery = false;
    bool csv = false;                     // gateway: also the poll's CSV on standard output
    bool commands = false;                // gateway: take commands from the broker
    std::optional<std::string> auditFile; // where the commands are logged; default below
};

// Where --commands logs every command unless --audit says: the folder a service manager keeps for the
// service ($STATE_DIRECTORY), else the working folder.
inline constexpr const char* kAuditFileName = "hz70-commands.csv";

// Parses the command line (without the program name) and checks the command's arguments. Returns the
// options or a message for the user.
[[nodiscard]] std::variant<CliOptions, std::string> ParseCliOptions(const std::vector<std::string>& args);

// Parses a whole decimal or 0x-hexadecimal number within [minimum, maximum].
[[nodiscard]] std::optional<long> ParseBoundedNumber(const std::string& text, long minimum, long maximum);

// The index of "COM1".."COM8" in any letter case (0..7), or nothing for any other name.
[[nodiscard]] std::optional<int> ComIndex(const std::string& name);

[[nodiscard]] const char* UsageText();

} // namespace hz70::cli
