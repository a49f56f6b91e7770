// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70sim/Commands.h"

#include "hz70sim/TextParsing.h"

#include <array>
#include <cstdio>
#include <utility>

namespace hz70::sim {

namespace {

constexpr std::string_view kCommandHelp =
    "commands: drop P | corrupt P | wrongaddr P | noise P | delay MS | split N [GAP_MS] |\n"
    "          echo on|off | stray HEX|off | trail HEX|off | late MS|off | unplug | plug |\n"
    "          disconnect |\n"
    "          silence ADDR|all | revive ADDR|all | alarm ADDR KIND | manual ADDR PERCENT |\n"
    "          auto ADDR | refuse ADDR CODE|off | status | help | quit\n"
    "alarm kinds: sensor-open sensor-short load-open load-short leakage fuse ssr clear\n";

constexpr long long kMaxDelayMs = 60'000;

constexpr std::array<std::pair<std::string_view, ZoneFault>, kZoneFaultCount> kFaultNames{{
    {"sensor-open", ZoneFault::SensorOpen},
    {"sensor-short", ZoneFault::SensorShort},
    {"load-open", ZoneFault::LoadOpen},
    {"load-short", ZoneFault::LoadShort},
    {"leakage", ZoneFault::Leakage},
    {"fuse", ZoneFault::Fuse},
    {"ssr", ZoneFault::Ssr},
}};

std::string Printf(const char* format, auto... values) {
    std::array<char, 256> buffer{};
    const int length = std::snprintf(buffer.data(), buffer.size(), format, values...);
    return std::string(buffer.data(), static_cast<std::size_t>(std::max(length, 0)));
}

std::string Error(std::string_view text) {
    return "error: " + std::string(text) + "\n";
}

} // namespace

CommandInterpreter::Reply CommandInterpreter::execute(std::string_view line) {
    const std::vector<std::string_view> words = SplitWords(line);
    if (words.empty()) {
        return {};
    }
    const std::string_view command = words[0];
    auto arg = [&words](std::size_t i) { return i < words.size() ? words[i] : std::string_view{}; };
    if (command == "quit" || command == "exit") {
        return {"bye\n", true};
    }
    if (command == "help") {
        return {std::string(kCommandHelp)};
    }
    if (command == "status") {
        return {status()};
    }
    if (command == "drop" || command == "corrupt" || command == "wrongaddr" || command == "noise") {
        return {setShare(command, arg(1))};
    }
    if (command == "delay" || command == "late") {
        return {setDelay(arg(1))};
    }
    if (command == "split") {
        return {setSplit(arg(1), arg(2))};
    }
    if (command == "echo") {
        return {setEcho(arg(1))};
    }
    if (command == "stray" || command == "trail") {
        return {setHabitBytes(command, arg(1))};
    }
    if (command == "unplug" || command == "plug") {
        return {switchLine(command == "plug")};
    }
    if (command == "disconnect") {
        const std::optional<std::string> why = line_.disconnect();
        return {why ? Error(*why) : "line: master disconnected\n"};
    }
    if (command == "silence" || command == "revive") {
        return {setSilenced(arg(1), command == "silence")};
    }
    if (command == "alarm") {
        return {raiseAlarm(arg(1), arg(2))};
    }
    if (command == "manual") {
        return {setManual(arg(1), arg(2))};
    }
    if (command == "auto") {
        return {releaseManual(arg(1))};
    }
    if (command == "refuse") {
        return {refuseWrites(arg(1), arg(2))};
    }
    return {Error("unknown command " + std::string(command) + " (try help)")};
}

std::string CommandInterpreter::setShare(std::string_view name, std::string_view value) {
    const std::optional<double> share = ParseNumber(value, 0.0, 1.0);
    if (!share) {
        return Error(std::string(name) + " needs a share from 0 to 1");
    }
    FaultSettings& settings = faults_.settings();
    double& target = name == "drop"      ? settings.drop
                     : name == "corrupt" ? settings.corrupt
                     : name == "noise"   ? settings.noise
                                         : settings.wrongAddress;
    target = *share;
    return DescribeFaults(settings);
}

std::string CommandInterpreter::setDelay(std::string_view value) {
    const std::optional<long long> ms = ParseMillisecondsOrOff(value, kMaxDelayMs);
    if (!ms) {
        return Error("delay and late need milliseconds from 0 to 60000, or off");
    }
    faults_.settings().extraDelay = Micros{*ms * 1000};
    return DescribeFaults(faults_.settings());
}

std::string CommandInterpreter::setSplit(std::string_view pieces, std::string_view gap) {
    const std::optional<long long> count = ParseInteger(pieces, 1, 64);
    const std::optional<long long> gapMs =
        gap.empty() ? std::optional<long long>{} : ParseInteger(gap, 0, kMaxDelayMs);
    if (!count || (!gap.empty() && !gapMs)) {
        return Error("split needs a piece count from 1 to 64 and optionally a gap in ms");
    }
    faults_.settings().pieces = static_cast<int>(*count);
    if (gapMs) {
        faults_.settings().pieceGap = Micros{*gapMs * 1000};
    }
    return DescribeFaults(faults_.settings());
}

std::string CommandInterpreter::setEcho(std::string_view value) {
    if (value != "on" && value != "off") {
        return Error("echo needs on or off");
    }
    faults_.settings().habits.echo = value == "on";
    return DescribeLine(faults_.settings().habits, line_.plugged());
}

std::string CommandInterpreter::setHabitBytes(std::string_view name, std::string_view value) {
    std::optional<std::vector<std::uint8_t>> bytes = ParseHexBytesOrOff(value, kMaxHabitBytes);
    if (!bytes) {
        return Error(std::string(name) + " needs up to " + std::to_string(kMaxHabitBytes) +
                     " hexadecimal bytes such as 00 or FF00, or off");
    }
    LineHabits& habits = faults_.settings().habits;
    (name == "stray" ? habits.stray : habits.trail) = std::move(*bytes);
    return DescribeLine(habits, line_.plugged());
}

std::string CommandInterpreter::switchLine(bool plugIn) {
    if (line_.plugged() == plugIn) {
        return Error(plugIn ? "already plugged in" : "already unplugged");
    }
    if (const std::optional<std::string> why = plugIn ? line_.plug() : line_.unplug()) {
        return Error(*why);
    }
    return DescribeLine(faults_.settings().habits, line_.plugged());
}

std::string CommandInterpreter::setSilenced(std::string_view target, bool silenced) {
    if (target == "all") {
        for (SlaveDevice& device : bus_.devices()) {
            device.silenced = silenced;
        }
        return silenced ? "all silenced\n" : "all revived\n";
    }
    const std::optional<std::uint8_t> address = ParseAddress(target);
    SlaveDevice* device = address ? bus_.find(*address) : nullptr;
    if (device == nullptr) {
        return Error("no device at " + std::string(target));
    }
    device->silenced = silenced;
    return DescribeDevice(*device);
}

SlaveDevice* CommandInterpreter::zoneAt(std::string_view address, std::string& error) {
    const std::optional<std::uint8_t> parsed = ParseAddress(address);
    SlaveDevice* device = parsed ? bus_.find(*parsed) : nullptr;
    if (device == nullptr || device->foreign()) {
        error = Error("no HZ70 at " + std::string(address));
        return nullptr;
    }
    return device;
}

std::string CommandInterpreter::raiseAlarm(std::string_view address, std::string_view kind) {
    std::string error;
    SlaveDevice* device = zoneAt(address, error);
    if (device == nullptr) {
        return error;
    }
    if (kind == "clear") {
        device->zone.clearFaults();
        return DescribeDevice(*device);
    }
    for (const auto& [name, fault] : kFaultNames) {
        if (kind == name) {
            device->zone.inject(fault);
            return DescribeDevice(*device);
        }
    }
    return Error("unknown alarm " + std::string(kind) + " (try help)");
}

std::string CommandInterpreter::setManual(std::string_view address, std::string_view percent) {
    std::string error;
    SlaveDevice* device = zoneAt(address, error);
    if (device == nullptr) {
        return error;
    }
    const std::optional<double> output = ParseNumber(percent, 0.0, 100.0);
    if (!output) {
        return Error("manual needs an output from 0 to 100 %");
    }
    device->zone.setManualOutput(*output);
    return DescribeDevice(*device);
}

std::string CommandInterpreter::releaseManual(std::string_view address) {
    std::string error;
    SlaveDevice* device = zoneAt(address, error);
    if (device == nullptr) {
        return error;
    }
    device->zone.setManualOutput(std::nullopt);
    return DescribeDevice(*device);
}

std::string CommandInterpreter::refuseWrites(std::string_view address, std::string_view code) {
    std::string error;
    SlaveDevice* device = zoneAt(address, error);
    if (device == nullptr) {
        return error;
    }
    const std::optional<long long> exception =
        code == "off"
            ? 0LL
            : ParseInteger(code, ExceptionCode::IllegalFunction, ExceptionCode::ServerDeviceFailure);
    if (!exception) {
        return Error("refuse needs an exception code from 1 to 4, or off");
    }
    device->refusedWrites = static_cast<std::uint8_t>(*exception);
    return DescribeDevice(*device);
}

std::string CommandInterpreter::status() const {
    std::string text =
        DescribeFaults(faults_.settings()) + DescribeLine(faults_.settings().habits, line_.plugged());
    for (const SlaveDevice& device : bus_.devices()) {
        text += DescribeDevice(device);
    }
    return text;
}

std::string DescribeDevice(const SlaveDevice& device) {
    std::string text = Printf("%3u: ", unsigned{device.address});
    if (device.foreign()) {
        text += Printf("foreign device, id %u", unsigned{device.slaveId});
    } else {
        const auto words = device.zone.measured();
        const char* unit = device.zone.settings().fahrenheit() ? "F" : "C";
        text += Printf(
            "%6.1f %s  setpoint %6.1f  output %5.1f %%  %4.1f A  %5.1f mA  alarms 0x%04X  status 0x%04X",
            words[2] / 10.0, unit, words[3] / 10.0, words[4] / 10.0, words[5] / 10.0, words[6] / 10.0,
            unsigned{device.zone.alarmWord()}, unsigned{device.zone.statusWord()});
    }
    if (device.refusedWrites != 0) {
        text += Printf("  refuses writes (exception %u)", unsigned{device.refusedWrites});
    }
    if (device.silenced) {
        text += "  silenced";
    }
    return text + "\n";
}

std::string DescribeFaults(const FaultSettings& faults) {
    return Printf("faults: drop %.3g  corrupt %.3g  wrongaddr %.3g  noise %.3g  delay %lld ms  split %d (gap "
                  "%lld ms)\n",
                  faults.drop, faults.corrupt, faults.wrongAddress, faults.noise,
                  static_cast<long long>(faults.extraDelay.count() / 1000), faults.pieces,
                  static_cast<long long>(faults.pieceGap.count() / 1000));
}

std::string DescribeLine(const LineHabits& habits, bool plugged) {
    return "line: echo " + std::string(habits.echo ? "on" : "off") + "  stray " +
           FormatHexBytes(habits.stray) + "  trail " + FormatHexBytes(habits.trail) +
           (plugged ? "  plugged in" : "  unplugged") + "\n";
}

} // namespace hz70::sim
