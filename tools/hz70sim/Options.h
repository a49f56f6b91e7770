// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hz70sim/Bus.h"
#include "hz70sim/FaultInjector.h"
#include "hz70sim/LineTiming.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace hz70::sim {

struct SimOptions {
    std::optional<std::string> link;   // make a pseudo-terminal and this link to its slave side
    std::optional<std::string> device; // or serve this serial device
    std::optional<int> tcpPort;        // or listen on this loopback TCP port (0: a free one)
    int mode = 0;
    int baud = 9600;
    Micros responseDelay{5000};
    BusSetup bus;
    FaultSettings faults;
    std::vector<std::uint8_t> silenced;
    std::optional<std::string> logPath;
    bool help = false;
    bool version = false;
};

struct OptionsResult {
    SimOptions options;
    std::string error; // empty when the command line was good
};

// Parses the arguments after the program name. "--name value" and "--name=value" are both accepted.
[[nodiscard]] OptionsResult ParseOptions(std::span<const std::string_view> args);

[[nodiscard]] std::string HelpText();

} // namespace hz70::sim
