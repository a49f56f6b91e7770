// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hz70sim/Bus.h"
#include "hz70sim/FaultInjector.h"

#include <string>
#include <string_view>

namespace hz70::sim {

// The operator's commands on standard input (listed in the help text).
class CommandInterpreter {
public:
    CommandInterpreter(Bus& bus, FaultInjector& faults) : bus_(bus), faults_(faults) {}

    struct Reply {
        std::string text; // ends with a newline when not empty
        bool quit = false;
    };

    // Runs one command line. The caller brings the bus up to date first, so "status" is current.
    [[nodiscard]] Reply execute(std::string_view line);

private:
    [[nodiscard]] std::string setShare(std::string_view name, std::string_view value);
    [[nodiscard]] std::string setDelay(std::string_view value);
    [[nodiscard]] std::string setSplit(std::string_view pieces, std::string_view gap);
    [[nodiscard]] std::string setSilenced(std::string_view target, bool silenced);
    [[nodiscard]] std::string raiseAlarm(std::string_view address, std::string_view kind);
    [[nodiscard]] std::string setManual(std::string_view address, std::string_view percent);
    [[nodiscard]] std::string releaseManual(std::string_view address);
    [[nodiscard]] std::string status() const;
    [[nodiscard]] SlaveDevice* zoneAt(std::string_view address, std::string& error);

    Bus& bus_;
    FaultInjector& faults_;
};

// One line per device as "status" prints it.
[[nodiscard]] std::string DescribeDevice(const SlaveDevice& device);
[[nodiscard]] std::string DescribeFaults(const FaultSettings& faults);

} // namespace hz70::sim
