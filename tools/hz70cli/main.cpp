// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliOptions.h"
#include "LinkCommands.h"
#include "comm/Clock.h"
#include "comm/PosixSerialPort.h"
#include "comm/Trans.h"

#include <iostream>
#include <variant>

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

    // A COM name goes through the link's own lookup; any other name is the device itself.
    const bool comName = cli::ComIndex(options.port).has_value();
    PosixSerialPort port(comName ? std::nullopt : std::optional<std::string>(options.port));
    SteadyClock clock;
    TTrans trans(port, clock);
    trans.SetSettings(options.settings);
    const int status = cli::RunLinkCommand(trans, options, std::cout, std::cerr);
    if (trans.portState() < 0 && !port.lastError().empty()) {
        std::cerr << "hz70cli: " << options.port << ": " << port.lastError() << "\n";
    }
    return status;
}
