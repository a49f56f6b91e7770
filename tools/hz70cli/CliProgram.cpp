// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70cli/CliProgram.h"

#include "comm/Clock.h"
#include "comm/Trans.h"
#include "hz70cli/CliLink.h"
#include "hz70cli/CliOptions.h"
#include "hz70cli/GatewayCommand.h"
#include "hz70cli/LinkCommands.h"
#include "hz70cli/SettingsCommands.h"
#include "hz70cli/WireTrace.h"
#include "hz70cli/ZoneCommands.h"

#include <csignal>
#include <optional>
#include <ostream>
#include <utility>
#include <variant>

namespace hz70::cli {
namespace {

// Puts the settings folder's link under the command line's; false (said why) when it cannot be used.
bool TakeSettingsFolder(CliOptions& options, ZoneList& zones, std::ostream& err) {
    if (!options.settingsDirectory) {
        return true;
    }
    const auto loaded = LoadSettingsFolder(*options.settingsDirectory);
    if (const auto* message = std::get_if<std::string>(&loaded)) {
        err << "hz70cli: " << *message << "\n";
        return false;
    }
    const auto& folder = std::get<SettingsFolder>(loaded);
    TakeFileLink(options, folder.settings.link);
    zones = folder.settings.zones;
    std::string given;
    for (const auto& [flag, name] :
         {std::pair{options.portGiven, "--port"}, std::pair{options.baudGiven, "--baud"},
          std::pair{options.modeGiven, "--mode"}, std::pair{options.timeoutGiven, "--timeout"}}) {
        if (flag) {
            given += (given.empty() ? "" : ", ") + std::string(name);
        }
    }
    err << "hz70cli: link from " << folder.file.string()
        << (given.empty() ? "" : " with " + given + " from the command line") << ": " << DescribeLink(options)
        << "\n";
    for (const SettingsRemark& remark : folder.remarks) {
        err << "hz70cli: " << folder.file.string() << ": " << DescribeRemark(remark) << "\n";
    }
    return true;
}

int RunCommand(TTrans& trans, SerialPort& port, Clock& clock, const CliOptions& options,
               std::optional<publish::BrokerSettings> broker, const ZoneList& zones, StopCondition& stop,
               std::ostream& out, std::ostream& err) {
    if (options.command == "poll") {
        return RunPoll(trans, port, clock, options, zones, stop, out, err);
    }
    if (broker) {
        return RunGateway(trans, port, clock, options, *std::move(broker), zones, stop, out, err);
    }
    if (options.command == "settings") {
        return RunSettings(trans, options, zones, stop, out, err);
    }
    if (options.command == "scan") {
        return RunScan(trans, clock, options, stop, out, err);
    }
    return RunLinkCommand(trans, options, stop, out, err);
}

// A service manager stops the gateway with SIGTERM: for it that is the normal end, not a failure.
bool SignalEndsNormally(const CliOptions& options, int signal) {
    return options.command == "gateway" && signal == SIGTERM;
}

} // namespace

int RunCli(const std::vector<std::string>& args, std::string_view version, const StopSignal& stop,
           std::ostream& out, std::ostream& err) {
    const auto parsed = ParseCliOptions(args);
    if (const auto* message = std::get_if<std::string>(&parsed)) {
        err << "hz70cli: " << *message << "\nTry 'hz70cli --help' for more information.\n";
        return kExitUsage;
    }
    CliOptions options = std::get<CliOptions>(parsed);
    if (options.help) {
        out << UsageText();
        return kExitOk;
    }
    if (options.version) {
        out << "hz70cli " << version << "\n";
        return kExitOk;
    }
    if (options.baudGivenAsIndex) {
        err << "hz70cli: --baud " << options.settings.Baud << " is the index of "
            << kBaudTable[static_cast<std::size_t>(options.settings.Baud)].text << " bit/s\n";
    }
    // The gateway's broker, checked before the port is touched: a bad password file costs no time-out.
    std::optional<publish::BrokerSettings> broker;
    if (options.command == "gateway") {
        auto checked = GatewayBroker(options);
        if (const auto* message = std::get_if<std::string>(&checked)) {
            err << "hz70cli: " << *message << "\n";
            return kExitUsage;
        }
        broker = std::get<publish::BrokerSettings>(std::move(checked));
    }
    ZoneList zones; // without a settings folder, the program's default list
    if (!TakeSettingsFolder(options, zones, err)) {
        return kExitUsage;
    }
    const PortReport report = DescribePort(options.port);
    if (!report.text.empty()) {
        err << "hz70cli: " << report.text << "\n";
    }
    if (!report.found && options.port.starts_with("tcp:")) {
        return kExitUsage; // a converter's address that cannot be one: unlike a device, it never turns up
    }

    PortDevice device(options.port);
    SteadyClock steadyClock;
    StopCondition stopCondition(stop, steadyClock);
    InterruptiblePort port(device.port(), stopCondition);
    InterruptibleClock clock(steadyClock, stopCondition);
    TTrans trans(port, clock);
    WireTrace trace(clock, err);
    if (options.trace) {
        trans.SetTrace(&trace);
    }
    (void)trans.SetSettings(options.settings);
    const int status =
        RunCommand(trans, port, clock, options, std::move(broker), zones, stopCondition, out, err);
    // The open error names the device; a COM name that led nowhere was reported above.
    if (report.found && trans.portState().openFailed() && !device.lastError().empty()) {
        err << "hz70cli: " << device.lastError() << "\n";
    }
    return stop != 0 && !SignalEndsNormally(options, stop) ? kExitSignalBase + stop.load() : status;
}

} // namespace hz70::cli
