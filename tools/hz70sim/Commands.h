// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hz70sim/Bus.h"
#include "hz70sim/FaultInjector.h"

#include <optional>
#include <string>
#include <string_view>

namespace hz70::sim {

// The device itself, which the operator can pull out and put back, and over TCP the master's connection,
// which the operator can drop as a device server does.
class LineSwitch {
public:
    virtual ~LineSwitch() = default;
    [[nodiscard]] virtual bool plugged() const = 0;
    // Each returns why it could not be done, or nothing.
    [[nodiscard]] virtual std::optional<std::string> unplug() = 0;
    [[nodiscard]] virtual std::optional<std::string> plug() = 0;
    [[nodiscard]] virtual std::optional<std::string> disconnect() = 0;
};

// The operator's commands on standard input (listed in the help text).
class CommandInterpreter {
public:
    CommandInterpreter(Bus& bus, FaultInjector& faults, LineSwitch& line)
        : bus_(bus), faults_(faults), line_(line) {}

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
    [[nodiscard]] std::string setEcho(std::string_view value);
    [[nodiscard]] std::string setHabitBytes(std::string_view name, std::string_view value);
    [[nodiscard]] std::string switchLine(bool plugIn);
    [[nodiscard]] std::string setSilenced(std::string_view target, bool silenced);
    [[nodiscard]] std::string raiseAlarm(std::string_view address, std::string_view kind);
    [[nodiscard]] std::string setManual(std::string_view address, std::string_view percent);
    [[nodiscard]] std::string releaseManual(std::string_view address);
    [[nodiscard]] std::string refuseWrites(std::string_view address, std::string_view code);
    [[nodiscard]] std::string status() const;
    [[nodiscard]] SlaveDevice* zoneAt(std::string_view address, std::string& error);

    Bus& bus_;
    FaultInjector& faults_;
    LineSwitch& line_;
};

// One line per device as "status" prints it.
[[nodiscard]] std::string DescribeDevice(const SlaveDevice& device);
[[nodiscard]] std::string DescribeFaults(const FaultSettings& faults);
[[nodiscard]] std::string DescribeLine(const LineHabits& habits, bool plugged);

} // namespace hz70::sim
