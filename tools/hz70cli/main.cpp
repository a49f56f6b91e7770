// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliOptions.h"
#include "LinkCommands.h"
#include "WireTrace.h"
#include "ZoneCommands.h"
#include "comm/Clock.h"
#include "comm/PosixSerialPort.h"
#include "comm/Trans.h"

#include <atomic>
#include <csignal>
#include <iostream>
#include <variant>

namespace {

std::atomic<bool> stopRequested{false};

extern "C" void RequestStop(int) {
    stopRequested = true;
}

} // namespace

int main(int argc, char** argv) {
    using namespace hz70;
    const auto parsed = cli::ParseCliOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto* message = std::get_if<std::string>(&parsed)) {
        std::cerr << "hz70cli: " << *message << "\n\n" << cli::UsageText();
        return cli::kExitUsage;
    }
    const auto& options = std::get<cli::CliOptions>(parsed);
    if (options.help) {
        std::cout << cli::UsageText();
        return cli::kExitOk;
    }
    if (options.version) {
        std::cout << "hz70cli " HZ70_VERSION "\n";
        return cli::kExitOk;
    }
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);

    // A COM name goes through the link's own lookup; any other name is the device itself.
    const bool comName = cli::ComIndex(options.port).has_value();
    PosixSerialPort port(comName ? std::nullopt : std::optional<std::string>(options.port));
    SteadyClock clock;
    TTrans trans(port, clock);
    cli::WireTrace trace(clock, std::cerr);
    if (options.trace) {
        trans.SetTrace(&trace);
    }
    trans.SetSettings(options.settings);
    int status = cli::kExitUsage;
    if (options.command == "poll") {
        status = cli::RunPoll(trans, port, clock, options, stopRequested, std::cout, std::cerr);
    } else if (options.command == "scan" && options.arguments.empty()) {
        status = cli::RunScan(trans, options, stopRequested, std::cout, std::cerr);
    } else {
        status = cli::RunLinkCommand(trans, options, std::cout, std::cerr);
    }
    if (trans.portState() == TTrans::kOpenFailed && !port.lastError().empty()) {
        std::cerr << "hz70cli: " << options.port << ": " << port.lastError() << "\n";
    }
    return status;
}
